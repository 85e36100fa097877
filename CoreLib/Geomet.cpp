#include "CoreLib/Geomet.h"

#include "CoreLib/Errors.h"

#include <cmath>
#include <limits>

namespace {

constexpr long double kRadToDeg = 57.295779513082320877L;
constexpr long double kDegToRad = 0.017453292519943295769L;

// A whole number in 32-bit range, through double: exact, and on x86-64 without the two x87
// control word changes of a direct conversion.
std::int32_t WholeToInt32(long double whole) { return static_cast<std::int32_t>(static_cast<double>(whole)); }

// A whole number as int32; ERangeError outside its range.
std::int32_t CheckedWholeToInt32(long double t)
{
    if (!(t >= std::numeric_limits<std::int32_t>::min() && t <= std::numeric_limits<std::int32_t>::max()))
        throw ERangeError();
    return WholeToInt32(t);
}

std::int32_t RoundToInt32(long double v) { return CheckedWholeToInt32(RoundTiesToEven(v)); }

// std::trunc by one frndint and a compare: std::trunc switches the x87 rounding mode twice per
// call, and a copy of 10^5 rows truncates a million times. frndint gives a whole number within
// one of v in any rounding mode, so the compare makes the result exact in all of them.
long double WholePart(long double v)
{
    const long double r = __builtin_rintl(v);
    if (v >= 0)
        return r > v ? r - 1 : r;
    return r < v ? r + 1 : r;
}

} // namespace

TFloatPoint FloatPoint(double x, double y) { return TFloatPoint{x, y}; }

long double RoundTiesToEven(long double v)
{
    // Below 2^52 the whole part, the fraction and the whole part plus one are exact even when
    // the x87 unit computes with 53-bit precision, as Windows processes set it.
    constexpr long double kExactLimit = 4503599627370496.0L; // 2^52
    if (!(std::fabs(v) < kExactLimit))
        return std::nearbyint(v);
    // The nearest whole number in whatever mode the unit rounds, corrected to the nearest one
    // with ties to even: v - r is exact, as r is within one of v.
    const long double r = __builtin_rintl(v);
    const long double d = v - r;
    if (d > 0.5L)
        return r + 1;
    if (d < -0.5L)
        return r - 1;
    if (d == 0.5L || d == -0.5L) {
        const long double half = r * 0.5L;
        if (half != WholePart(half))
            return r + 2 * d;
    }
    return r;
}

bool SamePoint(TFloatPoint a, TFloatPoint b) { return a.X == b.X && a.Y == b.Y; }

double Distance(TFloatPoint a, TFloatPoint b)
{
    const long double dx = static_cast<long double>(a.X) - b.X;
    const long double dy = static_cast<long double>(a.Y) - b.Y;
    return static_cast<double>(std::sqrt(dx * dx + dy * dy));
}

double DirectionAngle(TFloatPoint a, TFloatPoint b)
{
    const long double dy = static_cast<long double>(b.Y) - a.Y;
    const long double dx = static_cast<long double>(b.X) - a.X;
    const double angle = static_cast<double>(std::atan2(dy, dx));
    if (angle < 0)
        return static_cast<double>(angle + kTwoPi);
    return angle;
}

void TCoordSys::InitPoints(TFloatPoint origin, TFloatPoint target)
{
    Origin = origin;
    DX = static_cast<long double>(target.X) - origin.X;
    DY = static_cast<long double>(target.Y) - origin.Y;
    const long double s = DX * DX + DY * DY;
    Assert(!(s <= 0));
    Len = std::sqrt(s);
}

TFloatPoint TCoordSys::ToLocal(TFloatPoint p) const
{
    const double dx = p.X - Origin.X;
    const double dy = p.Y - Origin.Y;
    const long double u = (dx * DX + dy * DY) / Len;
    const long double v = (dy * DX - dx * DY) / Len;
    return FloatPoint(static_cast<double>(u), static_cast<double>(v));
}

TFloatPoint TCoordSys::ToGlobal(TFloatPoint q) const
{
    const long double x = Origin.X + (DX * q.X - DY * q.Y) / Len;
    const long double y = Origin.Y + (DY * q.X + DX * q.Y) / Len;
    return FloatPoint(static_cast<double>(x), static_cast<double>(y));
}

bool ArcByConvexity(TFloatPoint start, TFloatPoint end, double k, double& sweep, TFloatPoint& centre)
{
    if (std::fabs(k) <= 1e-15 || SamePoint(start, end))
        return false;

    TCoordSys chord;
    chord.InitPoints(start, end);
    const long double length = chord.ToLocal(end).X;
    const long double half = length / 2;

    long double offset;
    if (std::fabs(k) > 0.01) {
        const long double kk = k;
        offset = (1 - kk * kk) * half / (2 * kk);
    } else {
        // Same value as above, H * cot(theta / 2), without dividing by a tiny K.
        long double a = 2 * std::atan(-static_cast<long double>(k));
        if (a > 0)
            a -= kPi / 2;
        else
            a += kPi / 2;
        offset = std::tan(a) * half;
    }
    const TFloatPoint c = chord.ToGlobal(FloatPoint(static_cast<double>(half), static_cast<double>(offset)));
    // Ends a unit in the last place apart: the centre rounds onto an end, and no radius is left.
    if (SamePoint(c, start) || SamePoint(c, end))
        return false;

    TCoordSys radial;
    radial.InitPoints(c, start);
    long double theta = DirectionAngle(FloatPoint(0, 0), radial.ToLocal(end));
    if (k > 0)
        theta -= kTwoPi;
    if (theta > 0)
        theta -= kTwoPi;
    else
        theta += kTwoPi;

    sweep = static_cast<double>(theta);
    centre = c;
    return true;
}

double ConvexityByCenter(TFloatPoint start, TFloatPoint centre, TFloatPoint end, bool negative)
{
    TCoordSys chord;
    chord.InitPoints(start, end);
    const TFloatPoint t = chord.ToLocal(centre);

    long double a;
    if (t.Y != 0) {
        a = std::atan(static_cast<long double>(t.X) / t.Y);
        if ((t.Y > 0) == negative) {
            if (a > 0)
                a -= kPi;
            else
                a += kPi;
        }
    } else {
        a = negative ? -kPi / 2 : kPi / 2;
    }
    a /= 2;
    const long double sinA = std::sin(a);
    const long double cosA = std::cos(a);
    if (cosA == 0)
        return 0;
    return static_cast<double>(sinA / cosA);
}

bool AngleInSweep(double angle, double start, double sweep)
{
    const long double end = static_cast<long double>(start) + sweep;
    const long double low = sweep > 0 ? static_cast<long double>(start) : end;
    const long double high = sweep > 0 ? end : static_cast<long double>(start);
    auto inside = [&](long double a) { return a >= low && a <= high; };
    const long double a = angle;
    return inside(a) || inside(a + kTwoPi) || inside(a - kTwoPi);
}

void RadToDMS(long double angle, std::int32_t& d, std::int32_t& m, std::int32_t& s)
{
    if (!std::isfinite(angle))
        throw ERangeError();
    if (angle < 0)
        angle += (WholePart(std::fabs(angle / kTwoPi)) + 1) * kTwoPi;
    // A negative angle so large that whole turns no longer add up exactly stays negative.
    if (angle < 0)
        throw ERangeError();
    const long double a = angle * kRadToDeg;
    // Each whole part is truncated once.
    const long double wholeDegrees = WholePart(a);
    const long double a60 = (a - wholeDegrees) * 60;
    const long double wholeMinutes = WholePart(a60);
    std::int32_t degrees = CheckedWholeToInt32(wholeDegrees);
    std::int32_t minutes = CheckedWholeToInt32(wholeMinutes);
    std::int32_t seconds = RoundToInt32((a60 - wholeMinutes) * 60);
    if (seconds >= 60) {
        minutes = CheckedAdd(minutes, seconds / 60);
        seconds %= 60;
    }
    if (minutes >= 60) {
        degrees = CheckedAdd(degrees, minutes / 60);
        minutes %= 60;
    }
    d = degrees % 360;
    m = minutes;
    s = seconds;
}

long double DMSToRad(long double d, long double m, long double s)
{
    return (d + m / 60 + s / 3600) * kDegToRad;
}

TFloatRect FloatRect(TFloatPoint a, TFloatPoint b)
{
    TFloatRect r{a.X, a.Y, b.X, b.Y};
    NormalizeRect(r);
    return r;
}

void NormalizeRect(TFloatRect& r)
{
    if (r.X1 > r.X2) {
        const double t = r.X1;
        r.X1 = r.X2;
        r.X2 = t;
    }
    if (r.Y1 > r.Y2) {
        const double t = r.Y1;
        r.Y1 = r.Y2;
        r.Y2 = t;
    }
}

// Each bound is tested on its own; a NaN coordinate becomes the lower bound.
void IncludePoint(TFloatRect& r, TFloatPoint p)
{
    if (!(p.X >= r.X1))
        r.X1 = p.X;
    if (p.X > r.X2)
        r.X2 = p.X;
    if (!(p.Y >= r.Y1))
        r.Y1 = p.Y;
    if (p.Y > r.Y2)
        r.Y2 = p.Y;
}

void IncludeRect(TFloatRect& r, const TFloatRect& s)
{
    if (!(s.X1 >= r.X1))
        r.X1 = s.X1;
    if (s.X2 > r.X2)
        r.X2 = s.X2;
    if (!(s.Y1 >= r.Y1))
        r.Y1 = s.Y1;
    if (s.Y2 > r.Y2)
        r.Y2 = s.Y2;
}
