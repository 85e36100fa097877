// Plane geometry for the vertex table: points, rectangles, a local frame along a chord,
// arcs given by their convexity, and the split of an angle into degrees, minutes, seconds.
// Stateless value types and functions; intermediates are held in long double (x87 extended
// on i686 and x86-64), results are stored as double.
//
// Angles are radians, counted from the +X axis toward +Y. The convexity K of an arc edge is
// tan(theta/4) of its signed central angle theta; 0 is a straight edge.
#pragma once

#include <cstdint>

struct TFloatPoint {
    double X = 0;
    double Y = 0;
};

// Normalised when X1 <= X2 and Y1 <= Y2.
struct TFloatRect {
    double X1 = 0;
    double Y1 = 0;
    double X2 = 0;
    double Y2 = 0;
};

inline constexpr long double kPi = 3.141592653589793238462643383279502884L;
inline constexpr long double kTwoPi = 2 * kPi;

TFloatPoint FloatPoint(double x, double y);
bool SamePoint(TFloatPoint a, TFloatPoint b);
double Distance(TFloatPoint a, TFloatPoint b);
// Direction of a->b in [0, 2*pi); coincident points give 0.
double DirectionAngle(TFloatPoint a, TFloatPoint b);

// Cartesian frame with its origin at Origin and its U axis toward Target; V is U turned by +90
// degrees (never mirrored). Initialise with InitPoints before use.
struct TCoordSys {
    long double DX = 0;
    long double DY = 0;
    long double Len = 0;
    TFloatPoint Origin;

    // Raises EAssertionFailed when the two points coincide.
    void InitPoints(TFloatPoint origin, TFloatPoint target);
    // (U, V) of a global point, returned in X and Y.
    TFloatPoint ToLocal(TFloatPoint p) const;
    // The global point of local (U, V) given in X and Y.
    TFloatPoint ToGlobal(TFloatPoint q) const;
};

// Centre and signed sweep of the arc from start to end with convexity k. False (outputs untouched)
// for a straight edge (|k| <= 1e-15) or coincident end points.
bool ArcByConvexity(TFloatPoint start, TFloatPoint end, double k, double& sweep, TFloatPoint& centre);
// The convexity of the arc from start to end around centre; the sign of the sweep is given by
// negative, since the centre alone does not tell it. The end points must differ.
double ConvexityByCenter(TFloatPoint start, TFloatPoint centre, TFloatPoint end, bool negative);
// Whether angle (or angle +- 2*pi) lies in the closed interval swept from start by sweep.
bool AngleInSweep(double angle, double start, double sweep);

// std::nearbyint under the default rounding mode (nearest, ties to even), without its save and
// restore of the floating-point environment, which glibc and mingw both do per call.
long double RoundTiesToEven(long double v);

// Whole degrees 0..359, minutes and seconds of an angle; seconds are rounded (ties to even) and
// carried into minutes and degrees. Raises ERangeError for angles that are not finite or too large.
void RadToDMS(long double angle, std::int32_t& d, std::int32_t& m, std::int32_t& s);
long double DMSToRad(long double d, long double m, long double s);

TFloatRect FloatRect(TFloatPoint a, TFloatPoint b);
void NormalizeRect(TFloatRect& r);
void IncludePoint(TFloatRect& r, TFloatPoint p);
void IncludeRect(TFloatRect& r, const TFloatRect& s);
