#include "Polypad/Courses.h"
#include "Polypad/ExchangeText.h"
#include "Polypad/Traverse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

double Dms(int d, int m, double s) { return d + m / 60.0 + s / 3600.0; }

// The closed traverse of the README, worked out by hand: four stations, right (interior) angles,
// fβ = +20", each angle corrected by -5".
TTraverseInput ClosedExample()
{
    TTraverseInput in;
    in.Kind = TTraverseKind::Closed;
    in.Start = FloatPoint(500, 500);
    in.StartDirection = Dms(48, 15, 30);
    in.Stations = {{Dms(87, 20, 15), 180.25}, {Dms(92, 10, 40), 165.40}, {Dms(88, 45, 20), 178.81},
                   {Dms(91, 44, 5), 168.29}};
    return in;
}

// A connecting traverse from A (2000, 1000) to B (1747.10, 1773.46), five right angles,
// fβ = -40", each angle corrected by +8".
TTraverseInput ConnectingExample()
{
    TTraverseInput in;
    in.Kind = TTraverseKind::Connecting;
    in.Start = FloatPoint(2000, 1000);
    in.StartDirection = Dms(95, 20, 10);
    in.Stations = {{Dms(160, 10, 20), 210.35}, {Dms(195, 30, 40), 185.62}, {Dms(170, 5, 10), 224.18},
                   {Dms(182, 40, 0), 197.44}};
    in.EndAngle = Dms(110, 15, 30);
    in.End = FloatPoint(1747.10, 1773.46);
    in.EndDirection = Dms(176, 37, 50);
    return in;
}

TTraverseSettings Rule(TTraverseRule rule)
{
    TTraverseSettings s;
    s.Rule = rule;
    return s;
}

// Printed figures are met to half a unit of their last digit.
constexpr double kPrinted4 = 0.00005;

TEST(TraverseWorkedExamples, ClosedByTheCompassRule)
{
    const TTraverseSheet sheet = ComputeTraverse(ClosedExample(), Rule(TTraverseRule::Compass));
    EXPECT_NEAR(sheet.AngularMisclosure, 20, 1e-6);
    EXPECT_NEAR(sheet.AngularLimit, 120, 1e-9);
    EXPECT_EQ(FormatSheetAngle(sheet.TheoreticalAngleSum), "360°0'0.0\"");
    const char* corrected[] = {"87°20'10.0\"", "92°10'35.0\"", "88°45'15.0\"", "91°44'0.0\""};
    const char* directions[] = {"48°15'30.0\"", "136°4'55.0\"", "227°19'40.0\"", "315°35'40.0\""};
    const double dx[] = {120.0056, -119.1430, -121.1980, 120.2272};
    const double dy[] = {134.4943, 114.7262, -131.4689, -117.7580};
    const double vx[] = {0.0282, 0.0258, 0.0279, 0.0263};
    const double vy[] = {0.0017, 0.0015, 0.0016, 0.0015};
    const double x[] = {500, 620.0338, 500.9166, 379.7465, 500};
    const double y[] = {500, 634.4959, 749.2237, 617.7565, 500};
    ASSERT_EQ(sheet.Rows.size(), 5u);
    for (int i = 0; i < 4; ++i) {
        const TTraverseSheetRow& row = sheet.Rows[i];
        EXPECT_EQ(row.Station, i + 1);
        EXPECT_NEAR(*row.AngleCorrection, -5, 1e-6);
        EXPECT_EQ(FormatSheetAngle(*row.CorrectedAngle), corrected[i]);
        EXPECT_EQ(FormatSheetAngle(*row.Direction), directions[i]);
        EXPECT_NEAR(*row.DX, dx[i], kPrinted4);
        EXPECT_NEAR(*row.DY, dy[i], kPrinted4);
        EXPECT_NEAR(*row.VX, vx[i], kPrinted4);
        EXPECT_NEAR(*row.VY, vy[i], kPrinted4);
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(sheet.Rows[i].X, x[i], kPrinted4) << i;
        EXPECT_NEAR(sheet.Rows[i].Y, y[i], kPrinted4) << i;
    }
    // The closing line repeats the start and has no angle or course.
    EXPECT_EQ(sheet.Rows[4].Station, 1);
    EXPECT_FALSE(sheet.Rows[4].MeasuredAngle || sheet.Rows[4].Length);
    EXPECT_NEAR(sheet.GapDX, -0.108213, 5e-7);
    EXPECT_NEAR(sheet.GapDY, -0.006343, 5e-7);
    EXPECT_NEAR(sheet.Gap, 0.108399, 5e-7);
    EXPECT_EQ(sheet.RelativeErrorN, 6390);
    EXPECT_FALSE(sheet.AngularOverLimit() || sheet.RelativeOverLimit());
    EXPECT_FALSE(sheet.Sigma0);
    ASSERT_EQ(sheet.Vertices.size(), 4u);
    EXPECT_EQ(sheet.Vertices[0].X, 500);
    EXPECT_NEAR(sheet.Vertices[3].Y, 617.7565, kPrinted4);
}

TEST(TraverseWorkedExamples, ClosedByTheTransitRule)
{
    const TTraverseSheet sheet = ComputeTraverse(ClosedExample(), Rule(TTraverseRule::Transit));
    const double vx[] = {0.0270, 0.0268, 0.0273, 0.0271};
    const double x[] = {500, 620.0326, 500.9165, 379.7457};
    const double y[] = {500, 634.4960, 749.2237, 617.7565};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(*sheet.Rows[i].VX, vx[i], kPrinted4);
        EXPECT_NEAR(sheet.Vertices[i].X, x[i], kPrinted4);
        EXPECT_NEAR(sheet.Vertices[i].Y, y[i], kPrinted4);
    }
}

// The sheet's text, rounded by hand from the figures above.
TEST(TraverseWorkedExamples, ClosedSheetText)
{
    const TTraverseSheet sheet = ComputeTraverse(ClosedExample(), Rule(TTraverseRule::Compass));
    EXPECT_EQ(FormatTraverseSheet(sheet, 3),
              "Ведомость вычисления координат\tзамкнутый ход\tправые углы\tуравнивание пропорционально длинам сторон\n"
              "№\tβ измеренный\tпоправка\tβ исправленный\tдирекционный угол\tдлина\tΔX\tΔY\tпоправка ΔX\t"
              "поправка ΔY\tX\tY\n"
              "1\t87°20'15.0\"\t-5.0\"\t87°20'10.0\"\t48°15'30.0\"\t180.250\t120.006\t134.494\t0.028\t0.002\t500.000\t500.000\n"
              "2\t92°10'40.0\"\t-5.0\"\t92°10'35.0\"\t136°4'55.0\"\t165.400\t-119.143\t114.726\t0.026\t0.002\t620.034\t634.496\n"
              "3\t88°45'20.0\"\t-5.0\"\t88°45'15.0\"\t227°19'40.0\"\t178.810\t-121.198\t-131.469\t0.028\t0.002\t500.917\t749.224\n"
              "4\t91°44'5.0\"\t-5.0\"\t91°44'0.0\"\t315°35'40.0\"\t168.290\t120.227\t-117.758\t0.026\t0.002\t379.747\t617.756\n"
              "1\t\t\t\t\t\t\t\t\t\t500.000\t500.000\n"
              "Σ\t360°0'20.0\"\t-20.0\"\t360°0'0.0\"\t\t692.750\t-0.108\t-0.006\t0.108\t0.006\n"
              "Σβ теоретическая\t360°0'0.0\"\n"
              "fβ\t+20.0\"\tfβ доп.\t±2'0.0\"\n"
              "fx\t-0.108\tfy\t-0.006\tf\t0.108\n"
              "f/Σd\t1:6390\tдоп.\t1:2000\n");
}

TEST(TraverseWorkedExamples, ConnectingLandsOnTheKnownEnd)
{
    const TTraverseInput in = ConnectingExample();
    const TTraverseSheet sheet = ComputeTraverse(in, Rule(TTraverseRule::Compass));
    EXPECT_NEAR(sheet.AngularMisclosure, -40, 1e-6);
    EXPECT_NEAR(sheet.AngularLimit, 60 * std::sqrt(5.0), 1e-9);
    EXPECT_EQ(FormatSheetAngle(sheet.MeasuredAngleSum), "818°41'40.0\"");
    EXPECT_EQ(FormatSheetAngle(sheet.TheoreticalAngleSum), "818°42'20.0\"");
    const char* corrected[] = {"160°10'28.0\"", "195°30'48.0\"", "170°5'18.0\"", "182°40'8.0\"", "110°15'38.0\""};
    // The last is the known side leaving the end, reached from the corrected angles.
    const char* directions[] = {"115°9'42.0\"", "99°38'54.0\"", "109°33'36.0\"", "106°53'28.0\"", "176°37'50.0\""};
    const double dx[] = {-89.4353, -31.1100, -75.0541, -57.3669};
    const double dy[] = {190.3902, 182.9944, 211.2429, 188.9222};
    const double vx[] = {0.0171, 0.0151, 0.0182, 0.0160};
    const double vy[] = {-0.0231, -0.0204, -0.0246, -0.0217};
    const double x[] = {2000, 1910.5817, 1879.4868, 1804.4509, 1747.10};
    const double y[] = {1000, 1190.3672, 1373.3412, 1584.5595, 1773.46};
    ASSERT_EQ(sheet.Rows.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        const TTraverseSheetRow& row = sheet.Rows[i];
        EXPECT_NEAR(*row.AngleCorrection, 8, 1e-6);
        EXPECT_EQ(FormatSheetAngle(*row.CorrectedAngle), corrected[i]);
        EXPECT_EQ(FormatSheetAngle(*row.Direction), directions[i]);
        EXPECT_NEAR(row.X, x[i], kPrinted4);
        EXPECT_NEAR(row.Y, y[i], kPrinted4);
        if (i < 4) {
            EXPECT_NEAR(*row.DX, dx[i], kPrinted4);
            EXPECT_NEAR(*row.DY, dy[i], kPrinted4);
            EXPECT_NEAR(*row.VX, vx[i], kPrinted4);
            EXPECT_NEAR(*row.VY, vy[i], kPrinted4);
        }
    }
    EXPECT_FALSE(sheet.Rows[4].Length);
    EXPECT_NEAR(sheet.GapDX, -0.066318, 5e-7);
    EXPECT_NEAR(sheet.GapDY, 0.089720, 5e-7);
    EXPECT_EQ(sheet.RelativeErrorN, 7328);
    // The end to the last bit of the given coordinates, whatever the rule.
    for (const TTraverseRule rule : {TTraverseRule::Compass, TTraverseRule::Transit, TTraverseRule::LeastSquares}) {
        const TTraverseSheet s = ComputeTraverse(in, Rule(rule));
        ASSERT_EQ(s.Vertices.size(), 5u);
        EXPECT_EQ(s.Vertices.back().X, 1747.10);
        EXPECT_EQ(s.Vertices.back().Y, 1773.46);
        EXPECT_EQ(s.Rows.back().X, 1747.10);
    }
}

// ---- a separate computation of the classical rules ------------------------------------------

struct TPoint {
    double X, Y;
};

double Azimuth(TPoint from, TPoint to) // radians in [0, 2π)
{
    double a = std::atan2(to.Y - from.Y, to.X - from.X);
    return a < 0 ? a + 2 * M_PI : a;
}

double Wrap2Pi(double a)
{
    a = std::fmod(a, 2 * M_PI);
    return a < 0 ? a + 2 * M_PI : a;
}

constexpr double kRho = 180 / M_PI;

// A random field book of a traverse through points: the true angles and lengths with noise.
struct TRandomTraverse {
    std::vector<TPoint> Points; // closed: the polygon; connecting: start … end
    TTraverseInput Input;
};

TRandomTraverse RandomClosed(std::mt19937& random, int n, TTraverseAngles side)
{
    std::uniform_real_distribution<double> radius(150, 250), jitter(-0.3, 0.3);
    std::uniform_real_distribution<double> noiseAngle(-8, 8), noiseLength(-0.01, 0.01);
    TRandomTraverse t;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * (i + jitter(random)) / n; // clockwise on the map: right angles interior
        const double r = radius(random);
        t.Points.push_back({5000 + r * std::cos(a), 3000 + r * std::sin(a)});
    }
    t.Input.Kind = TTraverseKind::Closed;
    t.Input.Angles = side;
    t.Input.Start = FloatPoint(t.Points[0].X, t.Points[0].Y);
    t.Input.StartDirection = Azimuth(t.Points[0], t.Points[1]) * kRho;
    for (int i = 0; i < n; ++i) {
        const TPoint p = t.Points[i], b = t.Points[(i + n - 1) % n], f = t.Points[(i + 1) % n];
        const double right = Wrap2Pi(Azimuth(p, b) - Azimuth(p, f));
        const double angle = side == TTraverseAngles::Right ? right : 2 * M_PI - right;
        t.Input.Stations.push_back({std::fmod(angle * kRho + noiseAngle(random) / 3600 + 360, 360.0),
                                    std::hypot(f.X - p.X, f.Y - p.Y) + noiseLength(random)});
    }
    return t;
}

TRandomTraverse RandomConnecting(std::mt19937& random, int courses, TTraverseAngles side)
{
    std::uniform_real_distribution<double> step(120, 260), turn(-0.6, 0.6), noiseAngle(-8, 8), noiseLength(-0.01, 0.01);
    TRandomTraverse t;
    double heading = 1.0;
    t.Points.push_back({10000, 20000});
    for (int k = 0; k < courses; ++k) {
        heading += turn(random);
        const double d = step(random);
        t.Points.push_back({t.Points.back().X + d * std::cos(heading), t.Points.back().Y + d * std::sin(heading)});
    }
    const double in = Wrap2Pi(0.3 + turn(random)), out = Wrap2Pi(2.0 + turn(random));
    auto angleAt = [&](double back, double forward) {
        const double right = Wrap2Pi(back - forward);
        const double angle = side == TTraverseAngles::Right ? right : 2 * M_PI - right;
        return std::fmod(angle * kRho + noiseAngle(random) / 3600 + 360, 360.0);
    };
    t.Input.Kind = TTraverseKind::Connecting;
    t.Input.Angles = side;
    t.Input.Start = FloatPoint(t.Points[0].X, t.Points[0].Y);
    t.Input.StartDirection = in * kRho;
    for (int k = 0; k < courses; ++k) {
        const TPoint p = t.Points[k], f = t.Points[k + 1];
        const double back = k == 0 ? Wrap2Pi(in + M_PI) : Azimuth(p, t.Points[k - 1]);
        t.Input.Stations.push_back(
            {angleAt(back, Azimuth(p, f)), std::hypot(f.X - p.X, f.Y - p.Y) + noiseLength(random)});
    }
    t.Input.EndAngle = angleAt(Azimuth(t.Points[courses], t.Points[courses - 1]), out);
    t.Input.End = FloatPoint(t.Points[courses].X, t.Points[courses].Y);
    t.Input.EndDirection = out * kRho;
    return t;
}

// The classical computation written out plainly: equal angle corrections, directions, increments,
// the misclosure spread by the compass or transit rule.
std::vector<TPoint> ClassicalRule(const TTraverseInput& in, bool transit)
{
    const bool closed = in.Kind == TTraverseKind::Closed;
    std::vector<double> angles;
    for (const TTraverseStation& s : in.Stations)
        angles.push_back(s.Angle);
    if (!closed)
        angles.push_back(in.EndAngle);
    const int n = static_cast<int>(angles.size());
    const double turn = in.Angles == TTraverseAngles::Right ? -1 : 1;
    double sum = 0;
    for (const double a : angles)
        sum += a;
    // The sum the angles must have: start direction + turn·Σβ - turn·180·n = end direction (mod 360).
    const double endDirection = closed ? in.StartDirection : in.EndDirection;
    double theoretical = turn * (endDirection - in.StartDirection) + 180.0 * n;
    theoretical += 360 * std::round((sum - theoretical) / 360);
    const double each = -(sum - theoretical) / n;
    std::vector<double> dir; // radians of each course
    double a = in.StartDirection;
    if (closed)
        dir.push_back(a / kRho);
    for (std::size_t i = closed ? 1 : 0; i < in.Stations.size(); ++i) {
        a += turn * (angles[i] + each) - turn * 180;
        dir.push_back(a / kRho);
    }
    const std::size_t m = in.Stations.size();
    std::vector<double> dx(m), dy(m);
    double sx = 0, sy = 0, length = 0, ax = 0, ay = 0;
    for (std::size_t k = 0; k < m; ++k) {
        dx[k] = in.Stations[k].Length * std::cos(dir[k]);
        dy[k] = in.Stations[k].Length * std::sin(dir[k]);
        sx += dx[k], sy += dy[k], length += in.Stations[k].Length;
        ax += std::fabs(dx[k]), ay += std::fabs(dy[k]);
    }
    const double fx = sx - (closed ? 0 : in.End.X - in.Start.X), fy = sy - (closed ? 0 : in.End.Y - in.Start.Y);
    std::vector<TPoint> points{{in.Start.X, in.Start.Y}};
    for (std::size_t k = 0; k + 1 < (closed ? m : m + 1); ++k) {
        const double wx = transit ? std::fabs(dx[k]) / ax : in.Stations[k].Length / length;
        const double wy = transit ? std::fabs(dy[k]) / ay : in.Stations[k].Length / length;
        points.push_back({points.back().X + dx[k] - fx * wx, points.back().Y + dy[k] - fy * wy});
    }
    return points;
}

TEST(TraverseRules, CompassAndTransitOnRandomTraverses)
{
    std::mt19937 random(20261209);
    for (int trial = 0; trial < 40; ++trial) {
        const TTraverseAngles side = trial % 2 ? TTraverseAngles::Left : TTraverseAngles::Right;
        const TRandomTraverse t = trial < 20 ? RandomClosed(random, 3 + trial % 7, side)
                                             : RandomConnecting(random, 1 + trial % 8, side);
        for (const bool transit : {false, true}) {
            const TTraverseSheet sheet =
                ComputeTraverse(t.Input, Rule(transit ? TTraverseRule::Transit : TTraverseRule::Compass));
            const std::vector<TPoint> expected = ClassicalRule(t.Input, transit);
            ASSERT_EQ(sheet.Vertices.size(), expected.size()) << trial;
            for (std::size_t i = 0; i < expected.size(); ++i) {
                EXPECT_NEAR(sheet.Vertices[i].X, expected[i].X, 1e-7) << trial << ' ' << i;
                EXPECT_NEAR(sheet.Vertices[i].Y, expected[i].Y, 1e-7) << trial << ' ' << i;
            }
            // The noise is seconds and centimetres: the field book closes near the true points.
            for (std::size_t i = 0; i < expected.size(); ++i)
                EXPECT_NEAR(sheet.Vertices[i].X, t.Points[i].X, 0.2) << trial << ' ' << i;
        }
    }
}

// ---- least squares against a dense parametric adjustment ------------------------------------
//
// The same observations adjusted by observation equations: the unknowns are the coordinates of
// the free stations (of a closed traverse, the second station moves along the given first
// direction only), the normal equations AᵀPA·δ = AᵀP·r are formed densely and solved by
// elimination, Gauss-Newton until δ is below 1e-12 m.

struct TDenseResult {
    std::vector<TPoint> Points;
    std::vector<double> AngleCorrections;  // seconds
    std::vector<double> LengthCorrections; // metres
    double Sigma0 = 0;
};

std::vector<double> SolveDense(std::vector<std::vector<double>> a, std::vector<double> b)
{
    const std::size_t n = b.size();
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t p = c;
        for (std::size_t r = c + 1; r < n; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[p][c]))
                p = r;
        std::swap(a[c], a[p]);
        std::swap(b[c], b[p]);
        for (std::size_t r = c + 1; r < n; ++r) {
            const double f = a[r][c] / a[c][c];
            for (std::size_t k = c; k < n; ++k)
                a[r][k] -= f * a[c][k];
            b[r] -= f * b[c];
        }
    }
    std::vector<double> x(n);
    for (std::size_t c = n; c-- > 0;) {
        double s = b[c];
        for (std::size_t k = c + 1; k < n; ++k)
            s -= a[c][k] * x[k];
        x[c] = s / a[c][c];
    }
    return x;
}

TDenseResult DenseLeastSquares(const TTraverseInput& in, const TTraverseSettings& settings, std::vector<TPoint> points)
{
    const bool closed = in.Kind == TTraverseKind::Closed;
    const int np = static_cast<int>(points.size());
    const double side = in.Angles == TTraverseAngles::Right ? 1 : -1;
    // Which unknowns move each point: free points two, a closed traverse's second point one.
    struct TMove {
        int IX = -1, IY = -1, IT = -1;
    };
    std::vector<TMove> moves(np);
    int unknowns = 0;
    const double first = in.StartDirection / kRho;
    for (int i = 1; i < np; ++i) {
        if (!closed && i == np - 1)
            break;
        if (closed && i == 1)
            moves[i].IT = unknowns++;
        else
            moves[i].IX = unknowns++, moves[i].IY = unknowns++;
    }
    std::vector<double> observed;
    std::vector<double> weight;
    const double sigmaAngle = settings.SigmaAngleSeconds / 3600 / kRho;
    for (const TTraverseStation& s : in.Stations)
        observed.push_back(s.Angle / kRho), weight.push_back(1 / (sigmaAngle * sigmaAngle));
    if (!closed)
        observed.push_back(in.EndAngle / kRho), weight.push_back(1 / (sigmaAngle * sigmaAngle));
    const std::size_t angleCount = observed.size();
    for (const TTraverseStation& s : in.Stations) {
        const double sd = settings.SigmaLengthMm / 1000 + settings.SigmaLengthPpm * 1e-6 * s.Length;
        observed.push_back(s.Length), weight.push_back(1 / (sd * sd));
    }
    const std::size_t courses = in.Stations.size();

    std::vector<double> calc(observed.size());
    std::vector<std::vector<double>> design(observed.size(), std::vector<double>(unknowns));
    // d(point)/d(unknowns) for a gradient (gx, gy) of one point.
    auto spread = [&](std::vector<double>& row, int point, double gx, double gy) {
        const TMove& m = moves[point];
        if (m.IX >= 0)
            row[m.IX] += gx, row[m.IY] += gy;
        if (m.IT >= 0)
            row[m.IT] += gx * std::cos(first) + gy * std::sin(first);
    };
    // The azimuth from a to b and its gradient with respect to b.
    auto azimuth = [&](int a, int b, double& gx, double& gy) {
        const double dx = points[b].X - points[a].X, dy = points[b].Y - points[a].Y, s2 = dx * dx + dy * dy;
        gx = -dy / s2, gy = dx / s2;
        return Azimuth(points[a], points[b]);
    };
    auto evaluate = [&] {
        for (auto& row : design)
            std::fill(row.begin(), row.end(), 0);
        for (std::size_t i = 0; i < angleCount; ++i) {
            const int p = static_cast<int>(i);
            // Right angle = azimuth back - azimuth forward; a fixed direction has no gradient.
            double back = 0, forward = 0, bgx = 0, bgy = 0, fgx = 0, fgy = 0;
            int bp = -1, fp = -1;
            if (closed) {
                bp = (p + np - 1) % np, fp = (p + 1) % np;
            } else {
                bp = p == 0 ? -1 : p - 1;
                fp = p == np - 1 ? -1 : p + 1;
            }
            back = bp >= 0 ? azimuth(p, bp, bgx, bgy) : in.StartDirection / kRho + M_PI;
            forward = fp >= 0 ? azimuth(p, fp, fgx, fgy) : in.EndDirection / kRho;
            double value = Wrap2Pi(side * (back - forward));
            calc[i] = value;
            std::vector<double>& row = design[i];
            if (bp >= 0) {
                spread(row, bp, side * bgx, side * bgy);
                spread(row, p, -side * bgx, -side * bgy);
            }
            if (fp >= 0) {
                spread(row, fp, -side * fgx, -side * fgy);
                spread(row, p, side * fgx, side * fgy);
            }
        }
        for (std::size_t k = 0; k < courses; ++k) {
            const int a = static_cast<int>(k), b = static_cast<int>((k + 1) % np);
            const double dx = points[b].X - points[a].X, dy = points[b].Y - points[a].Y, s = std::hypot(dx, dy);
            calc[angleCount + k] = s;
            spread(design[angleCount + k], b, dx / s, dy / s);
            spread(design[angleCount + k], a, -dx / s, -dy / s);
        }
    };
    auto residual = [&](std::size_t i) {
        double r = observed[i] - calc[i];
        if (i < angleCount)
            r = std::remainder(r, 2 * M_PI);
        return r;
    };
    for (int iteration = 0; iteration < 50; ++iteration) {
        evaluate();
        std::vector<std::vector<double>> normal(unknowns, std::vector<double>(unknowns));
        std::vector<double> rhs(unknowns);
        for (std::size_t i = 0; i < observed.size(); ++i) {
            const double r = residual(i);
            for (int c = 0; c < unknowns; ++c) {
                rhs[c] += design[i][c] * weight[i] * r;
                for (int k = 0; k < unknowns; ++k)
                    normal[c][k] += design[i][c] * weight[i] * design[i][k];
            }
        }
        const std::vector<double> delta = SolveDense(normal, rhs);
        double largest = 0;
        for (int i = 0; i < np; ++i) {
            const TMove& m = moves[i];
            if (m.IX >= 0)
                points[i].X += delta[m.IX], points[i].Y += delta[m.IY];
            if (m.IT >= 0)
                points[i].X += delta[m.IT] * std::cos(first), points[i].Y += delta[m.IT] * std::sin(first);
        }
        for (const double d : delta)
            largest = std::max(largest, std::fabs(d));
        if (largest < 1e-12)
            break;
    }
    evaluate();
    TDenseResult result;
    result.Points = points;
    double vpv = 0;
    for (std::size_t i = 0; i < observed.size(); ++i) {
        const double v = -residual(i);
        vpv += weight[i] * v * v;
        if (i < angleCount)
            result.AngleCorrections.push_back(v * kRho * 3600);
        else
            result.LengthCorrections.push_back(v);
    }
    result.Sigma0 = std::sqrt(vpv / static_cast<double>(observed.size() - unknowns));
    return result;
}

TEST(TraverseRules, LeastSquaresAgreesWithDenseObservationEquations)
{
    std::mt19937 random(7);
    for (int trial = 0; trial < 24; ++trial) {
        const TTraverseAngles side = trial % 2 ? TTraverseAngles::Left : TTraverseAngles::Right;
        const TRandomTraverse t = trial < 12 ? RandomClosed(random, 3 + trial % 6, side)
                                             : RandomConnecting(random, 2 + trial % 7, side);
        TTraverseSettings settings = Rule(TTraverseRule::LeastSquares);
        settings.SigmaAngleSeconds = 3 + trial % 5;
        settings.SigmaLengthMm = 2 + trial % 3;
        settings.SigmaLengthPpm = trial % 4;
        const TTraverseSheet sheet = ComputeTraverse(t.Input, settings);
        std::vector<TPoint> start = t.Points;
        if (t.Input.Kind == TTraverseKind::Closed)
            start[1] = {t.Points[0].X + std::hypot(t.Points[1].X - t.Points[0].X, t.Points[1].Y - t.Points[0].Y) *
                                            std::cos(t.Input.StartDirection / kRho),
                        t.Points[0].Y + std::hypot(t.Points[1].X - t.Points[0].X, t.Points[1].Y - t.Points[0].Y) *
                                            std::sin(t.Input.StartDirection / kRho)};
        const TDenseResult dense = DenseLeastSquares(t.Input, settings, start);
        ASSERT_EQ(sheet.Vertices.size(), dense.Points.size());
        for (std::size_t i = 0; i < dense.Points.size(); ++i) {
            EXPECT_NEAR(sheet.Vertices[i].X, dense.Points[i].X, 1e-7) << trial << ' ' << i;
            EXPECT_NEAR(sheet.Vertices[i].Y, dense.Points[i].Y, 1e-7) << trial << ' ' << i;
        }
        for (std::size_t i = 0; i < dense.AngleCorrections.size(); ++i)
            EXPECT_NEAR(*sheet.Rows[i].LsAngleCorrection, dense.AngleCorrections[i], 1e-4) << trial << ' ' << i;
        for (std::size_t k = 0; k < dense.LengthCorrections.size(); ++k)
            EXPECT_NEAR(*sheet.Rows[k].LsLengthCorrection, dense.LengthCorrections[k], 1e-8) << trial << ' ' << k;
        ASSERT_TRUE(sheet.Sigma0);
        EXPECT_NEAR(*sheet.Sigma0, dense.Sigma0, 1e-6 * dense.Sigma0 + 1e-9) << trial;
        EXPECT_GT(sheet.Iterations, 0);
    }
}

// ---- the kinds of angles ----------------------------------------------------------------------

// The same polygon walked clockwise (right angles interior) and counterclockwise (right angles
// exterior): the theoretical sums are 180°(n-2) and 180°(n+2), the stations the same.
TEST(TraverseAngles, InteriorAndExteriorAnglesGiveTheSamePolygon)
{
    std::mt19937 random(11);
    const TRandomTraverse t = RandomClosed(random, 6, TTraverseAngles::Right);
    TTraverseInput reversed = t.Input;
    const int n = 6;
    reversed.Stations.clear();
    // Counterclockwise from the same start: station i of the reversed walk is station n-i, its
    // course the one that arrived at that station before.
    for (int i = 0; i < n; ++i) {
        const int p = (n - i) % n;
        const double exterior = 360 - t.Input.Stations[p].Angle;
        reversed.Stations.push_back({exterior, t.Input.Stations[(p + n - 1) % n].Length});
    }
    reversed.StartDirection = Azimuth(t.Points[0], t.Points[n - 1]) * kRho;
    const TTraverseSheet interior = ComputeTraverse(t.Input, Rule(TTraverseRule::Compass));
    const TTraverseSheet exterior = ComputeTraverse(reversed, Rule(TTraverseRule::Compass));
    EXPECT_NEAR(interior.TheoreticalAngleSum, 180.0 * (n - 2), 1e-9);
    EXPECT_NEAR(exterior.TheoreticalAngleSum, 180.0 * (n + 2), 1e-9);
    EXPECT_NEAR(interior.AngularMisclosure, -exterior.AngularMisclosure, 1e-6);
    for (int i = 1; i < n; ++i) {
        EXPECT_NEAR(interior.Vertices[i].X, t.Points[i].X, 0.1);
        EXPECT_NEAR(exterior.Vertices[n - i].X, t.Points[i].X, 0.1);
        EXPECT_NEAR(exterior.Vertices[n - i].Y, t.Points[i].Y, 0.1);
    }
}

// Left angles are 360° less the right ones: the same directions, coordinates and corrections
// (of the opposite sign), by every rule.
TEST(TraverseAngles, LeftAnglesAreTheRightOnesMirrored)
{
    for (const bool closed : {true, false}) {
        const TTraverseInput right = closed ? ClosedExample() : ConnectingExample();
        TTraverseInput left = right;
        left.Angles = TTraverseAngles::Left;
        for (TTraverseStation& s : left.Stations)
            s.Angle = 360 - s.Angle;
        left.EndAngle = 360 - left.EndAngle;
        for (const TTraverseRule rule : {TTraverseRule::Compass, TTraverseRule::Transit, TTraverseRule::LeastSquares}) {
            const TTraverseSheet r = ComputeTraverse(right, Rule(rule));
            const TTraverseSheet l = ComputeTraverse(left, Rule(rule));
            EXPECT_NEAR(l.AngularMisclosure, -r.AngularMisclosure, 1e-6);
            ASSERT_EQ(l.Rows.size(), r.Rows.size());
            for (std::size_t i = 0; i < r.Rows.size(); ++i) {
                EXPECT_NEAR(l.Rows[i].X, r.Rows[i].X, 1e-8);
                EXPECT_NEAR(l.Rows[i].Y, r.Rows[i].Y, 1e-8);
                ASSERT_EQ(l.Rows[i].Direction.has_value(), r.Rows[i].Direction.has_value());
                if (r.Rows[i].Direction) {
                    EXPECT_EQ(FormatSheetAngle(*l.Rows[i].Direction), FormatSheetAngle(*r.Rows[i].Direction));
                }
                ASSERT_EQ(l.Rows[i].LsAngleCorrection.has_value(),
                          rule == TTraverseRule::LeastSquares && r.Rows[i].MeasuredAngle);
                if (r.Rows[i].LsAngleCorrection) {
                    EXPECT_NEAR(*l.Rows[i].LsAngleCorrection, -*r.Rows[i].LsAngleCorrection, 1e-6);
                }
            }
        }
    }
}

// ---- limits -----------------------------------------------------------------------------------

TEST(TraverseLimits, AOneDegreeBlunderIsRefusedWithBothFigures)
{
    TTraverseInput in = ClosedExample();
    in.Stations[2].Angle += 1;
    const TTraverseSheet sheet = ComputeTraverse(in, Rule(TTraverseRule::Compass));
    EXPECT_TRUE(sheet.AngularOverLimit());
    try {
        RefuseOverLimits(sheet);
        FAIL() << "not refused";
    } catch (const ETraverseRefused& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("+1°0'20.0\""), std::string::npos) << message;
        EXPECT_NE(message.find("±2'0.0\""), std::string::npos) << message;
    }
    // Within the limit nothing is refused.
    EXPECT_NO_THROW(RefuseOverLimits(ComputeTraverse(ClosedExample(), Rule(TTraverseRule::Compass))));
}

TEST(TraverseLimits, TheRelativeMisclosureAgainstItsLimit)
{
    TTraverseSettings settings = Rule(TTraverseRule::Compass);
    settings.RelativeLimitN = 6391; // the example reaches 1:6390
    const TTraverseSheet sheet = ComputeTraverse(ClosedExample(), settings);
    EXPECT_TRUE(sheet.RelativeOverLimit());
    EXPECT_FALSE(sheet.AngularOverLimit());
    try {
        RefuseOverLimits(sheet);
        FAIL() << "not refused";
    } catch (const ETraverseRefused& e) {
        EXPECT_STREQ(e.what(),
                     "Относительная невязка 1:6390 больше допустимой 1:6391 (f = 0.108 м при длине хода 692.750 м)");
    }
    settings.RelativeLimitN = 6390;
    EXPECT_FALSE(ComputeTraverse(ClosedExample(), settings).RelativeOverLimit());
    // The angle limit is k·√n: 4 angles, k = 10" allow 20".
    settings.AngleLimitSeconds = 10;
    EXPECT_FALSE(ComputeTraverse(ClosedExample(), settings).AngularOverLimit());
    settings.AngleLimitSeconds = 9.99;
    EXPECT_TRUE(ComputeTraverse(ClosedExample(), settings).AngularOverLimit());
}

// ---- size -------------------------------------------------------------------------------------

// 10^4 stations: a connecting traverse zig-zagging east by every rule, and a closed regular polygon
// of 10^4 sides.
TEST(TraverseSize, TenThousandStations)
{
    const int n = 10000;
    TTraverseInput in;
    in.Kind = TTraverseKind::Connecting;
    in.Start = FloatPoint(6000000, 500000);
    in.StartDirection = 90;
    std::mt19937 random(3);
    std::uniform_real_distribution<double> noise(-1, 1);
    // Courses of 100 m alternately at 80° and 100°: angles 160° and 200° after the first; the
    // lengths with a millimetre of noise (noise in the angles of a 1000 km traverse would move
    // its middle by metres).
    double y = in.Start.Y;
    for (int k = 0; k < n; ++k) {
        const double angle = k == 0 ? 190 : (k % 2 ? 160 : 200);
        in.Stations.push_back({angle, 100 + noise(random) / 1000});
        y += 100 * std::sin((k % 2 ? 100 : 80) / kRho);
    }
    in.EndAngle = n % 2 ? 170 : 190;
    in.EndDirection = 90;
    double x = in.Start.X;
    for (int k = 0; k < n; ++k)
        x += 100 * std::cos((k % 2 ? 100 : 80) / kRho);
    in.End = FloatPoint(x, y);
    for (const TTraverseRule rule : {TTraverseRule::Compass, TTraverseRule::Transit, TTraverseRule::LeastSquares}) {
        TTraverseSettings settings = Rule(rule);
        settings.AngleLimitSeconds = 60;
        const TTraverseSheet sheet = ComputeTraverse(in, settings);
        ASSERT_EQ(sheet.Vertices.size(), static_cast<std::size_t>(n + 1));
        EXPECT_EQ(sheet.Vertices.back().X, x);
        EXPECT_EQ(sheet.Vertices.back().Y, y);
        // Halfway the stations are within a decimetre of the noiseless line.
        EXPECT_NEAR(sheet.Vertices[n / 2].Y, in.Start.Y + (n / 2) * 100 * std::sin(80 / kRho), 0.1);
        EXPECT_NEAR(sheet.Vertices[n / 2].X, in.Start.X, 0.1);
        EXPECT_EQ(sheet.Iterations > 0, rule == TTraverseRule::LeastSquares);
        EXPECT_LT(sheet.Iterations, 10);
    }

    TTraverseInput polygon;
    polygon.Start = FloatPoint(0, 0);
    polygon.StartDirection = 0;
    const double side = 10;
    for (int i = 0; i < n; ++i)
        polygon.Stations.push_back({180.0 * (n - 2) / n, side});
    const TTraverseSheet sheet = ComputeTraverse(polygon, Rule(TTraverseRule::LeastSquares));
    EXPECT_LT(std::fabs(sheet.AngularMisclosure), 1e-6);
    // Vertex n/2 is across the circumscribed circle from the start: the diameter turns from the
    // first side by 90° - 180°/n, so it ends at X = side, Y = side / tan(180°/n).
    EXPECT_NEAR(sheet.Vertices[n / 2].X, side, 1e-6);
    EXPECT_NEAR(sheet.Vertices[n / 2].Y, side / std::tan(M_PI / n), 1e-6);
}

// ---- the field book ---------------------------------------------------------------------------

TEST(TraverseFieldBook, ReadsBothKinds)
{
    const TTraverseInput closed = ReadTraverse("start\t500\t500\r\ndirection\t48-15-30\n"
                                               "87°20'15\"\t180.25\n92 10 40\t165,40\n\n88-45-20\t178.81\n"
                                               "91-44-05\t168.29\n",
                                               '.', TTraverseAngles::Right);
    EXPECT_EQ(closed.Kind, TTraverseKind::Closed);
    ASSERT_EQ(closed.Stations.size(), 4u);
    EXPECT_NEAR(closed.Stations[1].Angle, Dms(92, 10, 40), 1e-12);
    EXPECT_EQ(closed.Stations[1].Length, 165.40);
    EXPECT_NEAR(closed.StartDirection, Dms(48, 15, 30), 1e-12);

    const TTraverseInput connecting = ReadTraverse("start\t2000\t1000\nfrom-direction\tЮВ 84-39-50\n"
                                                   "160-10-20\t210.35\n195-30-40.5\t185.62\n110-15-30\n"
                                                   "end\t1747.10\t1773.46\nto-direction\t176-37-50\n",
                                                   '.', TTraverseAngles::Left);
    EXPECT_EQ(connecting.Kind, TTraverseKind::Connecting);
    EXPECT_EQ(connecting.Angles, TTraverseAngles::Left);
    ASSERT_EQ(connecting.Stations.size(), 2u);
    EXPECT_NEAR(connecting.StartDirection, Dms(95, 20, 10), 1e-12);
    EXPECT_NEAR(connecting.Stations[1].Angle, Dms(195, 30, 40.5), 1e-12);
    EXPECT_NEAR(connecting.EndAngle, Dms(110, 15, 30), 1e-12);
    EXPECT_EQ(connecting.End.Y, 1773.46);
}

struct TBad {
    const char* Text;
    const char* Message;
};

TEST(TraverseFieldBook, BadLinesAreNamed)
{
    const TBad cases[] = {
        {"start\t1\t2\ndirection\t0-0-0\n90\t10\n", "Строка 3: угол «90» не читается"},
        {"start\t1\t2\ndirection\t0-0-0\nСВ 10-0\t10\n", "Строка 3: угол «СВ 10-0» не читается"},
        {"start\t1\t2\ndirection\t0-0-0\n90-0\t0\n", "Строка 3: длина «0» не больше нуля"},
        {"start\t1\t2\ndirection\t0-0-0\n90-0\tx\n", "Строка 3: длина «x» не читается"},
        {"start\t1\ndirection\t0-0-0\n", "Строка 1: ожидается start, X и Y через табуляцию"},
        {"start\t1\t2\ndirection\t0-0-0\n90-0\t10\n90-0\t10\n90-0\t10\nend\t1\t2\n",
         "Строка 6: в замкнутом ходе не бывает конечного пункта, его угла и to-direction"},
        {"start\t1\t2\ndirection\t0-0-0\n90-0\t10\n90-0\t10\n", "Строка 4: в замкнутом ходе нужны хотя бы три станции"},
        {"start\t1\t2\nfrom-direction\t0-0-0\n90-0\t10\n90-0\nend\t1\t2\n", "Строка 5: нет строки to-direction"},
        {"start\t1\t2\nfrom-direction\t0-0-0\n90-0\t10\n90-0\n90-0\t10\n",
         "Строка 5: после угла на конечном пункте станций больше нет"},
        {"direction\t0-0-0\n90-0\t10\n", "Строка 2: нет строки start с координатами начального пункта"},
        {"start\t1\t2\nstart\t1\t2\n", "Строка 2: строка «start» повторяется"},
    };
    for (const TBad& c : cases) {
        try {
            ReadTraverse(c.Text, '.', TTraverseAngles::Right);
            ADD_FAILURE() << "read: " << c.Text;
        } catch (const ECourseError& e) {
            EXPECT_STREQ(e.what(), c.Message);
        }
    }
}

// A paste into the grid of stations: ANGLE<TAB>LENGTH lines, the end's angle alone last; the
// lines of the known points do not belong there.
TEST(TraverseFieldBook, StationsPastedAlone)
{
    const TTraverseStationList list = ReadTraverseStations("160-10-20\t210,35\r\n\n195 30 40\t185.62\n110-15-30\n", ',');
    ASSERT_EQ(list.Stations.size(), 2u);
    EXPECT_NEAR(list.Stations[0].Angle, Dms(160, 10, 20), 1e-12);
    EXPECT_EQ(list.Stations[0].Length, 210.35);
    EXPECT_EQ(list.Stations[1].Length, 185.62);
    ASSERT_TRUE(list.EndAngle);
    EXPECT_NEAR(*list.EndAngle, Dms(110, 15, 30), 1e-12);
    EXPECT_FALSE(ReadTraverseStations("90-0-0\t10\n", '.').EndAngle);
    const TBad cases[] = {
        {"90-0-0\t10\nstart\t1\t2\n", "Строка 2: здесь только станции: угол и длина стороны через табуляцию"},
        {"\n\n", "Строка 1: нет ни одной станции"},
        {"90-0-0\n90-0-0\t10\n", "Строка 2: после угла на конечном пункте станций больше нет"},
    };
    for (const TBad& c : cases) {
        try {
            ReadTraverseStations(c.Text, '.');
            ADD_FAILURE() << "read: " << c.Text;
        } catch (const ECourseError& e) {
            EXPECT_STREQ(e.what(), c.Message);
        }
    }
}

// Input that makes no traverse is refused, not computed into infinities.
TEST(TraverseFieldBook, WhatMakesNoTraverseIsRefused)
{
    TTraverseInput two = ClosedExample();
    two.Stations.resize(2);
    EXPECT_THROW(ComputeTraverse(two, Rule(TTraverseRule::Compass)), ETraverseError);
    // A triangle whose second station, 1e308 north of the first, is beyond doubles.
    TTraverseInput huge;
    huge.Start = FloatPoint(1.7e308, 0);
    huge.Stations = {{60, 1e308}, {60, 1e308}, {60, 1e308}};
    for (const TTraverseRule rule : {TTraverseRule::Compass, TTraverseRule::Transit, TTraverseRule::LeastSquares})
        EXPECT_THROW(ComputeTraverse(huge, Rule(rule)), ETraverseError);
    TTraverseSettings settings = Rule(TTraverseRule::LeastSquares);
    settings.SigmaLengthMm = settings.SigmaLengthPpm = 0;
    EXPECT_THROW(ComputeTraverse(ClosedExample(), settings), ETraverseError);
}

TEST(TraverseSheetText, LeastSquaresAddsItsCorrectionsAndSigma0)
{
    const TTraverseSheet sheet = ComputeTraverse(ConnectingExample(), Rule(TTraverseRule::LeastSquares));
    const std::string text = FormatTraverseSheet(sheet, 3, ',');
    EXPECT_NE(text.find("\tпоправка угла МНК\tпоправка длины МНК\n"), std::string::npos);
    EXPECT_NE(text.find("\nσ0\t"), std::string::npos);
    EXPECT_NE(text.find("\t1747,100\t1773,460\t"), std::string::npos) << text;
    const std::string lsSummary = FormatTraverseSummary(sheet);
    const std::string sigma0Line = "\nrule\tleast-squares\nsigma0\t";
    const std::size_t sigma0 = lsSummary.find(sigma0Line);
    ASSERT_NE(sigma0, std::string::npos) << lsSummary;
    EXPECT_NEAR(std::stod(lsSummary.substr(sigma0 + sigma0Line.size())), *sheet.Sigma0, 1e-15);
    // 17 significant digits, null for what the rule does not define.
    TTraverseInput exact = ConnectingExample();
    exact.EndDirection = Dms(176, 38, 30); // fβ = 0
    const std::string summary = FormatTraverseSummary(ComputeTraverse(exact, Rule(TTraverseRule::Compass)));
    ASSERT_EQ(summary.substr(0, 19), "angular_misclosure\t");
    EXPECT_NEAR(std::stod(summary.substr(19)), 0, 1e-9);
    EXPECT_NE(summary.find("\nangular_limit\t134.1640786499874\ngap_dx\t"), std::string::npos) << summary;
    EXPECT_EQ(summary.substr(summary.find("relative_limit_n")),
              "relative_limit_n\t2000\nrule\tcompass\nsigma0\tnull\n");
}

// A direction that rounds up to 360° at tenths of a second is written 0°0'0.0"; a sum is not
// reduced.
TEST(TraverseSheetText, DirectionsWrapAndSumsDoNot)
{
    TTraverseInput in = ClosedExample();
    in.StartDirection = Dms(359, 59, 59.97);
    const std::string text = FormatTraverseSheet(ComputeTraverse(in, Rule(TTraverseRule::Compass)), 3);
    EXPECT_NE(text.find("\t87°20'10.0\"\t0°0'0.0\"\t180.250\t"), std::string::npos) << text;
    EXPECT_NE(text.find("\nΣ\t360°0'20.0\"\t-20.0\"\t360°0'0.0\"\t"), std::string::npos) << text;
}

// The sheet as an HTML table for the clipboard: one row per line, escaped cells, the figures over
// their limit in bold, and offsets that point at the markers they stand for.
TEST(TraverseSheetText, HtmlForTheClipboard)
{
    TTraverseSettings settings = Rule(TTraverseRule::Compass);
    settings.RelativeLimitN = 10000;
    const TTraverseSheet sheet = ComputeTraverse(ClosedExample(), settings);
    const std::string html = FormatTraverseSheetHtml(sheet, 3);
    EXPECT_EQ(html.substr(0, 39), "<table border=\"1\" cellspacing=\"0\">\n<tr>");
    EXPECT_NE(html.find("<tr><td>1</td><td>87°20'15.0&quot;</td><td>-5.0&quot;</td>"), std::string::npos) << html;
    EXPECT_NE(html.find("<tr><td><b>f/Σd</b></td><td><b>1:6390</b></td><td><b>доп.</b></td><td><b>1:10000</b></td>"
                        "<td><b>превышает допустимую</b></td></tr>\n</table>"),
              std::string::npos)
        << html;
    std::size_t rows = 0;
    for (std::size_t at = html.find("<tr>"); at != std::string::npos; at = html.find("<tr>", at + 1))
        ++rows;
    EXPECT_EQ(rows, 12u); // title, captions, 4 stations, the closing line, Σ, 4 lines of figures

    const std::string wrapped = HtmlClipboardData("<b>a</b>");
    auto offset = [&](const char* name) {
        const std::size_t at = wrapped.find(name);
        return at == std::string::npos ? std::string::npos : std::stoul(wrapped.substr(at + std::strlen(name), 10));
    };
    EXPECT_EQ(wrapped.substr(0, 12), "Version:0.9\r");
    EXPECT_EQ(wrapped.substr(offset("StartHTML:"), 6), "<html>");
    EXPECT_EQ(offset("EndHTML:"), wrapped.size());
    EXPECT_EQ(wrapped.substr(offset("StartFragment:"), offset("EndFragment:") - offset("StartFragment:")), "<b>a</b>");
    EXPECT_EQ(wrapped.substr(offset("StartFragment:") - 20, 20), "<!--StartFragment-->");
}

} // namespace
