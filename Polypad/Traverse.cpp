#include "Polypad/Traverse.h"

#include "Polypad/Courses.h"
#include "Polypad/ExchangeText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

using Real = long double;

constexpr Real kDegree = kPi / 180;
constexpr int kMaxIterations = 50;
constexpr Real kSettled = 1e-9L; // metres: the least-squares coordinates stop changing

Real Normalized360(Real degrees)
{
    Real d = std::fmod(degrees, Real(360));
    if (d < 0)
        d += 360;
    return d >= 360 ? d - 360 : d;
}

// cos and sin of an angle in degrees, exact at the multiples of 90 as the courses' sums are.
void CosSinDegrees(Real degrees, Real& c, Real& s)
{
    const Real quarter = std::floor(degrees / 90 + 0.5L);
    const Real r = (degrees - 90 * quarter) * kDegree;
    const Real cr = std::cos(r), sr = std::sin(r);
    switch (static_cast<int>(std::fmod(quarter, Real(4)) + 4) % 4) {
    case 0: c = cr; s = sr; break;
    case 1: c = -sr; s = cr; break;
    case 2: c = -cr; s = -sr; break;
    default: c = sr; s = -cr; break;
    }
}

bool Finite(TFloatPoint p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

void CheckInput(const TTraverseInput& input, const TTraverseSettings& settings)
{
    const bool closed = input.Kind == TTraverseKind::Closed;
    if (closed && input.Stations.size() < 3)
        throw ETraverseError("в замкнутом ходе нужны хотя бы три станции");
    if (!closed && input.Stations.empty())
        throw ETraverseError("в ходе между пунктами нужна хотя бы одна станция с длиной");
    auto checkAngle = [](double a, const char* what) {
        if (!(a >= 0 && a < 360))
            throw ETraverseError(std::string(what) + " вне 0…360°");
    };
    for (const TTraverseStation& s : input.Stations) {
        checkAngle(s.Angle, "угол");
        if (!(s.Length > 0) || !std::isfinite(s.Length))
            throw ETraverseError("длина стороны не больше нуля");
    }
    checkAngle(input.StartDirection, "направление");
    if (!Finite(input.Start))
        throw ETraverseError("координаты начальной точки не числа");
    if (!closed) {
        checkAngle(input.EndAngle, "угол");
        checkAngle(input.EndDirection, "направление");
        if (!Finite(input.End))
            throw ETraverseError("координаты конечной точки не числа");
    }
    if (!(settings.AngleLimitSeconds >= 0) || !std::isfinite(settings.AngleLimitSeconds))
        throw ETraverseError("допустимая угловая невязка должна быть не меньше нуля");
    if (!(settings.RelativeLimitN >= 1) || !std::isfinite(settings.RelativeLimitN))
        throw ETraverseError("знаменатель допустимой относительной невязки должен быть не меньше 1");
    if (settings.Rule == TTraverseRule::LeastSquares) {
        if (!(settings.SigmaAngleSeconds > 0) || !std::isfinite(settings.SigmaAngleSeconds))
            throw ETraverseError("σβ должна быть больше нуля");
        if (!(settings.SigmaLengthMm >= 0) || !(settings.SigmaLengthPpm >= 0) ||
            !std::isfinite(settings.SigmaLengthMm) || !std::isfinite(settings.SigmaLengthPpm) ||
            !(settings.SigmaLengthMm + settings.SigmaLengthPpm > 0))
            throw ETraverseError("σd = a + b·d должна быть больше нуля");
    }
}

// The observations and what the conditions need of them, in the order of the field book.
struct TObservations {
    bool Closed = true;
    Real Sign = -1;                  // right angles -1, left +1: a' = a - sign·180 + sign·b
    std::vector<Real> Angles;        // degrees, the end's last for a connecting traverse
    std::vector<Real> Lengths;
    Real StartDirection = 0;         // degrees
    Real TargetX = 0, TargetY = 0;   // what the increments must add up to
    Real TheoreticalSum = 0;         // degrees
};

// The course directions from the angles (degrees): the closed traverse's first is given, a
// connecting traverse's first follows from the known side and the start's angle. The direction
// after the last angle is appended (the closing check or the known side leaving the end).
std::vector<Real> Directions(const TObservations& o, const std::vector<Real>& angles)
{
    std::vector<Real> d;
    d.reserve(angles.size() + 1);
    Real a = o.StartDirection;
    std::size_t i = 0;
    if (o.Closed) {
        d.push_back(Normalized360(a));
        i = 1;
    }
    for (; i < angles.size(); ++i) {
        a = a - o.Sign * 180 + o.Sign * angles[i];
        a = Normalized360(a);
        d.push_back(a);
    }
    if (o.Closed) {
        a = Normalized360(a - o.Sign * 180 + o.Sign * angles[0]);
        d.push_back(a);
    }
    return d;
}

// The 3x3 system by elimination with partial pivoting.
std::array<Real, 3> Solve3(std::array<std::array<Real, 4>, 3> m)
{
    for (int c = 0; c < 3; ++c) {
        int p = c;
        for (int r = c + 1; r < 3; ++r)
            if (std::fabs(m[r][c]) > std::fabs(m[p][c]))
                p = r;
        if (!(std::fabs(m[p][c]) > 0))
            throw ETraverseError("условные уравнения хода вырождены");
        std::swap(m[c], m[p]);
        for (int r = c + 1; r < 3; ++r) {
            const Real f = m[r][c] / m[c][c];
            for (int k = c; k < 4; ++k)
                m[r][k] -= f * m[c][k];
        }
    }
    std::array<Real, 3> x{};
    for (int c = 2; c >= 0; --c) {
        Real s = m[c][3];
        for (int k = c + 1; k < 3; ++k)
            s -= m[c][k] * x[k];
        x[c] = s / m[c][c];
    }
    return x;
}

struct TLeastSquares {
    std::vector<Real> AngleCorrections;  // radians
    std::vector<Real> LengthCorrections; // metres
    std::vector<Real> DX, DY;            // the adjusted increments
    Real Sigma0 = 0;
    int Iterations = 0;
};

// Angles and lengths adjusted together by the three condition equations (the angle sum, the sums
// of the increments), weights 1/σ². Each step linearises the conditions at the current adjusted
// observations: B·v = B·v0 - f(l0), v = Q·Bᵀ·(B·Q·Bᵀ)⁻¹·(B·v0 - f(l0)); the steps go on until the
// coordinates change by less than kSettled.
TLeastSquares AdjustLeastSquares(const TObservations& o, const TTraverseSettings& settings)
{
    const std::size_t na = o.Angles.size(), nc = o.Lengths.size();
    const Real sigmaAngle = settings.SigmaAngleSeconds / 3600 * kDegree;
    const Real qAngle = sigmaAngle * sigmaAngle;
    std::vector<Real> qLength(nc);
    for (std::size_t k = 0; k < nc; ++k) {
        const Real s = Real(settings.SigmaLengthMm) / 1000 + Real(settings.SigmaLengthPpm) * 1e-6L * o.Lengths[k];
        qLength[k] = s * s;
    }
    // The first course a station's angle turns: the closed traverse's first direction is given,
    // so its start angle turns none; the end angle of a connecting traverse turns none either.
    auto firstTurned = [&](std::size_t i) -> std::size_t {
        if (o.Closed)
            return i == 0 ? nc : i;
        return i < nc ? i : nc;
    };

    Real measured = 0;
    for (const Real a : o.Angles)
        measured += a;
    const Real angleMisclosure = (measured - o.TheoreticalSum) * kDegree;

    TLeastSquares ls;
    ls.AngleCorrections.assign(na, 0);
    ls.LengthCorrections.assign(nc, 0);
    std::vector<Real> angles(na), cosines(nc), sines(nc), suffixX(nc + 1), suffixY(nc + 1);
    std::vector<Real> x(nc), y(nc), previousX, previousY;
    for (int iteration = 0;; ++iteration) {
        for (std::size_t i = 0; i < na; ++i)
            angles[i] = o.Angles[i] + ls.AngleCorrections[i] / kDegree;
        const std::vector<Real> directions = Directions(o, angles);
        ls.DX.assign(nc, 0);
        ls.DY.assign(nc, 0);
        Real sumX = 0, sumY = 0;
        for (std::size_t k = 0; k < nc; ++k) {
            CosSinDegrees(directions[k], cosines[k], sines[k]);
            const Real d = o.Lengths[k] + ls.LengthCorrections[k];
            ls.DX[k] = d * cosines[k];
            ls.DY[k] = d * sines[k];
            sumX += ls.DX[k];
            sumY += ls.DY[k];
            x[k] = sumX;
            y[k] = sumY;
        }
        if (iteration > 0) {
            Real change = 0;
            for (std::size_t k = 0; k < nc; ++k)
                change = std::max({change, std::fabs(x[k] - previousX[k]), std::fabs(y[k] - previousY[k])});
            if (change < kSettled) {
                ls.Iterations = iteration;
                break;
            }
        }
        if (iteration == kMaxIterations)
            throw ETraverseError("уравнивание по методу наименьших квадратов не сходится");
        previousX = x;
        previousY = y;

        suffixX[nc] = suffixY[nc] = 0;
        for (std::size_t k = nc; k-- > 0;) {
            suffixX[k] = suffixX[k + 1] + ls.DX[k];
            suffixY[k] = suffixY[k + 1] + ls.DY[k];
        }
        Real angleCorrectionSum = 0;
        for (const Real v : ls.AngleCorrections)
            angleCorrectionSum += v;
        const std::array<Real, 3> misclosure{angleMisclosure + angleCorrectionSum, sumX - o.TargetX, sumY - o.TargetY};
        // B's column of an angle: (1, -sign·ΣΔy, sign·ΣΔx), the sums over the courses it turns
        // (radians to metres); of a length: (0, cos α, sin α).
        auto angleRow = [&](std::size_t i) {
            const std::size_t k = firstTurned(i);
            return std::array<Real, 3>{1, -o.Sign * suffixY[k], o.Sign * suffixX[k]};
        };
        std::array<std::array<Real, 4>, 3> m{};
        std::array<Real, 3> bv{};
        for (std::size_t i = 0; i < na; ++i) {
            const std::array<Real, 3> b = angleRow(i);
            for (int r = 0; r < 3; ++r) {
                bv[r] += b[r] * ls.AngleCorrections[i];
                for (int c = 0; c < 3; ++c)
                    m[r][c] += b[r] * qAngle * b[c];
            }
        }
        for (std::size_t k = 0; k < nc; ++k) {
            const std::array<Real, 3> b{0, cosines[k], sines[k]};
            for (int r = 1; r < 3; ++r) {
                bv[r] += b[r] * ls.LengthCorrections[k];
                for (int c = 1; c < 3; ++c)
                    m[r][c] += b[r] * qLength[k] * b[c];
            }
        }
        for (int r = 0; r < 3; ++r)
            m[r][3] = bv[r] - misclosure[r];
        const std::array<Real, 3> lambda = Solve3(m);
        for (std::size_t i = 0; i < na; ++i) {
            const std::array<Real, 3> b = angleRow(i);
            ls.AngleCorrections[i] = qAngle * (b[0] * lambda[0] + b[1] * lambda[1] + b[2] * lambda[2]);
        }
        for (std::size_t k = 0; k < nc; ++k)
            ls.LengthCorrections[k] = qLength[k] * (cosines[k] * lambda[1] + sines[k] * lambda[2]);
    }
    Real vpv = 0;
    for (const Real v : ls.AngleCorrections)
        vpv += v * v / qAngle;
    for (std::size_t k = 0; k < nc; ++k)
        vpv += ls.LengthCorrections[k] * ls.LengthCorrections[k] / qLength[k];
    ls.Sigma0 = std::sqrt(vpv / 3);
    return ls;
}

std::string Fixed(double value, int digits, char decimalSeparator)
{
    // A coordinate of 1e300 has 301 digits before the point.
    std::string text(std::snprintf(nullptr, 0, "%.*f", digits, value), '\0');
    std::snprintf(text.data(), text.size() + 1, "%.*f", digits, value);
    // A value that rounds to zero is written without a sign.
    if (text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos)
        text.erase(0, 1);
    for (char& c : text)
        if (c == '.')
            c = decimalSeparator;
    return text;
}

std::string SummaryNumber(std::optional<double> value)
{
    if (!value || !std::isfinite(*value))
        return "null";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, *value, std::chars_format::general, 17);
    return std::string(buffer, result.ptr);
}

// Whole degrees, minutes and tenths of seconds of an angle's size, not reduced modulo 360 (a sum
// of angles is written as it is).
std::string AngleTenths(double degrees, char decimalSeparator, bool wholeDegrees)
{
    const long long tenths = std::llround(std::fabs(degrees) * 36000);
    const long long d = tenths / 36000, m = tenths / 600 % 60, s = tenths % 600;
    char buffer[64];
    if (wholeDegrees || d > 0)
        std::snprintf(buffer, sizeof buffer, "%lld\u00B0%lld'%lld%c%lld\"", d, m, s / 10, decimalSeparator, s % 10);
    else if (m > 0)
        std::snprintf(buffer, sizeof buffer, "%lld'%lld%c%lld\"", m, s / 10, decimalSeparator, s % 10);
    else
        std::snprintf(buffer, sizeof buffer, "%lld%c%lld\"", s / 10, decimalSeparator, s % 10);
    return buffer;
}

// An angle or a direction in [0, 360): one that rounds up to 360° is written 0°0'0.0".
std::string DirectionTenths(double degrees, char decimalSeparator)
{
    const double tenths = std::round(degrees * 36000);
    return AngleTenths(tenths >= 360.0 * 36000 ? 0 : degrees, decimalSeparator, true);
}

std::string Correction(double seconds, char decimalSeparator)
{
    const std::string text = AngleTenths(seconds / 3600, decimalSeparator, false);
    if (std::llround(std::fabs(seconds) * 10) == 0)
        return text;
    return (seconds < 0 ? "-" : "+") + text;
}

const char* RuleCaption(TTraverseRule rule)
{
    switch (rule) {
    case TTraverseRule::Compass: return "пропорционально длинам сторон";
    case TTraverseRule::Transit: return "пропорционально приращениям";
    case TTraverseRule::LeastSquares: return "по методу наименьших квадратов";
    }
    return "";
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string TrimBlanks(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\r'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

} // namespace

bool TTraverseSheet::AngularOverLimit() const { return std::fabs(AngularMisclosure) > AngularLimit; }

bool TTraverseSheet::RelativeOverLimit() const { return RelativeErrorN && *RelativeErrorN < RelativeLimitN; }

TTraverseSheet ComputeTraverse(const TTraverseInput& input, const TTraverseSettings& settings)
{
    CheckInput(input, settings);
    TObservations o;
    o.Closed = input.Kind == TTraverseKind::Closed;
    o.Sign = input.Angles == TTraverseAngles::Right ? -1 : 1;
    for (const TTraverseStation& s : input.Stations) {
        o.Angles.push_back(s.Angle);
        o.Lengths.push_back(s.Length);
    }
    if (!o.Closed)
        o.Angles.push_back(input.EndAngle);
    o.StartDirection = input.StartDirection;
    if (!o.Closed) {
        o.TargetX = Real(input.End.X) - Real(input.Start.X);
        o.TargetY = Real(input.End.Y) - Real(input.Start.Y);
    }
    const std::size_t na = o.Angles.size(), nc = o.Lengths.size();

    // 1. The angular misclosure: the theoretical sum is the value nearest the measured one that
    // turns the start direction into the end direction (180°·n modulo 360° for a polygon, so
    // that interior and exterior angles both work).
    Real measured = 0;
    for (const Real a : o.Angles)
        measured += a;
    const Real endDirection = o.Closed ? o.StartDirection : Real(input.EndDirection);
    const Real base = o.Sign * (endDirection - o.StartDirection) + 180 * Real(na);
    o.TheoreticalSum = base + 360 * std::round((measured - base) / 360);

    TTraverseSheet sheet;
    sheet.Kind = input.Kind;
    sheet.Angles = input.Angles;
    sheet.Rule = settings.Rule;
    sheet.AngleCount = static_cast<int>(na);
    sheet.MeasuredAngleSum = static_cast<double>(measured);
    sheet.TheoreticalAngleSum = static_cast<double>(o.TheoreticalSum);
    const Real misclosure = (measured - o.TheoreticalSum) * 3600;
    sheet.AngularMisclosure = static_cast<double>(misclosure);
    sheet.AngularLimit = settings.AngleLimitSeconds * std::sqrt(static_cast<double>(na));

    // 2. The angles corrected equally, the directions, the increments.
    const Real correction = -misclosure / Real(na);
    std::vector<Real> corrected(na);
    for (std::size_t i = 0; i < na; ++i)
        corrected[i] = o.Angles[i] + correction / 3600;
    const std::vector<Real> directions = Directions(o, corrected);
    std::vector<Real> dx(nc), dy(nc);
    Real sumX = 0, sumY = 0, length = 0, absX = 0, absY = 0;
    for (std::size_t k = 0; k < nc; ++k) {
        Real c = 0, s = 0;
        CosSinDegrees(directions[k], c, s);
        dx[k] = o.Lengths[k] * c;
        dy[k] = o.Lengths[k] * s;
        sumX += dx[k];
        sumY += dy[k];
        absX += std::fabs(dx[k]);
        absY += std::fabs(dy[k]);
        length += o.Lengths[k];
    }

    // 3. The linear misclosure.
    const Real fx = sumX - o.TargetX, fy = sumY - o.TargetY;
    sheet.GapDX = static_cast<double>(fx);
    sheet.GapDY = static_cast<double>(fy);
    sheet.Gap = static_cast<double>(std::hypot(fx, fy));
    sheet.LengthSum = static_cast<double>(length);
    if (sheet.Gap > 0)
        sheet.RelativeErrorN = std::floor(sheet.LengthSum / sheet.Gap);
    sheet.RelativeLimitN = settings.RelativeLimitN;

    // 4. The corrections of the increments by the rule. The transit rule has nothing to spread a
    // misclosure over along an axis no course moves on; there it falls back to the lengths.
    std::vector<Real> vx(nc), vy(nc);
    std::optional<TLeastSquares> ls;
    if (settings.Rule == TTraverseRule::LeastSquares) {
        ls = AdjustLeastSquares(o, settings);
        for (std::size_t k = 0; k < nc; ++k) {
            vx[k] = ls->DX[k] - dx[k];
            vy[k] = ls->DY[k] - dy[k];
        }
        sheet.Sigma0 = static_cast<double>(ls->Sigma0);
        sheet.Iterations = ls->Iterations;
    } else {
        const bool transit = settings.Rule == TTraverseRule::Transit;
        for (std::size_t k = 0; k < nc; ++k) {
            vx[k] = transit && absX > 0 ? -fx * std::fabs(dx[k]) / absX : -fx * o.Lengths[k] / length;
            vy[k] = transit && absY > 0 ? -fy * std::fabs(dy[k]) / absY : -fy * o.Lengths[k] / length;
        }
    }

    // 5. The coordinates, summed apart from the start in extended precision; a connecting
    // traverse ends on the known end itself.
    Real cx = 0, cy = 0;
    sheet.Vertices.reserve(na);
    sheet.Vertices.push_back(input.Start);
    for (std::size_t k = 0; k + 1 < (o.Closed ? nc : nc + 1); ++k) {
        cx += dx[k] + vx[k];
        cy += dy[k] + vy[k];
        sheet.Vertices.push_back(
            FloatPoint(static_cast<double>(input.Start.X + cx), static_cast<double>(input.Start.Y + cy)));
    }
    if (!o.Closed)
        sheet.Vertices.back() = input.End;
    for (const TFloatPoint& p : sheet.Vertices)
        if (!Finite(p))
            throw ETraverseError("координаты станций не умещаются в числа");

    const std::size_t rows = o.Closed ? nc + 1 : na;
    sheet.Rows.resize(rows);
    for (std::size_t i = 0; i < rows; ++i) {
        TTraverseSheetRow& row = sheet.Rows[i];
        row.Station = static_cast<int>(i < sheet.Vertices.size() ? i + 1 : 1);
        const TFloatPoint p = i < sheet.Vertices.size() ? sheet.Vertices[i] : input.Start;
        row.X = p.X;
        row.Y = p.Y;
        if (i < na && (!o.Closed || i < nc)) {
            row.MeasuredAngle = static_cast<double>(o.Angles[i]);
            row.AngleCorrection = static_cast<double>(correction);
            row.CorrectedAngle = static_cast<double>(corrected[i]);
            row.Direction = static_cast<double>(directions[i]);
            if (ls)
                row.LsAngleCorrection = static_cast<double>(ls->AngleCorrections[i] / kDegree * 3600);
        }
        if (i < nc) {
            row.Length = static_cast<double>(o.Lengths[i]);
            row.DX = static_cast<double>(dx[i]);
            row.DY = static_cast<double>(dy[i]);
            row.VX = static_cast<double>(vx[i]);
            row.VY = static_cast<double>(vy[i]);
            if (ls)
                row.LsLengthCorrection = static_cast<double>(ls->LengthCorrections[i]);
        }
    }
    return sheet;
}

void RefuseOverLimits(const TTraverseSheet& sheet)
{
    std::string message;
    if (sheet.AngularOverLimit())
        message = "Угловая невязка " + Correction(sheet.AngularMisclosure, '.') + " больше допустимой ±" +
                  AngleTenths(sheet.AngularLimit / 3600, '.', false) + ": вероятно, грубая ошибка в углах";
    if (sheet.RelativeOverLimit()) {
        if (!message.empty())
            message += '\n';
        message += Format("Относительная невязка 1:%.0f больше допустимой 1:%.0f (f = %s м при длине хода %s м)",
                          *sheet.RelativeErrorN, sheet.RelativeLimitN, Fixed(sheet.Gap, 3, '.').c_str(),
                          Fixed(sheet.LengthSum, 3, '.').c_str());
    }
    if (!message.empty())
        throw ETraverseRefused(message);
}

namespace {

// What the field book's lines gave, and which of its lines were there.
struct TFieldBook {
    TTraverseInput Input;
    bool Start = false, Direction = false, FromDirection = false, End = false, ToDirection = false;
    bool EndAngle = false;
    int LastLine = 1; // the last line that was not empty
};

// With stationsOnly, the station lines alone are taken.
TFieldBook ReadFieldBook(const std::string& text, char decimalSeparator, bool stationsOnly)
{
    TFieldBook book;
    TTraverseInput& input = book.Input;
    int line = 0;
    auto number = [&](const std::string& field, const char* what) {
        try {
            const double v = ParseClipboardNumber(field, decimalSeparator);
            if (!std::isfinite(v))
                throw EConvertError("");
            return v;
        } catch (const EConvertError&) {
            throw ECourseError(line, std::string(what) + " «" + field + "» не читается");
        }
    };
    auto direction = [&](const std::string& field) {
        try {
            return ParseCourseDirection(field);
        } catch (const EConvertError& e) {
            throw ECourseError(line, e.what());
        }
    };
    // A measured angle: no quadrant bearing, so it starts with a digit.
    auto angle = [&](const std::string& field) {
        try {
            if (field.empty() || field[0] < '0' || field[0] > '9')
                throw EConvertError("");
            return ParseCourseDirection(field);
        } catch (const EConvertError&) {
            throw ECourseError(line, "угол «" + field + "» не читается");
        }
    };

    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string content = text.substr(at, end - at);
        at = end + 1;
        ++line;
        std::vector<std::string> fields;
        std::size_t from = 0;
        for (;;) {
            const std::size_t tab = content.find('\t', from);
            const std::size_t size = tab == std::string::npos ? std::string::npos : tab - from;
            fields.push_back(TrimBlanks(content.substr(from, size)));
            if (tab == std::string::npos)
                break;
            from = tab + 1;
        }
        while (!fields.empty() && fields.back().empty())
            fields.pop_back();
        if (fields.empty())
            continue;
        book.LastLine = line;
        const std::string key = Lower(fields[0]);
        auto expectFields = [&](std::size_t n, const char* form) {
            if (fields.size() != n)
                throw ECourseError(line, std::string("ожидается ") + form);
        };
        auto once = [&](bool& seen) {
            if (seen)
                throw ECourseError(line, "строка «" + key + "» повторяется");
            seen = true;
        };
        const bool keyword = key == "start" || key == "end" || key == "direction" || key == "from-direction" ||
                             key == "to-direction";
        if (keyword && stationsOnly)
            throw ECourseError(line, "здесь только станции: угол и длина стороны через табуляцию");
        if (key == "start") {
            expectFields(3, "start, X и Y через табуляцию");
            once(book.Start);
            input.Start = FloatPoint(number(fields[1], "X"), number(fields[2], "Y"));
        } else if (key == "end") {
            expectFields(3, "end, X и Y через табуляцию");
            once(book.End);
            input.End = FloatPoint(number(fields[1], "X"), number(fields[2], "Y"));
        } else if (key == "direction" || key == "from-direction") {
            expectFields(2, (key + " и направление через табуляцию").c_str());
            if (book.Direction || book.FromDirection)
                throw ECourseError(line, "начальное направление уже задано");
            (key == "direction" ? book.Direction : book.FromDirection) = true;
            input.StartDirection = direction(fields[1]);
        } else if (key == "to-direction") {
            expectFields(2, "to-direction и направление через табуляцию");
            once(book.ToDirection);
            input.EndDirection = direction(fields[1]);
        } else {
            if (book.EndAngle)
                throw ECourseError(line, "после угла на конечном пункте станций больше нет");
            if (fields.size() == 1) {
                input.EndAngle = angle(fields[0]);
                book.EndAngle = true;
                continue;
            }
            expectFields(2, "угол и длина стороны через табуляцию");
            TTraverseStation station;
            station.Angle = angle(fields[0]);
            station.Length = number(fields[1], "длина");
            if (!(station.Length > 0))
                throw ECourseError(line, "длина «" + fields[1] + "» не больше нуля");
            input.Stations.push_back(station);
        }
    }
    return book;
}

} // namespace

TTraverseStationList ReadTraverseStations(const std::string& text, char decimalSeparator)
{
    TFieldBook book = ReadFieldBook(text, decimalSeparator, true);
    if (book.Input.Stations.empty() && !book.EndAngle)
        throw ECourseError(book.LastLine, "нет ни одной станции");
    TTraverseStationList list;
    list.Stations = std::move(book.Input.Stations);
    if (book.EndAngle)
        list.EndAngle = book.Input.EndAngle;
    return list;
}

TTraverseInput ReadTraverse(const std::string& text, char decimalSeparator, TTraverseAngles angles)
{
    const TFieldBook book = ReadFieldBook(text, decimalSeparator, false);
    TTraverseInput input = book.Input;
    input.Angles = angles;
    const int lastLine = book.LastLine;
    if (!book.Start)
        throw ECourseError(lastLine, "нет строки start с координатами начального пункта");
    if (!book.Direction && !book.FromDirection)
        throw ECourseError(lastLine, "нет строки direction (замкнутый ход) или from-direction (ход между пунктами)");
    if (book.Direction) {
        input.Kind = TTraverseKind::Closed;
        if (book.End || book.ToDirection || book.EndAngle)
            throw ECourseError(lastLine, "в замкнутом ходе не бывает конечного пункта, его угла и to-direction");
        if (input.Stations.size() < 3)
            throw ECourseError(lastLine, "в замкнутом ходе нужны хотя бы три станции");
    } else {
        input.Kind = TTraverseKind::Connecting;
        if (input.Stations.empty())
            throw ECourseError(lastLine, "нет ни одной станции с длиной стороны");
        if (!book.EndAngle)
            throw ECourseError(lastLine, "нет угла на конечном пункте (строка из одного угла)");
        if (!book.End)
            throw ECourseError(lastLine, "нет строки end с координатами конечного пункта");
        if (!book.ToDirection)
            throw ECourseError(lastLine, "нет строки to-direction");
    }
    return input;
}

std::string FormatSheetAngle(double degrees) { return AngleTenths(degrees, '.', true); }

std::string FormatSheetAngleCorrection(double seconds) { return Correction(seconds, '.'); }

const char* TraverseRuleName(TTraverseRule rule)
{
    switch (rule) {
    case TTraverseRule::Compass: return "compass";
    case TTraverseRule::Transit: return "transit";
    case TTraverseRule::LeastSquares: return "least-squares";
    }
    return "";
}

std::string FormatTraverseSheet(const TTraverseSheet& sheet, int digits, char decimalSeparator)
{
    const bool ls = sheet.Rule == TTraverseRule::LeastSquares;
    std::string text = "Ведомость вычисления координат\t";
    text += sheet.Kind == TTraverseKind::Closed ? "замкнутый ход" : "ход между пунктами";
    text += '\t';
    text += sheet.Angles == TTraverseAngles::Right ? "правые углы" : "левые углы";
    text += "\tуравнивание ";
    text += RuleCaption(sheet.Rule);
    text += "\n№\tβ измеренный\tпоправка\tβ исправленный\tдирекционный угол\tдлина\tΔX\tΔY\tпоправка ΔX\t"
            "поправка ΔY\tX\tY";
    if (ls)
        text += "\tпоправка угла МНК\tпоправка длины МНК";
    text += '\n';
    auto angle = [&](std::optional<double> a) { return a ? DirectionTenths(*a, decimalSeparator) : std::string(); };
    auto sum = [&](double a) { return AngleTenths(a, decimalSeparator, true); };
    auto correction = [&](std::optional<double> s) { return s ? Correction(*s, decimalSeparator) : std::string(); };
    auto number = [&](std::optional<double> v, int d) { return v ? Fixed(*v, d, decimalSeparator) : std::string(); };
    Real sumCorrection = 0, sumCorrected = 0, sumDX = 0, sumDY = 0, sumVX = 0, sumVY = 0;
    for (const TTraverseSheetRow& row : sheet.Rows) {
        const std::string fields[] = {
            std::to_string(row.Station), angle(row.MeasuredAngle), correction(row.AngleCorrection),
            angle(row.CorrectedAngle), angle(row.Direction), number(row.Length, digits),
            number(row.DX, digits), number(row.DY, digits), number(row.VX, digits),
            number(row.VY, digits), number(row.X, digits), number(row.Y, digits),
            correction(row.LsAngleCorrection), number(row.LsLengthCorrection, digits),
        };
        for (std::size_t f = 0; f < std::size(fields) - (ls ? 0 : 2); ++f) {
            if (f > 0)
                text += '\t';
            text += fields[f];
        }
        text += '\n';
        sumCorrection += row.AngleCorrection.value_or(0);
        sumCorrected += row.CorrectedAngle.value_or(0);
        sumDX += row.DX.value_or(0);
        sumDY += row.DY.value_or(0);
        sumVX += row.VX.value_or(0);
        sumVY += row.VY.value_or(0);
    }
    text += "Σ\t" + sum(sheet.MeasuredAngleSum) + '\t' + correction(static_cast<double>(sumCorrection)) + '\t' +
            sum(static_cast<double>(sumCorrected)) + "\t\t" + number(sheet.LengthSum, digits) + '\t' +
            number(static_cast<double>(sumDX), digits) + '\t' + number(static_cast<double>(sumDY), digits) + '\t' +
            number(static_cast<double>(sumVX), digits) + '\t' + number(static_cast<double>(sumVY), digits) + '\n';
    const char* over = "\tпревышает допустимую";
    text += "Σβ теоретическая\t" + sum(sheet.TheoreticalAngleSum) + '\n';
    text += "fβ\t" + Correction(sheet.AngularMisclosure, decimalSeparator) + "\tfβ доп.\t±" +
            AngleTenths(sheet.AngularLimit / 3600, decimalSeparator, false) +
            (sheet.AngularOverLimit() ? over : "") + '\n';
    text += "fx\t" + number(sheet.GapDX, digits) + "\tfy\t" + number(sheet.GapDY, digits) + "\tf\t" +
            number(sheet.Gap, digits) + '\n';
    text += "f/Σd\t" + (sheet.RelativeErrorN ? Format("1:%.0f", *sheet.RelativeErrorN) : std::string("—")) +
            "\tдоп.\t" + Format("1:%.0f", sheet.RelativeLimitN) + (sheet.RelativeOverLimit() ? over : "") + '\n';
    if (sheet.Sigma0)
        text += "σ0\t" + Fixed(*sheet.Sigma0, 3, decimalSeparator) + '\n';
    return text;
}

std::string FormatTraverseSheetHtml(const TTraverseSheet& sheet, int digits, char decimalSeparator)
{
    const std::string text = FormatTraverseSheet(sheet, digits, decimalSeparator);
    const std::string overMark = "превышает допустимую";
    std::string html = "<table border=\"1\" cellspacing=\"0\">\n";
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const bool over = line.find(overMark) != std::string::npos;
        html += "<tr>";
        std::size_t from = 0;
        for (;;) {
            const std::size_t tab = line.find('\t', from);
            const std::string field = line.substr(from, tab == std::string::npos ? std::string::npos : tab - from);
            html += over ? "<td><b>" : "<td>";
            for (const char c : field) {
                switch (c) {
                case '&': html += "&amp;"; break;
                case '<': html += "&lt;"; break;
                case '>': html += "&gt;"; break;
                case '"': html += "&quot;"; break;
                default: html += c;
                }
            }
            html += over ? "</b></td>" : "</td>";
            if (tab == std::string::npos)
                break;
            from = tab + 1;
        }
        html += "</tr>\n";
    }
    html += "</table>";
    return html;
}

std::string FormatTraverseSummary(const TTraverseSheet& sheet)
{
    std::string text;
    auto add = [&](const char* name, const std::string& value) {
        text += name;
        text += '\t';
        text += value;
        text += '\n';
    };
    add("angular_misclosure", SummaryNumber(sheet.AngularMisclosure));
    add("angular_limit", SummaryNumber(sheet.AngularLimit));
    add("gap_dx", SummaryNumber(sheet.GapDX));
    add("gap_dy", SummaryNumber(sheet.GapDY));
    add("gap", SummaryNumber(sheet.Gap));
    add("relative_error_n", SummaryNumber(sheet.RelativeErrorN));
    add("relative_limit_n", SummaryNumber(sheet.RelativeLimitN));
    add("rule", TraverseRuleName(sheet.Rule));
    add("sigma0", SummaryNumber(sheet.Sigma0));
    return text;
}
