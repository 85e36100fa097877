#include "Polypad/CoordinateCatalogue.h"

#include "CoreLib/Geomet.h"
#include "Polypad/ExchangeText.h"
#include "Polypad/FormSettings.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <set>

const char* const kCataloguePrefixKey = "Kestrom.PolypadCataloguePrefix";
const char* const kCatalogueFirstNumberKey = "Kestrom.PolypadCatalogueFirstNumber";
const char* const kCatalogueMtKey = "Kestrom.PolypadCatalogueMt";
const char* const kCatalogueArcToleranceKey = "Kestrom.PolypadCatalogueArcTolerance";

namespace {

// Unsigned 128-bit integer, also used as two's complement for signed sums. Written out because
// i686 has no __int128.
struct TU128 {
    std::uint64_t Hi = 0;
    std::uint64_t Lo = 0;
};

TU128 Mul64(std::uint64_t a, std::uint64_t b)
{
    const std::uint64_t a0 = a & 0xFFFFFFFFu, a1 = a >> 32, b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
    const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    const std::uint64_t middle = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
    return {p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), (middle << 32) | (p00 & 0xFFFFFFFFu)};
}

TU128 Add(TU128 a, TU128 b)
{
    const std::uint64_t lo = a.Lo + b.Lo;
    return {a.Hi + b.Hi + (lo < a.Lo ? 1 : 0), lo};
}

TU128 Negate(TU128 a)
{
    return Add({~a.Hi, ~a.Lo}, {0, 1});
}

TU128 Sub(TU128 a, TU128 b)
{
    return Add(a, Negate(b));
}

bool IsNegative(TU128 a)
{
    return (a.Hi >> 63) != 0;
}

bool IsZero(TU128 a)
{
    return a.Hi == 0 && a.Lo == 0;
}

bool LessU(TU128 a, TU128 b)
{
    return a.Hi != b.Hi ? a.Hi < b.Hi : a.Lo < b.Lo;
}

// a * b, both signed 64-bit, as a signed 128-bit value.
TU128 MulS64(std::int64_t a, std::int64_t b)
{
    const bool negative = (a < 0) != (b < 0);
    const std::uint64_t ma = a < 0 ? 0 - static_cast<std::uint64_t>(a) : static_cast<std::uint64_t>(a);
    const std::uint64_t mb = b < 0 ? 0 - static_cast<std::uint64_t>(b) : static_cast<std::uint64_t>(b);
    const TU128 p = Mul64(ma, mb);
    return negative ? Negate(p) : p;
}

// a * m modulo 2^128; the callers keep the product below 2^128.
TU128 MulU(TU128 a, std::uint64_t m)
{
    TU128 p = Mul64(a.Lo, m);
    p.Hi += a.Hi * m;
    return p;
}

// a / d in place, returning a % d.
std::uint32_t DivSmall(TU128& a, std::uint32_t d)
{
    std::uint64_t rest = 0;
    std::uint32_t parts[4] = {static_cast<std::uint32_t>(a.Hi >> 32), static_cast<std::uint32_t>(a.Hi),
                              static_cast<std::uint32_t>(a.Lo >> 32), static_cast<std::uint32_t>(a.Lo)};
    for (std::uint32_t& part : parts) {
        const std::uint64_t value = (rest << 32) | part;
        part = static_cast<std::uint32_t>(value / d);
        rest = value % d;
    }
    a = {(static_cast<std::uint64_t>(parts[0]) << 32) | parts[1], (static_cast<std::uint64_t>(parts[2]) << 32) | parts[3]};
    return static_cast<std::uint32_t>(rest);
}

std::string DecimalText(TU128 a)
{
    const bool negative = IsNegative(a);
    if (negative)
        a = Negate(a);
    std::string digits;
    do
        digits.push_back(static_cast<char>('0' + DivSmall(a, 10)));
    while (!IsZero(a));
    if (negative)
        digits.push_back('-');
    std::reverse(digits.begin(), digits.end());
    return digits;
}

long double ToLongDouble(TU128 a)
{
    return std::ldexp(static_cast<long double>(a.Hi), 64) + static_cast<long double>(a.Lo);
}

// The sign of (b - a) x (c - a), exactly.
int Orientation(std::int64_t ax, std::int64_t ay, std::int64_t bx, std::int64_t by, std::int64_t cx, std::int64_t cy)
{
    const std::int64_t ux = bx - ax, uy = by - ay, vx = cx - ax, vy = cy - ay;
    constexpr std::int64_t kSmall = std::int64_t{1} << 31;
    if (std::llabs(ux) < kSmall && std::llabs(uy) < kSmall && std::llabs(vx) < kSmall && std::llabs(vy) < kSmall) {
        const std::int64_t d = ux * vy - uy * vx;
        return (d > 0) - (d < 0);
    }
    const TU128 d = Sub(MulS64(ux, vy), MulS64(uy, vx));
    return IsZero(d) ? 0 : IsNegative(d) ? -1 : 1;
}

int Orientation(const TCataloguePoint& a, const TCataloguePoint& b, const TCataloguePoint& c)
{
    return Orientation(a.XCm, a.YCm, b.XCm, b.YCm, c.XCm, c.YCm);
}

// c on the segment a-b, given that the three are collinear.
bool WithinBox(const TCataloguePoint& a, const TCataloguePoint& b, const TCataloguePoint& c)
{
    return std::min(a.XCm, b.XCm) <= c.XCm && c.XCm <= std::max(a.XCm, b.XCm) && std::min(a.YCm, b.YCm) <= c.YCm &&
           c.YCm <= std::max(a.YCm, b.YCm);
}

bool LexLess(const TCataloguePoint& a, const TCataloguePoint& b)
{
    return a.XCm != b.XCm ? a.XCm < b.XCm : a.YCm < b.YCm;
}

std::string NumberText(const std::string& text)
{
    std::string t = text;
    std::replace(t.begin(), t.end(), ',', '.');
    return t;
}

// The edges of the delivered polygon and the sweep that looks for two of them sharing a point
// (other than neighbours at their common vertex). All points are distinct here.
class TCrossingSweep {
public:
    explicit TCrossingSweep(const std::vector<TCataloguePoint>& points) : FPoints(points), FCount(static_cast<std::int32_t>(points.size()))
    {
        FSegments.resize(FCount);
        for (std::int32_t e = 0; e < FCount; ++e) {
            std::int32_t a = e, b = Next(e);
            if (LexLess(FPoints[b], FPoints[a]))
                std::swap(a, b);
            FSegments[e] = {a, b};
        }
        // Inserts before removals at one point, so that edges that only touch there meet in the
        // status.
        FEvents.reserve(2 * static_cast<std::size_t>(FCount));
        for (std::int32_t e = 0; e < FCount; ++e) {
            FEvents.push_back({e, false});
            FEvents.push_back({e, true});
        }
        std::sort(FEvents.begin(), FEvents.end(), [this](const TEvent& a, const TEvent& b) {
            const TCataloguePoint& pa = EventPoint(a);
            const TCataloguePoint& pb = EventPoint(b);
            if (pa.XCm != pb.XCm)
                return pa.XCm < pb.XCm;
            if (pa.YCm != pb.YCm)
                return pa.YCm < pb.YCm;
            if (a.Removal != b.Removal)
                return !a.Removal;
            return a.Edge < b.Edge;
        });
    }

    // The first pair found among the edges not excluded, or false.
    bool FindPair(const std::vector<bool>& excluded, std::int32_t& e1, std::int32_t& e2, TCatalogueProblemKind& kind)
    {
        auto less = [this](std::int32_t a, std::int32_t b) {
            if (a == b)
                return false;
            if (a == FCurrent)
                return Below(a, b);
            if (b == FCurrent)
                return !Below(b, a);
            return a < b;
        };
        std::set<std::int32_t, decltype(less)> status(less);
        std::vector<std::set<std::int32_t, decltype(less)>::iterator> where(FCount, status.end());
        auto test = [&](std::int32_t a, std::int32_t b) {
            if (!Touch(a, b, kind))
                return false;
            e1 = std::min(a, b);
            e2 = std::max(a, b);
            return true;
        };
        for (const TEvent& event : FEvents) {
            if (excluded[event.Edge])
                continue;
            if (!event.Removal) {
                FCurrent = event.Edge;
                const auto it = status.insert(event.Edge).first;
                where[event.Edge] = it;
                FCurrent = -1;
                if (it != status.begin() && test(*std::prev(it), event.Edge))
                    return true;
                if (std::next(it) != status.end() && test(*std::next(it), event.Edge))
                    return true;
            } else {
                const auto it = where[event.Edge];
                if (it != status.begin() && std::next(it) != status.end() && test(*std::prev(it), *std::next(it)))
                    return true;
                status.erase(it);
            }
        }
        return false;
    }

    // Whether edges a and b share a point they must not; exact.
    bool Touch(std::int32_t a, std::int32_t b, TCatalogueProblemKind& kind) const
    {
        const TCataloguePoint& p1 = FPoints[a];
        const TCataloguePoint& p2 = FPoints[Next(a)];
        const TCataloguePoint& p3 = FPoints[b];
        const TCataloguePoint& p4 = FPoints[Next(b)];
        kind = TCatalogueProblemKind::Touching;
        // Neighbours meet at their common vertex; they may not run back over each other.
        auto overlap = [](const TCataloguePoint& q, const TCataloguePoint& u, const TCataloguePoint& v) {
            if (Orientation(q, u, v) != 0)
                return false;
            const TU128 dot = Add(MulS64(u.XCm - q.XCm, v.XCm - q.XCm), MulS64(u.YCm - q.YCm, v.YCm - q.YCm));
            return !IsNegative(dot) && !IsZero(dot);
        };
        const bool nextToB = Next(a) == b, nextToA = Next(b) == a;
        if (nextToB && nextToA) // two edges only: not a polygon, reported elsewhere
            return false;
        if (nextToB)
            return overlap(p2, p1, p4);
        if (nextToA)
            return overlap(p1, p2, p3);
        const int o1 = Orientation(p1, p2, p3), o2 = Orientation(p1, p2, p4);
        const int o3 = Orientation(p3, p4, p1), o4 = Orientation(p3, p4, p2);
        if (o1 * o2 < 0 && o3 * o4 < 0) {
            kind = TCatalogueProblemKind::Crossing;
            return true;
        }
        return (o1 == 0 && WithinBox(p1, p2, p3)) || (o2 == 0 && WithinBox(p1, p2, p4)) ||
               (o3 == 0 && WithinBox(p3, p4, p1)) || (o4 == 0 && WithinBox(p3, p4, p2));
    }

private:
    struct TSegment {
        std::int32_t Left = 0;  // lexicographically smaller end
        std::int32_t Right = 0;
    };
    struct TEvent {
        std::int32_t Edge = 0;
        bool Removal = false;
    };

    std::int32_t Next(std::int32_t i) const { return i + 1 == FCount ? 0 : i + 1; }
    const TCataloguePoint& EventPoint(const TEvent& e) const
    {
        return FPoints[e.Removal ? FSegments[e.Edge].Right : FSegments[e.Edge].Left];
    }

    // Whether s, inserted at its left end, goes below t, which spans that point in the sweep.
    bool Below(std::int32_t s, std::int32_t t) const
    {
        const TCataloguePoint& tl = FPoints[FSegments[t].Left];
        const TCataloguePoint& tr = FPoints[FSegments[t].Right];
        int o = Orientation(tl, tr, FPoints[FSegments[s].Left]);
        if (o == 0)
            o = Orientation(tl, tr, FPoints[FSegments[s].Right]);
        if (o != 0)
            return o < 0;
        return s < t;
    }

    const std::vector<TCataloguePoint>& FPoints;
    std::int32_t FCount;
    std::vector<TSegment> FSegments;
    std::vector<TEvent> FEvents;
    std::int32_t FCurrent = -1;
};

} // namespace

std::int64_t RoundToCentimetres(double metres)
{
    if (!std::isfinite(metres) || std::fabs(metres) > kMaxCatalogueCoordinate)
        throw ECatalogueRefused(Format("Координата %.17g вне допустимых пределов (до %.0f м по модулю)", metres,
                                       kMaxCatalogueCoordinate));
    if (metres == 0)
        return 0;
    // |metres| = mantissa * 2^(exponent - 53) exactly; the product with 100 stays below 2^60.
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(metres), &exponent);
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const int shift = 53 - exponent;
    std::uint64_t cm;
    if (shift <= 0) {
        cm = (mantissa << -shift) * 100;
    } else if (shift >= 64) {
        cm = 0; // below 2^-4 m
    } else {
        const std::uint64_t scaled = mantissa * 100;
        const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
        cm = (scaled >> shift) + (rest >= (std::uint64_t{1} << (shift - 1)) ? 1 : 0);
    }
    const auto value = static_cast<std::int64_t>(cm);
    return metres < 0 ? -value : value;
}

std::string CentimetresText(std::int64_t cm, char decimalSeparator)
{
    const std::uint64_t magnitude = cm < 0 ? 0 - static_cast<std::uint64_t>(cm) : static_cast<std::uint64_t>(cm);
    std::string text = cm < 0 ? "-" : "";
    text += std::to_string(magnitude / 100);
    text += decimalSeparator;
    const auto rest = static_cast<unsigned>(magnitude % 100);
    text += static_cast<char>('0' + rest / 10);
    text += static_cast<char>('0' + rest % 10);
    return text;
}

std::string DirectionText(std::int32_t seconds)
{
    return Format("%d\u00B0%02d'%02d\"", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

std::int32_t ParseMtCm(const std::string& text)
{
    const std::string t = NumberText(text);
    std::size_t i = 0;
    std::int64_t cm = 0;
    int whole = 0, decimals = 0;
    bool ok = true;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++whole)
        cm = cm * 10 + (t[i] - '0');
    if (i < t.size() && t[i] == '.')
        for (++i; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++decimals)
            cm = cm * 10 + (t[i] - '0');
    ok = i == t.size() && whole + decimals > 0 && whole <= 6 && decimals <= 2;
    for (int k = decimals; ok && k < 2; ++k)
        cm *= 10;
    if (!ok || cm <= 0 || cm > kMaxMtCm)
        throw EConvertError("Mt — число метров больше 0 и не больше 100, не более двух знаков после запятой: «" +
                            text + "»");
    return static_cast<std::int32_t>(cm);
}

std::int64_t ParseFirstNumber(const std::string& text)
{
    std::int64_t n = 0;
    bool ok = !text.empty() && text.size() <= 9;
    for (char c : text) {
        if (c < '0' || c > '9') {
            ok = false;
            break;
        }
        n = n * 10 + (c - '0');
    }
    if (!ok || n > kMaxFirstNumber)
        throw EConvertError("Первый номер — целое число от 0 до 999999999: «" + text + "»");
    return n;
}

double ParseArcTolerance(const std::string& text)
{
    double value = 0;
    try {
        value = ParseClipboardNumber(text, '.');
    } catch (const EConvertError&) {
        value = std::nan("");
    }
    if (!(value >= kMinArcTolerance && value <= kMaxArcTolerance))
        throw EConvertError("Допуск дуги — число метров от 0,001 до 1000: «" + text + "»");
    return value;
}

std::string CheckPointPrefix(const std::string& text)
{
    std::size_t characters = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80)
            ++characters;
    if (characters > 16 || text.find_first_of("\t\r\n;<>&\"") != std::string::npos)
        throw EConvertError("Префикс — не более 16 знаков, без табуляции, «;», «<», «>», «&» и кавычек");
    return text;
}

TCatalogueSettings LoadCatalogueSettings(TSettingsStore& store)
{
    TCatalogueSettings settings;
    const TCatalogueSettings defaults;
    try {
        settings.PointPrefix = CheckPointPrefix(store.Read(kCataloguePrefixKey, defaults.PointPrefix));
    } catch (const EConvertError&) {
    }
    try {
        settings.FirstNumber = ParseFirstNumber(store.Read(kCatalogueFirstNumberKey, "1"));
    } catch (const EConvertError&) {
    }
    try {
        settings.MtCm = ParseMtCm(store.Read(kCatalogueMtKey, "0.10"));
    } catch (const EConvertError&) {
    }
    try {
        settings.ArcTolerance = ParseArcTolerance(store.Read(kCatalogueArcToleranceKey, "0.01"));
    } catch (const EConvertError&) {
    }
    return settings;
}

void SaveCatalogueSettings(TSettingsStore& store, const TCatalogueSettings& settings)
{
    store.Write(kCataloguePrefixKey, settings.PointPrefix);
    store.Write(kCatalogueFirstNumberKey, std::to_string(settings.FirstNumber));
    store.Write(kCatalogueMtKey, CentimetresText(settings.MtCm, '.'));
    store.Write(kCatalogueArcToleranceKey, FormatGeneral(settings.ArcTolerance, '.'));
}

TCoordinateCatalogue::TCoordinateCatalogue(const std::vector<TVertexRecord>& rows, bool closed,
                                           const TCatalogueSettings& settings)
    : FSettings(settings)
{
    if (!closed)
        throw ECatalogueRefused("Каталог координат составляется для замкнутого контура; контур открыт");
    if (rows.empty())
        throw ECatalogueRefused("В таблице нет точек");
    if (!(settings.ArcTolerance >= kMinArcTolerance && settings.ArcTolerance <= kMaxArcTolerance) ||
        settings.MtCm <= 0 || settings.MtCm > kMaxMtCm || settings.FirstNumber < 0 ||
        settings.FirstNumber > kMaxFirstNumber)
        throw ECatalogueRefused("Параметры каталога вне допустимых пределов");
    FPoints.reserve(rows.size());
    const std::size_t n = rows.size();
    for (std::size_t i = 0; i < n; ++i) {
        AddPoint(rows[i].X, rows[i].Y, static_cast<std::int32_t>(i));
        const TVertexRecord& next = rows[(i + 1) % n];
        if (n > 1)
            AddArcPoints(FloatPoint(rows[i].X, rows[i].Y), FloatPoint(next.X, next.Y), next.ArcConvexity);
    }
    ComputeFigures();
    Check();
}

std::string TCoordinateCatalogue::Name(std::int32_t i) const
{
    if (i == PointCount())
        i = 0;
    return FSettings.PointPrefix + std::to_string(FSettings.FirstNumber + i);
}

void TCoordinateCatalogue::AddPoint(double x, double y, std::int32_t row)
{
    if (FPoints.size() >= static_cast<std::size_t>(kMaxCataloguePoints))
        throw ECatalogueRefused(Format("В каталоге больше %d точек: увеличьте допуск дуги", kMaxCataloguePoints));
    FPoints.push_back({RoundToCentimetres(x), RoundToCentimetres(y), row});
}

// The fewest equal parts of the arc whose chords stay within the tolerance of it: a chord of
// central angle a lies at most r * (1 - cos(a / 2)) = 2r * sin^2(a / 4) from its arc.
void TCoordinateCatalogue::AddArcPoints(TFloatPoint from, TFloatPoint to, double convexity)
{
    if (!std::isfinite(convexity))
        throw ECatalogueRefused("Кривизна дуги не является числом");
    double sweep = 0;
    TFloatPoint centre;
    if (!ArcByConvexity(from, to, convexity, sweep, centre))
        return;
    const long double cx = centre.X, cy = centre.Y;
    const long double radius = std::hypot(static_cast<long double>(from.X) - cx, static_cast<long double>(from.Y) - cy);
    const long double angle = std::fabs(static_cast<long double>(sweep));
    const long double tolerance = FSettings.ArcTolerance;
    auto deviation = [&](long double parts) {
        const long double s = std::sin(angle / (4 * parts));
        return 2 * radius * s * s;
    };
    long double guess = 1;
    if (tolerance < 2 * radius)
        guess = std::ceil(angle / (4 * std::asin(std::sqrt(tolerance / (2 * radius)))));
    if (!(guess <= kMaxCataloguePoints))
        throw ECatalogueRefused(Format("В каталоге больше %d точек: увеличьте допуск дуги", kMaxCataloguePoints));
    auto parts = static_cast<std::int32_t>(std::max<long double>(guess, 1));
    while (parts > 1 && deviation(parts - 1) <= tolerance)
        --parts;
    while (deviation(parts) > tolerance)
        ++parts;
    const long double start = std::atan2(static_cast<long double>(from.Y) - cy, static_cast<long double>(from.X) - cx);
    for (std::int32_t j = 1; j < parts; ++j) {
        const long double a = start + static_cast<long double>(sweep) * j / parts;
        AddPoint(static_cast<double>(cx + radius * std::cos(a)), static_cast<double>(cy + radius * std::sin(a)), -1);
    }
}

void TCoordinateCatalogue::ComputeFigures()
{
    const std::int32_t count = PointCount();
    FEdges.resize(count);
    const TCataloguePoint& origin = FPoints[0];
    TU128 twice;
    const long double secondsPerRadian = 648000 / kPi;
    for (std::int32_t i = 0; i < count; ++i) {
        const TCataloguePoint& a = FPoints[i];
        const TCataloguePoint& b = FPoints[i + 1 == count ? 0 : i + 1];
        const std::int64_t dx = b.XCm - a.XCm, dy = b.YCm - a.YCm;
        // The length to the centimetre, halves up: the largest n with n(n - 1) < dx² + dy²
        // (the square of a half is never a whole number, so there is no tie).
        const TU128 square = Add(MulS64(dx, dx), MulS64(dy, dy));
        auto below = [&](std::uint64_t n) { return n == 0 || LessU(Mul64(n, n - 1), square); };
        auto n = static_cast<std::uint64_t>(std::llround(std::sqrt(ToLongDouble(square))));
        while (n > 0 && !below(n))
            --n;
        while (below(n + 1))
            ++n;
        FEdges[i].LengthCm = static_cast<std::int64_t>(n);
        if (dx != 0 || dy != 0) {
            long double direction = std::atan2(static_cast<long double>(dy), static_cast<long double>(dx));
            if (direction < 0)
                direction += kTwoPi;
            std::int64_t seconds = std::llround(direction * secondsPerRadian);
            if (seconds >= 1296000)
                seconds -= 1296000;
            FEdges[i].DirectionSeconds = static_cast<std::int32_t>(seconds);
        }
        twice = Add(twice, Sub(MulS64(a.XCm - origin.XCm, b.YCm - origin.YCm), MulS64(b.XCm - origin.XCm, a.YCm - origin.YCm)));
    }
    FTwiceAreaCm2 = DecimalText(twice);
    // P = |2A| / 20000 m², halves up.
    TU128 area = IsNegative(twice) ? Negate(twice) : twice;
    area = Add(area, {0, 10000});
    DivSmall(area, 20000);
    if (area.Hi != 0 || area.Lo > (std::uint64_t{1} << 62))
        throw ECatalogueRefused("Площадь контура слишком велика для каталога");
    FArea = static_cast<std::int64_t>(area.Lo);
    // ΔP = 3.5 * Mt * sqrt(P) = 7 m sqrt(P) / 200 with Mt = m cm, halves up: the largest n with
    // 100 (2n - 1) <= 7 m sqrt(P), i.e. 10^4 (2n - 1)² <= 49 m² P.
    const TU128 right = MulU(MulU({0, static_cast<std::uint64_t>(FArea)}, 49), static_cast<std::uint64_t>(FSettings.MtCm) * FSettings.MtCm);
    auto fits = [&](std::uint64_t n) {
        if (n == 0)
            return true;
        const TU128 left = MulU(Mul64(2 * n - 1, 2 * n - 1), 10000);
        return !LessU(right, left);
    };
    auto tolerance = static_cast<std::uint64_t>(
        std::floor(7.0L * FSettings.MtCm * std::sqrt(static_cast<long double>(FArea)) / 200 + 0.5L));
    while (tolerance > 0 && !fits(tolerance))
        --tolerance;
    while (fits(tolerance + 1))
        ++tolerance;
    FAreaTolerance = static_cast<std::int64_t>(tolerance);
}

void TCoordinateCatalogue::Check()
{
    const std::int32_t count = PointCount();
    std::vector<std::int32_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [this](std::int32_t a, std::int32_t b) {
        const TCataloguePoint& pa = FPoints[a];
        const TCataloguePoint& pb = FPoints[b];
        if (pa.XCm != pb.XCm || pa.YCm != pb.YCm)
            return LexLess(pa, pb);
        return a < b;
    });
    std::int32_t distinct = 0;
    std::vector<std::pair<std::int32_t, std::int32_t>> coincident;
    for (std::int32_t k = 0, first = 0; k < count; ++k) {
        const TCataloguePoint& p = FPoints[order[k]];
        if (k > 0 && p.XCm == FPoints[order[first]].XCm && p.YCm == FPoints[order[first]].YCm) {
            coincident.emplace_back(order[first], order[k]);
        } else {
            first = k;
            ++distinct;
        }
    }
    std::sort(coincident.begin(), coincident.end());
    for (std::size_t k = 0; k < coincident.size() && k < kMaxCoincidences; ++k) {
        const auto [a, b] = coincident[k];
        FProblems.push_back({TCatalogueProblemKind::Coincident, a, b, "Точки " + Name(a) + " и " + Name(b) + " совпадают"});
    }
    if (coincident.size() > kMaxCoincidences)
        FProblems.push_back({TCatalogueProblemKind::Coincident, -1, -1,
                             "…и ещё совпадающих пар точек: " + std::to_string(coincident.size() - kMaxCoincidences)});
    if (distinct < 3) {
        FProblems.push_back({TCatalogueProblemKind::TooFewPoints, -1, -1,
                             Format("Различных точек %d, а контуру нужны хотя бы три", distinct)});
        return;
    }
    if (!coincident.empty())
        return;
    TCrossingSweep sweep(FPoints);
    std::vector<bool> excluded(count, false);
    std::int32_t e1 = 0, e2 = 0;
    TCatalogueProblemKind kind{};
    std::vector<TCatalogueProblem> crossings;
    while (static_cast<int>(crossings.size()) < kMaxCrossings && sweep.FindPair(excluded, e1, e2, kind)) {
        crossings.push_back({kind, e1, e2,
                             "Рёбра " + Name(e1) + "–" + Name(e1 + 1) + " и " + Name(e2) + "–" + Name(e2 + 1) +
                                 (kind == TCatalogueProblemKind::Crossing ? " пересекаются" : " касаются")});
        excluded[e2] = true;
    }
    std::sort(crossings.begin(), crossings.end(),
              [](const TCatalogueProblem& a, const TCatalogueProblem& b) { return std::pair(a.A, a.B) < std::pair(b.A, b.B); });
    FProblems.insert(FProblems.end(), crossings.begin(), crossings.end());
}
