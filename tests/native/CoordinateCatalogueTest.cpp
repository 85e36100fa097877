// The coordinate catalogue against catalogues worked out by hand, exact decimal rounding of the
// stored doubles, exact integer areas, and a brute-force search for touching edges.
#include "Polypad/CoordinateCatalogue.h"
#include "Polypad/FormSettings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

struct TExpectedPoint {
    const char* Name;
    const char* X;
    const char* Y;
};
struct TExpectedEdge {
    const char* Length;
    const char* Direction;
};

std::vector<TVertexRecord> Rows(std::initializer_list<TVertexRecord> rows)
{
    return rows;
}

void ExpectPoints(const TCoordinateCatalogue& c, const std::vector<TExpectedPoint>& points)
{
    ASSERT_EQ(c.PointCount(), static_cast<int>(points.size()));
    for (int i = 0; i < c.PointCount(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(c.Name(i), points[i].Name);
        EXPECT_EQ(CentimetresText(c.Points()[i].XCm, '.'), points[i].X);
        EXPECT_EQ(CentimetresText(c.Points()[i].YCm, '.'), points[i].Y);
    }
}

void ExpectEdges(const TCoordinateCatalogue& c, const std::vector<TExpectedEdge>& edges)
{
    ASSERT_EQ(c.Edges().size(), edges.size());
    for (std::size_t i = 0; i < edges.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(CentimetresText(c.Edges()[i].LengthCm, '.'), edges[i].Length);
        EXPECT_EQ(DirectionText(c.Edges()[i].DirectionSeconds), edges[i].Direction);
    }
}

std::vector<std::string> ProblemTexts(const TCoordinateCatalogue& c)
{
    std::vector<std::string> texts;
    for (const TCatalogueProblem& p : c.Problems())
        texts.push_back(p.Text);
    return texts;
}

using Texts = std::vector<std::string>;

// ---- catalogues worked out by hand ---------------------------------------------------------

TEST(CatalogueByHand, RectangleOf1260SquareMetres)
{
    // 40 m along +Y, 31.5 m back along -X: 1260 m²; ΔP = 0.35 * 35.4965 = 12.42.
    const TCoordinateCatalogue c(Rows({{452300, 1385200, 0}, {452300, 1385240, 0}, {452268.5, 1385240, 0},
                                       {452268.5, 1385200, 0}}),
                                 true, {});
    ExpectPoints(c, {{"н1", "452300.00", "1385200.00"},
                     {"н2", "452300.00", "1385240.00"},
                     {"н3", "452268.50", "1385240.00"},
                     {"н4", "452268.50", "1385200.00"}});
    EXPECT_EQ(c.Name(4), "н1");
    ExpectEdges(c, {{"40.00", "90°00'00\""}, {"31.50", "180°00'00\""}, {"40.00", "270°00'00\""}, {"31.50", "0°00'00\""}});
    EXPECT_EQ(c.TwiceAreaCm2(), "25200000");
    EXPECT_EQ(c.Area(), 1260);
    EXPECT_EQ(c.AreaTolerance(), 12);
    EXPECT_TRUE(c.Valid());
}

TEST(CatalogueByHand, ArcBecomesThreeEqualChords)
{
    // A half circle of radius 10 from (0, 0) to (20, 0) bulging toward -Y (convexity +1, centre
    // (10, 0)). With a tolerance of 2 m: two parts leave 10 (1 - cos 45°) = 2.93 m, three parts
    // 10 (1 - cos 30°) = 1.34 m, so the points at 240° and 300° about the centre are added:
    // (10 ∓ 5, -8.660254).
    TCatalogueSettings settings;
    settings.ArcTolerance = 2;
    settings.PointPrefix = "т";
    settings.FirstNumber = 7;
    const TCoordinateCatalogue c(Rows({{0, 0, 0}, {20, 0, 1}, {20, 10, 0}, {0, 10, 0}}), true, settings);
    ExpectPoints(c, {{"т7", "0.00", "0.00"},
                     {"т8", "5.00", "-8.66"},
                     {"т9", "15.00", "-8.66"},
                     {"т10", "20.00", "0.00"},
                     {"т11", "20.00", "10.00"},
                     {"т12", "0.00", "10.00"}});
    EXPECT_EQ(c.Points()[1].Row, -1);
    EXPECT_EQ(c.Points()[3].Row, 1);
    // atan(8.66 / 5) = 60° - 2.62": directions 300°00'02.62" and 59°59'57.38";
    // sqrt(5² + 8.66²) = 9.99978.
    ExpectEdges(c, {{"10.00", "300°00'03\""},
                    {"10.00", "0°00'00\""},
                    {"10.00", "59°59'57\""},
                    {"10.00", "90°00'00\""},
                    {"20.00", "180°00'00\""},
                    {"10.00", "270°00'00\""}});
    // 20 * 10 plus the trapezoid (20 + 10) / 2 * 8.66 = 129.9: 329.9 m²; ΔP = 0.35 * 18.166 = 6.36.
    EXPECT_EQ(c.TwiceAreaCm2(), "6598000");
    EXPECT_EQ(c.Area(), 330);
    EXPECT_EQ(c.AreaTolerance(), 6);
    EXPECT_TRUE(c.Valid());
    // The default tolerance of 1 cm: 10 (1 - cos(90° / n)) <= 0.01 first holds at n = 36.
    const TCoordinateCatalogue fine(Rows({{0, 0, 0}, {20, 0, 1}, {20, 10, 0}, {0, 10, 0}}), true, {});
    EXPECT_EQ(fine.PointCount(), 4 + 35);
}

TEST(CatalogueByHand, ClosingEdgeArcComesBeforeTheRepeatedFirstPoint)
{
    // Row 0's convexity belongs to the closing edge from (20, 0) back to (0, 0): a half circle
    // through (10, 10) about (10, 0) when it turns from +X toward +Y... seen from (20, 0) that is
    // a sweep of +180°, apex at angle 90°: (10, 10). One midpoint with a 3 m tolerance.
    TCatalogueSettings settings;
    settings.ArcTolerance = 3;
    const TCoordinateCatalogue c(Rows({{0, 0, 1}, {10, -10, 0}, {20, 0, 0}}), true, settings);
    ExpectPoints(c, {{"н1", "0.00", "0.00"}, {"н2", "10.00", "-10.00"}, {"н3", "20.00", "0.00"}, {"н4", "10.00", "10.00"}});
    EXPECT_EQ(c.Area(), 200);
}

TEST(CatalogueByHand, RoundingThatMakesTwoPointsCoincide)
{
    const TCoordinateCatalogue c(Rows({{0, 0, 0}, {10.004, 5, 0}, {10.001, 5.003, 0}, {0, 10, 0}}), true, {});
    ExpectPoints(c, {{"н1", "0.00", "0.00"}, {"н2", "10.00", "5.00"}, {"н3", "10.00", "5.00"}, {"н4", "0.00", "10.00"}});
    EXPECT_EQ(CentimetresText(c.Edges()[1].LengthCm, '.'), "0.00");
    EXPECT_EQ(ProblemTexts(c), Texts{"Точки н2 и н3 совпадают"});
}

TEST(CatalogueByHand, BowTieCrosses)
{
    const TCoordinateCatalogue c(Rows({{0, 0, 0}, {10, 10, 0}, {10, 0, 0}, {0, 10, 0}}), true, {});
    EXPECT_EQ(ProblemTexts(c), Texts{"Рёбра н1–н2 и н3–н4 пересекаются"});
    EXPECT_EQ(c.Problems()[0].Kind, TCatalogueProblemKind::Crossing);
    // The two triangles cancel.
    EXPECT_EQ(c.TwiceAreaCm2(), "0");
    EXPECT_EQ(c.Area(), 0);
    EXPECT_EQ(c.AreaTolerance(), 0);
}

TEST(CatalogueByHand, ContourTouchingItself)
{
    // н4 (0, 10) lies inside the edge н1–н2 from (0, 0) to (0, 20): both edges at н4 touch it.
    const TCoordinateCatalogue onEdge(Rows({{0, 0, 0}, {0, 20, 0}, {20, 20, 0}, {0, 10, 0}, {20, 0, 0}}), true, {});
    EXPECT_EQ(ProblemTexts(onEdge), (Texts{"Рёбра н1–н2 и н3–н4 касаются", "Рёбра н1–н2 и н4–н5 касаются"}));
    // A figure eight through one point twice.
    const TCoordinateCatalogue eight(Rows({{0, 0, 0}, {10, 10, 0}, {20, 0, 0}, {20, 20, 0}, {10, 10, 0}, {0, 20, 0}}),
                                     true, {});
    EXPECT_EQ(ProblemTexts(eight), Texts{"Точки н2 и н5 совпадают"});
    // Neighbours folding back over each other: н3 lies on н1–н2, so н2–н3 runs back along it (and
    // н3–н4 starts on it).
    const TCoordinateCatalogue fold(Rows({{0, 0, 0}, {0, 20, 0}, {0, 10, 0}, {10, 5, 0}}), true, {});
    EXPECT_EQ(ProblemTexts(fold), (Texts{"Рёбра н1–н2 и н2–н3 касаются", "Рёбра н1–н2 и н3–н4 касаются"}));
    // A straight continuation is no fold: н2 between н1 and н3 on one line.
    const TCoordinateCatalogue straight(Rows({{0, 0, 0}, {0, 10, 0}, {0, 20, 0}, {10, 5, 0}}), true, {});
    EXPECT_TRUE(straight.Valid());
}

TEST(CatalogueByHand, TooFewDistinctPoints)
{
    const TCoordinateCatalogue two(Rows({{0, 0, 0}, {10, 0, 0}}), true, {});
    EXPECT_EQ(ProblemTexts(two), Texts{"Различных точек 2, а контуру нужны хотя бы три"});
    const TCoordinateCatalogue same(Rows({{0, 0, 0}, {0.001, 0, 0}, {10, 0, 0}}), true, {});
    EXPECT_EQ(ProblemTexts(same), (Texts{"Точки н1 и н2 совпадают", "Различных точек 2, а контуру нужны хотя бы три"}));
    // Many coinciding points: the first hundred pairs named, the rest counted.
    std::vector<TVertexRecord> pile(150, TVertexRecord{5, 5, 0});
    pile.push_back({10, 0, 0});
    pile.push_back({0, 10, 0});
    const TCoordinateCatalogue piled(pile, true, {});
    ASSERT_EQ(piled.Problems().size(), 101u);
    EXPECT_EQ(piled.Problems()[0].Text, "Точки н1 и н2 совпадают");
    EXPECT_EQ(piled.Problems()[99].Text, "Точки н1 и н101 совпадают");
    EXPECT_EQ(piled.Problems()[100].Text, "…и ещё совпадающих пар точек: 49");
    // Two rows and an arc make a lens of four points, which is a polygon.
    TCatalogueSettings settings;
    settings.ArcTolerance = 3;
    const TCoordinateCatalogue lens(Rows({{0, 0, 1}, {20, 0, 1}}), true, settings);
    EXPECT_EQ(lens.PointCount(), 4);
    EXPECT_TRUE(lens.Valid());
}

TEST(CatalogueByHand, RefusedContours)
{
    EXPECT_THROW(TCoordinateCatalogue(Rows({{0, 0, 0}, {0, 1, 0}, {1, 1, 0}}), false, {}), ECatalogueRefused);
    EXPECT_THROW(TCoordinateCatalogue(Rows({}), true, {}), ECatalogueRefused);
    EXPECT_THROW(TCoordinateCatalogue(Rows({{0, 0, 0}, {2e9, 1, 0}, {1, 1, 0}}), true, {}), ECatalogueRefused);
    EXPECT_THROW(TCoordinateCatalogue(Rows({{0, 0, 0}, {0, 1, std::nan("")}, {1, 1, 0}}), true, {}), ECatalogueRefused);
    try {
        TCoordinateCatalogue(Rows({{0, 0, 0}, {0, 1, 0}, {1, 1, 0}}), false, {});
    } catch (const ECatalogueRefused& e) {
        EXPECT_NE(std::string(e.what()).find("замкнутого контура"), std::string::npos) << e.what();
    }
}

// ---- halves and carries ------------------------------------------------------------------------

TEST(CatalogueRounding, TheStoredNumberDecides)
{
    // Expected: the exact decimal value of each double, rounded half away from zero.
    const struct {
        double Value;
        const char* Text;
    } cases[] = {
        {452300.125, "452300.13"},  // exactly .125
        {-452300.125, "-452300.13"},
        {0.015, "0.01"},            // 0.01499999999999999944...
        {452300.015, "452300.02"},  // 452300.01500000001396...
        {1385200.005, "1385200.00"}, // 1385200.00499999988824...
        {2.675, "2.67"},            // 2.67499999999999982236...
        {0.005, "0.01"},            // 0.00500000000000000010...
        {-0.005, "-0.01"},
        {123456.785, "123456.79"},  // 123456.78500000000349...
        {0.004, "0.00"},
        {1e-300, "0.00"},
        {999999999.995, "1000000000.00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CentimetresText(RoundToCentimetres(c.Value), '.'), c.Text) << c.Value;
    EXPECT_THROW(RoundToCentimetres(1.5e9), ECatalogueRefused);
    EXPECT_THROW(RoundToCentimetres(INFINITY), ECatalogueRefused);
}

TEST(CatalogueRounding, AreaOfExactlyHalfASquareMetreGoesUp)
{
    // 25.21 m x 50 m = 1260.5 m²; ΔP = 0.35 * sqrt(1261) = 12.43, with Mt 5.00 621.4.
    TCatalogueSettings settings;
    const auto rows = Rows({{0, 0, 0}, {25.21, 0, 0}, {25.21, 50, 0}, {0, 50, 0}});
    const TCoordinateCatalogue c(rows, true, settings);
    EXPECT_EQ(c.TwiceAreaCm2(), "25210000");
    EXPECT_EQ(c.Area(), 1261);
    EXPECT_EQ(c.AreaTolerance(), 12);
    settings.MtCm = 500;
    EXPECT_EQ(TCoordinateCatalogue(rows, true, settings).AreaTolerance(), 621);
}

TEST(CatalogueRounding, AreaToleranceOfExactlyAHalfGoesUp)
{
    // 10 m x 10 m: 3.5 * 0.30 * 10 = 10.5 exactly (binary 3.5 * 0.3 * 10 is 10.4999...); 3.5 *
    // 0.10 * 10 = 3.5.
    const auto rows = Rows({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}});
    TCatalogueSettings settings;
    settings.MtCm = 30;
    EXPECT_EQ(TCoordinateCatalogue(rows, true, settings).AreaTolerance(), 11);
    settings.MtCm = 10;
    EXPECT_EQ(TCoordinateCatalogue(rows, true, settings).AreaTolerance(), 4);
}

TEST(CatalogueRounding, SecondsCarry)
{
    // 0.48 m north, 1.57 m east: 72°59'59.66"; 0.07 and 0.22: 72°20'59.55"; 10 km north and
    // 2 cm west: 359°59'59.59" — each carries up to the next minute, degree or round.
    const TCoordinateCatalogue a(Rows({{0, 0, 0}, {0.48, 1.57, 0}, {0, 1.57, 0}}), true, {});
    EXPECT_EQ(DirectionText(a.Edges()[0].DirectionSeconds), "73°00'00\"");
    const TCoordinateCatalogue b(Rows({{0, 0, 0}, {0.07, 0.22, 0}, {0, 0.22, 0}}), true, {});
    EXPECT_EQ(DirectionText(b.Edges()[0].DirectionSeconds), "72°21'00\"");
    const TCoordinateCatalogue c(Rows({{0, 0, 0}, {10000, -0.02, 0}, {0, 5, 0}}), true, {});
    EXPECT_EQ(DirectionText(c.Edges()[0].DirectionSeconds), "0°00'00\"");
    EXPECT_EQ(DirectionText(3600 * 359 + 59 * 60 + 59), "359°59'59\"");
}

// ---- settings --------------------------------------------------------------------------------

class TMapStore : public TSettingsStore {
public:
    std::string Read(const std::string& key, const std::string& defaultValue) override
    {
        const auto it = Values.find(key);
        return it == Values.end() ? defaultValue : it->second;
    }
    void Write(const std::string& key, const std::string& value) override { Values[key] = value; }
    std::map<std::string, std::string> Values;
};

TEST(CatalogueSettings, TextsAndStore)
{
    EXPECT_EQ(ParseMtCm("0.10"), 10);
    EXPECT_EQ(ParseMtCm("0,2"), 20);
    EXPECT_EQ(ParseMtCm("5"), 500);
    EXPECT_EQ(ParseMtCm(",5"), 50);
    for (const char* bad : {"", ".", "0", "0.001", "-1", "100.01", "1e1", "0.1 "})
        EXPECT_THROW(ParseMtCm(bad), EConvertError) << bad;
    EXPECT_EQ(ParseFirstNumber("0"), 0);
    EXPECT_EQ(ParseFirstNumber("999999999"), 999999999);
    for (const char* bad : {"", "-1", "1000000000", "1.5", " 1"})
        EXPECT_THROW(ParseFirstNumber(bad), EConvertError) << bad;
    EXPECT_EQ(ParseArcTolerance("0,05"), 0.05);
    for (const char* bad : {"", "0", "0.0009", "1001", "x"})
        EXPECT_THROW(ParseArcTolerance(bad), EConvertError) << bad;
    EXPECT_EQ(CheckPointPrefix("ПНТ-"), "ПНТ-");
    EXPECT_THROW(CheckPointPrefix("a;b"), EConvertError);
    EXPECT_THROW(CheckPointPrefix("<b>"), EConvertError);

    TMapStore store;
    EXPECT_EQ(LoadCatalogueSettings(store), TCatalogueSettings{});
    SaveCatalogueSettings(store, {"т", 12, 250, 0.05});
    EXPECT_EQ(store.Values, (std::map<std::string, std::string>{{"Kestrom.PolypadCatalogueArcTolerance", "0.05"},
                                                                {"Kestrom.PolypadCatalogueFirstNumber", "12"},
                                                                {"Kestrom.PolypadCatalogueMt", "2.50"},
                                                                {"Kestrom.PolypadCataloguePrefix", "т"}}));
    EXPECT_EQ(LoadCatalogueSettings(store), (TCatalogueSettings{"т", 12, 250, 0.05}));
    store.Values["Kestrom.PolypadCatalogueMt"] = "much";
    EXPECT_EQ(LoadCatalogueSettings(store).MtCm, 10);
}

// ---- independent computations over random contours ----------------------------------------

// The exact decimal expansion of a double (the C library prints every digit), rounded half away
// from zero to hundredths.
std::int64_t DecimalCentimetres(double v)
{
    char text[1200];
    std::snprintf(text, sizeof text, "%.1100f", v);
    const char* p = text;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    std::int64_t cm = 0;
    for (; *p != '.'; ++p)
        cm = cm * 10 + (*p - '0');
    ++p;
    cm = cm * 10 + (p[0] - '0');
    cm = cm * 10 + (p[1] - '0');
    if (p[2] >= '5')
        ++cm;
    return negative ? -cm : cm;
}

// A non-negative integer of any size in base 10^9 (i686 has no 128-bit integers), with what the
// checks below need.
struct TBig {
    std::vector<std::uint32_t> Limbs; // least significant first, no leading zeros

    static TBig Of(std::uint64_t v)
    {
        TBig b;
        for (; v != 0; v /= 1000000000)
            b.Limbs.push_back(static_cast<std::uint32_t>(v % 1000000000));
        return b;
    }
    friend TBig operator*(const TBig& a, const TBig& b)
    {
        std::vector<std::uint64_t> sum(a.Limbs.size() + b.Limbs.size() + 1, 0);
        for (std::size_t i = 0; i < a.Limbs.size(); ++i) {
            std::uint64_t carry = 0;
            for (std::size_t j = 0; j < b.Limbs.size() || carry != 0; ++j) {
                const std::uint64_t cur = sum[i + j] + carry +
                                          (j < b.Limbs.size() ? std::uint64_t{a.Limbs[i]} * b.Limbs[j] : 0);
                sum[i + j] = cur % 1000000000;
                carry = cur / 1000000000;
            }
        }
        TBig r;
        for (const std::uint64_t limb : sum)
            r.Limbs.push_back(static_cast<std::uint32_t>(limb));
        r.Trim();
        return r;
    }
    friend TBig operator+(const TBig& a, const TBig& b)
    {
        TBig r;
        std::uint32_t carry = 0;
        for (std::size_t i = 0; i < std::max(a.Limbs.size(), b.Limbs.size()) || carry != 0; ++i) {
            const std::uint32_t cur = carry + (i < a.Limbs.size() ? a.Limbs[i] : 0) + (i < b.Limbs.size() ? b.Limbs[i] : 0);
            r.Limbs.push_back(cur % 1000000000);
            carry = cur / 1000000000;
        }
        r.Trim();
        return r;
    }
    // a - b for a >= b.
    friend TBig operator-(const TBig& a, const TBig& b)
    {
        TBig r = a;
        std::int64_t borrow = 0;
        for (std::size_t i = 0; i < r.Limbs.size(); ++i) {
            std::int64_t cur = std::int64_t{r.Limbs[i]} - borrow - (i < b.Limbs.size() ? b.Limbs[i] : 0);
            borrow = cur < 0 ? 1 : 0;
            r.Limbs[i] = static_cast<std::uint32_t>(cur + borrow * 1000000000);
        }
        r.Trim();
        return r;
    }
    friend bool operator<(const TBig& a, const TBig& b)
    {
        if (a.Limbs.size() != b.Limbs.size())
            return a.Limbs.size() < b.Limbs.size();
        for (std::size_t i = a.Limbs.size(); i-- > 0;)
            if (a.Limbs[i] != b.Limbs[i])
                return a.Limbs[i] < b.Limbs[i];
        return false;
    }
    // Divides by d in place, returning the remainder.
    std::uint32_t Divide(std::uint32_t d)
    {
        std::uint64_t rest = 0;
        for (std::size_t i = Limbs.size(); i-- > 0;) {
            const std::uint64_t cur = rest * 1000000000 + Limbs[i];
            Limbs[i] = static_cast<std::uint32_t>(cur / d);
            rest = cur % d;
        }
        Trim();
        return static_cast<std::uint32_t>(rest);
    }
    std::string Text() const
    {
        if (Limbs.empty())
            return "0";
        std::string text = std::to_string(Limbs.back());
        for (std::size_t i = Limbs.size() - 1; i-- > 0;) {
            const std::string part = std::to_string(Limbs[i]);
            text += std::string(9 - part.size(), '0') + part;
        }
        return text;
    }
    void Trim()
    {
        while (!Limbs.empty() && Limbs.back() == 0)
            Limbs.pop_back();
    }
};

std::uint64_t Magnitude(std::int64_t v)
{
    return v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

TEST(CatalogueExactArea, RandomContoursAgainstBigIntegers)
{
    std::mt19937_64 random(29);
    for (int trial = 0; trial < 300; ++trial) {
        const int n = 3 + static_cast<int>(random() % 40);
        // Map coordinates of all sizes, from a few metres to 10^8 m, with arbitrary binary digits.
        const double scale = std::ldexp(1.0, static_cast<int>(random() % 27));
        const double offset = static_cast<double>(random() % 100000000);
        std::uniform_real_distribution<double> coordinate(-scale, scale);
        std::vector<TVertexRecord> rows;
        for (int i = 0; i < n; ++i)
            rows.push_back({offset + coordinate(random), -offset + coordinate(random), 0});
        TCatalogueSettings settings;
        settings.MtCm = 1 + static_cast<int>(random() % 500);
        const TCoordinateCatalogue c(rows, true, settings);
        ASSERT_EQ(c.PointCount(), n);
        // The shoelace sum of x[i] y[i+1] - x[i+1] y[i], its positive and negative terms apart.
        TBig positive, negative;
        for (int i = 0; i < n; ++i) {
            const std::int64_t x0 = DecimalCentimetres(rows[i].X), y0 = DecimalCentimetres(rows[i].Y);
            const std::int64_t x1 = DecimalCentimetres(rows[(i + 1) % n].X), y1 = DecimalCentimetres(rows[(i + 1) % n].Y);
            ASSERT_EQ(c.Points()[i].XCm, x0) << rows[i].X;
            ASSERT_EQ(c.Points()[i].YCm, y0) << rows[i].Y;
            const TBig a = TBig::Of(Magnitude(x0)) * TBig::Of(Magnitude(y1));
            ((x0 < 0) != (y1 < 0) ? negative : positive) = ((x0 < 0) != (y1 < 0) ? negative : positive) + a;
            const TBig b = TBig::Of(Magnitude(x1)) * TBig::Of(Magnitude(y0));
            ((x1 < 0) != (y0 < 0) ? positive : negative) = ((x1 < 0) != (y0 < 0) ? positive : negative) + b;
        }
        const bool below = positive < negative;
        TBig twice = below ? negative - positive : positive - negative;
        ASSERT_EQ(c.TwiceAreaCm2(), (below ? "-" : "") + twice.Text());
        // P = |2A| / 20000 m², a half going up.
        TBig area = twice;
        const std::uint32_t rest = area.Divide(20000);
        if (rest >= 10000)
            area = area + TBig::Of(1);
        ASSERT_EQ(std::to_string(c.Area()), area.Text());
        // ΔP = 3.5 Mt sqrt(P) = sqrt(49 m² P) / 200 with Mt = m cm; n = ΔP rounded half up holds
        // exactly when (200n - 100)² <= 49 m² P < (200n + 100)².
        const TBig s = TBig::Of(49) * TBig::Of(static_cast<std::uint64_t>(settings.MtCm) * settings.MtCm) *
                       TBig::Of(static_cast<std::uint64_t>(c.Area()));
        const std::uint64_t tolerance = static_cast<std::uint64_t>(c.AreaTolerance());
        const TBig high = TBig::Of(200 * tolerance + 100) * TBig::Of(200 * tolerance + 100);
        const TBig low = tolerance > 0 ? TBig::Of(200 * tolerance - 100) * TBig::Of(200 * tolerance - 100) : TBig();
        ASSERT_TRUE(s < high) << "ΔP " << tolerance << " too small";
        ASSERT_FALSE(s < low) << "ΔP " << tolerance << " too large";
    }
}

// Whether segments p1-p2 and p3-p4 share a point, by exact rational parameters (independent of the
// catalogue's orientation tests).
bool SegmentsMeet(const TCataloguePoint& p1, const TCataloguePoint& p2, const TCataloguePoint& p3, const TCataloguePoint& p4)
{
    // The grid's centimetres are small: every product fits 64 bits.
    const std::int64_t rx = p2.XCm - p1.XCm, ry = p2.YCm - p1.YCm, sx = p4.XCm - p3.XCm, sy = p4.YCm - p3.YCm;
    const std::int64_t qx = p3.XCm - p1.XCm, qy = p3.YCm - p1.YCm;
    const std::int64_t denominator = rx * sy - ry * sx;
    if (denominator != 0) {
        // p1 + t r = p3 + u s with t = (q x s) / (r x s), u = (q x r) / (r x s), both in [0, 1].
        std::int64_t t = qx * sy - qy * sx, u = qx * ry - qy * rx, d = denominator;
        if (d < 0)
            t = -t, u = -u, d = -d;
        return 0 <= t && t <= d && 0 <= u && u <= d;
    }
    if (qx * ry - qy * rx != 0)
        return false; // parallel lines apart
    // Collinear: overlap of the projections on r.
    const std::int64_t rr = rx * rx + ry * ry;
    const std::int64_t t0 = qx * rx + qy * ry, t1 = t0 + sx * rx + sy * ry;
    return std::max(std::min(t0, t1), std::int64_t{0}) <= std::min(std::max(t0, t1), rr);
}

bool BruteForceFindsTouch(const TCoordinateCatalogue& c)
{
    const int n = c.PointCount();
    const auto& p = c.Points();
    for (int a = 0; a < n; ++a)
        for (int b = a + 1; b < n; ++b) {
            const bool neighbours = b == a + 1 || (a == 0 && b == n - 1);
            if (!neighbours) {
                if (SegmentsMeet(p[a], p[a + 1], p[b], p[(b + 1) % n]))
                    return true;
                continue;
            }
            // Neighbours share one vertex; they must not share more: the far end of one on the other.
            const int shared = b == a + 1 ? b : 0;
            const int end1 = b == a + 1 ? a : 1, end2 = b == a + 1 ? (b + 1) % n : n - 1;
            if (SegmentsMeet(p[shared], p[end1], p[end2], p[end2]) || SegmentsMeet(p[shared], p[end2], p[end1], p[end1]))
                return true;
        }
    return false;
}

TEST(CatalogueCrossings, SweepAgreesWithAllPairs)
{
    // Small grids give many collinear, touching and vertical cases.
    std::mt19937 random(7);
    int withProblems = 0, simple = 0;
    for (int trial = 0; trial < 4000; ++trial) {
        // Mostly small polygons; every fourth a larger one on a larger grid, and every fourth one
        // of those its points in the order of their angle about a point off the grid, which is
        // simple but where ties of angle make it touch itself.
        const bool large = trial % 4 == 3;
        const bool star = large && trial % 16 == 15;
        const int n = 3 + static_cast<int>(random() % (large ? 40 : 9));
        const int grid = 3 + static_cast<int>(random() % (large ? 30 : 6));
        std::vector<TVertexRecord> rows;
        std::vector<std::pair<int, int>> used;
        while (static_cast<int>(rows.size()) < n && used.size() < static_cast<std::size_t>(grid * grid)) {
            const int x = static_cast<int>(random() % grid), y = static_cast<int>(random() % grid);
            if (std::find(used.begin(), used.end(), std::pair(x, y)) != used.end())
                continue;
            used.emplace_back(x, y);
            rows.push_back({x * 1.0, y * 1.0, 0});
        }
        if (star) {
            const double cx = grid / 2.0 + 0.123, cy = grid / 2.0 - 0.077;
            std::sort(rows.begin(), rows.end(), [&](const TVertexRecord& a, const TVertexRecord& b) {
                return std::atan2(a.Y - cy, a.X - cx) < std::atan2(b.Y - cy, b.X - cx);
            });
        }
        const TCoordinateCatalogue c(rows, true, {});
        bool enoughPoints = c.PointCount() >= 3;
        for (const TCatalogueProblem& problem : c.Problems())
            if (problem.Kind == TCatalogueProblemKind::TooFewPoints)
                enoughPoints = false;
        if (!enoughPoints)
            continue;
        const bool expected = BruteForceFindsTouch(c);
        ASSERT_EQ(!c.Valid(), expected) << "trial " << trial;
        for (const TCatalogueProblem& problem : c.Problems()) {
            const auto& p = c.Points();
            const int m = c.PointCount();
            ASSERT_TRUE(problem.Kind == TCatalogueProblemKind::Crossing || problem.Kind == TCatalogueProblemKind::Touching);
            // Neighbours always share their vertex; others must share a point to be reported.
            EXPECT_TRUE(SegmentsMeet(p[problem.A], p[(problem.A + 1) % m], p[problem.B], p[(problem.B + 1) % m]));
        }
        (expected ? withProblems : simple)++;
    }
    // Both outcomes were exercised.
    EXPECT_GT(withProblems, 500);
    EXPECT_GT(simple, 200);
}

} // namespace
