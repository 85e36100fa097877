// Contour objects: the part-list contour, the geometry contour with its arcs and bounds, and the pool.
#include "CoreLib/ContourGeometry.h"
#include "CoreLib/ContourParts.h"
#include "CoreLib/Errors.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace {

namespace cg = ContourGeometry;
namespace cp = ContourParts;

constexpr double kEps = 1e-12;
const double kPiD = static_cast<double>(kPi);
const double kSqrt2 = std::sqrt(2.0);
const double kTanPi8 = std::tan(kPiD / 8);
const double kTan3Pi8 = std::tan(3 * kPiD / 8);

TFloatPoint P(double x, double y) { return FloatPoint(x, y); }

void ExpectRectNear(const TFloatRect& r, const TFloatRect& e)
{
    EXPECT_NEAR(r.X1, e.X1, kEps);
    EXPECT_NEAR(r.Y1, e.Y1, kEps);
    EXPECT_NEAR(r.X2, e.X2, kEps);
    EXPECT_NEAR(r.Y2, e.Y2, kEps);
}

// ---- part-list side ---------------------------------------------------------------------

TEST(ContourPart, VertexEditingKeepsOrderAndClearReopens)
{
    TRefHolder<cp::TContourPart> part(new cp::TContourPart);
    EXPECT_FALSE(part->Closed);
    for (int i = 0; i < 4; ++i) {
        TVertexRecord& v = part->AddVertex();
        EXPECT_TRUE(v.X == 0 && v.Y == 0 && v.ArcConvexity == 0);
        v.X = i;
    }
    part->DeleteVertex(1);
    part->DeleteVertex(2);
    ASSERT_EQ(part->Count(), 2);
    EXPECT_EQ(part->Vertices[0].X, 0);
    EXPECT_EQ(part->Vertices[1].X, 2);

    part->Closed = true;
    part->Clear();
    EXPECT_EQ(part->Count(), 0);
    EXPECT_FALSE(part->Closed);
}

TEST(ContourPart, ContourHoldsOneCountedReferencePerAddedPart)
{
    TRefHolder<cp::TContourPart> part(new cp::TContourPart);
    {
        TRefHolder<cp::TContour> contour(new cp::TContour);
        EXPECT_EQ(contour->AddPart(part.get()), part.get());
        contour->AddPart(part.get());
        EXPECT_EQ(part->RefCount(), 3);
        EXPECT_EQ(contour->Parts().Count(), 2);
        EXPECT_EQ(contour->Parts().Part(1), part.get());
        contour->Parts().Delete(0);
        EXPECT_EQ(part->RefCount(), 2);
    }
    EXPECT_EQ(part->RefCount(), 1); // destroying the contour dropped its reference
}

struct PartRows {
    std::vector<TVertexRecord> vertices;
    bool closed;
};

struct BoundsCase {
    std::string name;
    std::vector<PartRows> parts;
    bool found;
    TFloatRect rect;
};

class ContourBoundsTest : public testing::TestWithParam<BoundsCase> {};

TEST_P(ContourBoundsTest, CoversVerticesAndArcExtremes)
{
    const BoundsCase& c = GetParam();
    TRefHolder<cp::TContour> contour(new cp::TContour);
    for (const PartRows& rows : c.parts) {
        auto* part = contour->AddPart(new cp::TContourPart);
        part->Vertices = rows.vertices;
        part->Closed = rows.closed;
    }
    const TFloatRect untouched{-7, -8, -9, -10};
    TFloatRect r = untouched;
    EXPECT_EQ(cp::ContourBounds(*contour, r), c.found);
    ExpectRectNear(r, c.found ? c.rect : untouched);
    EXPECT_EQ(cg::ContourCache.IdleCount(), 20u); // the pooled contour went back
    EXPECT_EQ(cg::ContourCache.UsedCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ContourBoundsTest,
    testing::Values(
        BoundsCase{"NoParts", {}, false, {}},
        BoundsCase{"EmptyPart", {{{}, true}}, false, {}},
        BoundsCase{"SingleVertexOpen", {{{{3, 4, 0}}, false}}, true, {3, 4, 3, 4}},
        BoundsCase{"SingleVertexClosedWithArc", {{{{3, 4, 1}}, true}}, true, {3, 4, 3, 4}},
        BoundsCase{"ClosedSquare", {{{{0, 0, 0}, {0, 10, 0}, {10, 10, 0}, {10, 0, 0}}, true}}, true, {0, 0, 10, 10}},
        BoundsCase{"QuarterArcBulgesToMinusY", {{{{0, 0, 0}, {2, 0, kTanPi8}}, false}}, true, {0, 1 - kSqrt2, 2, 0}},
        BoundsCase{"HalfCirclePositive", {{{{0, 0, 0}, {2, 0, 1}}, false}}, true, {0, -1, 2, 0}},
        BoundsCase{"HalfCircleNegative", {{{{0, 0, 0}, {2, 0, -1}}, false}}, true, {0, 0, 2, 1}},
        // Sweep 3pi/2 from 3pi/4: passes pi, 3pi/2 and 2pi.
        BoundsCase{"ThreeQuarterArc",
                   {{{{0, 0, 0}, {2, 0, kTan3Pi8}}, false}},
                   true,
                   {1 - kSqrt2, -1 - kSqrt2, 1 + kSqrt2, 0}},
        BoundsCase{"ClosingArcOfClosedPart", {{{{0, 0, 1}, {2, 0, 0}}, true}}, true, {0, 0, 2, 1}},
        BoundsCase{"FirstConvexityIgnoredWhenOpen", {{{{0, 0, 1}, {2, 0, 0}}, false}}, true, {0, 0, 2, 0}},
        BoundsCase{"TwoHalfCircles", {{{{0, 0, 1}, {2, 0, 1}}, true}}, true, {0, -1, 2, 1}},
        BoundsCase{"TinyConvexityIsStraight", {{{{0, 0, 0}, {2, 0, 1e-15}}, false}}, true, {0, 0, 2, 0}},
        BoundsCase{"ArcBetweenEqualVerticesAddsNothing",
                   {{{{0, 0, 0}, {0, 0, 1}, {2, 0, 0}}, false}},
                   true,
                   {0, 0, 2, 0}},
        // The closing arc of the second part runs back to that part's own first vertex.
        BoundsCase{"ClosingArcUsesItsOwnPart",
                   {{{{10, 10, 0}, {12, 10, 0}}, false}, {{{0, 0, -1}, {2, 0, 0}}, true}},
                   true,
                   {0, -1, 12, 10}},
        BoundsCase{"EmptyPartBetweenParts",
                   {{{{1, 1, 0}}, false}, {{}, true}, {{{-3, 5, 0}, {4, -2, 0}}, false}},
                   true,
                   {-3, -2, 4, 5}}),
    [](const testing::TestParamInfo<BoundsCase>& info) { return info.param.name; });

TEST(ContourBounds, ArcRangeErrorReleasesThePooledContour)
{
    TRefHolder<cp::TContour> contour(new cp::TContour);
    auto* part = contour->AddPart(new cp::TContourPart);
    part->Vertices.resize(cg::kMaxArcs + 2); // a move and 65,537 arcs
    for (std::size_t i = 0; i < part->Vertices.size(); ++i)
        part->Vertices[i] = TVertexRecord{static_cast<double>(i % 2), 0, i == 0 ? 0 : 0.5};
    TFloatRect r{};
    EXPECT_THROW(cp::ContourBounds(*contour, r), ERangeError);
    EXPECT_EQ(cg::ContourCache.IdleCount(), 20u);
    EXPECT_EQ(cg::ContourCache.UsedCount(), 0u);
}

// ---- geometry side -----------------------------------------------------------------------

TEST(GeometryContour, NodesAndArcRecordsAreNumberedInOrder)
{
    cg::TContour c;
    EXPECT_EQ(c.MoveTo(P(0, 0)), 0);
    EXPECT_EQ(c.LineTo(P(2, 0)), 1);
    EXPECT_EQ(c.ArcTo(P(2, 2), 0.5), 2);
    EXPECT_EQ(c.Close(), 3);
    EXPECT_EQ(c.MoveTo(P(5, 5)), 4);
    EXPECT_EQ(c.CloseArc(-0.25), 5);
    EXPECT_EQ(c.Nodes.Count, 6);
    ASSERT_EQ(c.Arcs.Count, 2); // straight nodes never add arc records
    EXPECT_EQ(c.Node(2).Kind, cg::nkArcTo);
    EXPECT_EQ(c.Node(2).ArcIndex, 0);
    EXPECT_EQ(c.Node(3).Kind, cg::nkClose);
    EXPECT_EQ(c.Node(5).Kind, cg::nkCloseArc);
    EXPECT_EQ(c.Node(5).ArcIndex, 1);
    EXPECT_EQ(c.Arc(0).Convexity, 0.5);
    EXPECT_EQ(c.Arc(1).Convexity, -0.25);
    EXPECT_TRUE(SamePoint(c.Node(2).Point, P(2, 2)));
}

TEST(GeometryContour, ArcDataIsComputedFromTheEdgeEnds)
{
    struct Case {
        const char* name;
        void (*build)(cg::TContour&);
        TFloatPoint centre;
        double sweep, radius;
    } const cases[] = {
        {"arc to", [](cg::TContour& c) { c.MoveTo(P(0, 0)); c.ArcTo(P(2, 0), kTanPi8); }, P(1, 1), kPiD / 2, kSqrt2},
        {"close arc", [](cg::TContour& c) { c.MoveTo(P(0, 0)); c.LineTo(P(2, 0)); c.CloseArc(1); }, P(1, 0), kPiD, 1},
        // The closing arc returns to the first vertex of its own part.
        {"close arc, second part",
         [](cg::TContour& c) {
             c.MoveTo(P(10, 10)); c.LineTo(P(12, 10));
             c.MoveTo(P(0, 0)); c.LineTo(P(2, 0)); c.CloseArc(1);
         },
         P(1, 0), kPiD, 1},
        // After a close node the next edge starts at the part's first vertex.
        {"arc after close",
         [](cg::TContour& c) { c.MoveTo(P(0, 0)); c.LineTo(P(2, 0)); c.Close(); c.ArcTo(P(0, 2), 1); },
         P(0, 1), kPiD, 1},
        {"arc after move", [](cg::TContour& c) { c.MoveTo(P(3, 3)); c.ArcTo(P(3, 5), -1); }, P(3, 4), -kPiD, 1},
        // Between equal points no arc exists: the record keeps zero centre, sweep and radius.
        {"equal points", [](cg::TContour& c) { c.MoveTo(P(1, 1)); c.ArcTo(P(1, 1), 0.5); }, P(0, 0), 0, 0},
        {"close arc, equal points", [](cg::TContour& c) { c.MoveTo(P(1, 1)); c.CloseArc(0.5); }, P(0, 0), 0, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        cg::TContour c;
        k.build(c);
        ASSERT_EQ(c.Arcs.Count, 1);
        const cg::TContourArc& arc = c.Arc(0);
        EXPECT_NEAR(arc.Centre.X, k.centre.X, kEps);
        EXPECT_NEAR(arc.Centre.Y, k.centre.Y, kEps);
        EXPECT_NEAR(arc.Sweep, k.sweep, kEps);
        EXPECT_NEAR(arc.Radius, k.radius, kEps);
    }
}

TEST(GeometryContour, GetBoundsWithoutPointsLeavesRectUntouched)
{
    cg::TContour c;
    TFloatRect r{1, 2, 3, 4};
    EXPECT_FALSE(c.GetBounds(r));
    c.Close();
    c.Close();
    EXPECT_FALSE(c.GetBounds(r));
    EXPECT_TRUE(r.X1 == 1 && r.Y1 == 2 && r.X2 == 3 && r.Y2 == 4);

    c.MoveTo(P(-1, 6));
    EXPECT_TRUE(c.GetBounds(r));
    ExpectRectNear(r, {-1, 6, -1, 6});
}

TEST(GeometryContour, ArcBoundsAddsAxisExtremesPassedEndsIncluded)
{
    // Radius deliberately larger than the chord suggests, so each extreme point shows.
    cg::TContourArc arc;
    arc.Convexity = kTanPi8;
    arc.Centre = P(0, 0);
    arc.Radius = 2;
    arc.Sweep = kPiD / 2; // from angle 0 to pi/2, both axis angles are ends
    ExpectRectNear(cg::ArcBounds(P(1, 0), P(0, 1), arc), {0, 0, 2, 2});

    arc.Sweep = -7 * kPiD / 4; // from 0 clockwise to pi/4: passes every axis angle
    ExpectRectNear(cg::ArcBounds(P(1, 0), P(0, 1), arc), {-2, -2, 2, 2});

    arc.Convexity = 1e-15; // straight: the chord's box only
    ExpectRectNear(cg::ArcBounds(P(1, 0), P(0, 1), arc), {0, 0, 1, 1});
}

TEST(GeometryContour, The65537thArcRaisesRangeErrorAfterAppendingItsRecord)
{
    cg::TContour c;
    c.MoveTo(P(0, 0));
    for (std::int32_t i = 1; i <= cg::kMaxArcs; ++i)
        c.ArcTo(P(i % 2, 0), 0.5);
    ASSERT_EQ(c.Arcs.Count, cg::kMaxArcs);
    EXPECT_EQ(c.Node(cg::kMaxArcs).ArcIndex, 65535);

    EXPECT_THROW(c.ArcTo(P(5, 5), 0.5), ERangeError);
    EXPECT_EQ(c.Arcs.Count, cg::kMaxArcs + 1); // the arc record stays
    EXPECT_EQ(c.Nodes.Count, cg::kMaxArcs + 1); // the node was not added
    EXPECT_THROW(c.CloseArc(0.5), ERangeError);
    EXPECT_EQ(c.Nodes.Count, cg::kMaxArcs + 1);
    EXPECT_EQ(c.LineTo(P(1, 1)), cg::kMaxArcs + 1); // straight nodes still fit
}

// ---- the pool ------------------------------------------------------------------------------

TEST(ContourCache, AcquireTakesTheLastIdleContourAndReleaseClearsKeepingStorage)
{
    cg::TContourCache cache(3);
    cg::TContour* a = cache.Acquire();
    cg::TContour* b = cache.Acquire();
    EXPECT_NE(a, b);
    EXPECT_EQ(cache.IdleCount(), 1u);
    EXPECT_EQ(cache.UsedCount(), 2u);
    b->MoveTo(P(0, 0));
    for (int i = 0; i < 10; ++i)
        b->ArcTo(P(i % 2, 1), -0.5);
    const std::int32_t capacity = b->Nodes.Capacity;
    cache.Release(a);
    cache.Release(b);
    ASSERT_EQ(cache.Acquire(), b);
    EXPECT_EQ(b->Nodes.Count, 0);
    EXPECT_EQ(b->Arcs.Count, 0);
    EXPECT_EQ(b->Nodes.Capacity, capacity);
    EXPECT_EQ(cache.Acquire(), a);
    cache.Release(a);
    cache.Release(b);
}

TEST(ContourCache, ContoursBeyondThePoolAreCreatedAndDestroyed)
{
    cg::TContourCache cache(20);
    std::vector<cg::TContour*> taken;
    for (int i = 0; i < 25; ++i) {
        taken.push_back(cache.Acquire());
        EXPECT_EQ(taken.back()->Nodes.Count, 0);
    }
    EXPECT_EQ(std::set<cg::TContour*>(taken.begin(), taken.end()).size(), 25u);
    EXPECT_EQ(cache.IdleCount(), 0u);
    EXPECT_EQ(cache.UsedCount(), 20u); // the five extra belong to no list

    for (int i = 24; i >= 20; --i)
        cache.Release(taken[static_cast<std::size_t>(i)]); // destroyed, not pooled
    EXPECT_EQ(cache.IdleCount(), 0u);
    for (int i = 0; i < 20; ++i)
        cache.Release(taken[static_cast<std::size_t>(i)]);
    EXPECT_EQ(cache.IdleCount(), 20u);
    EXPECT_EQ(cache.UsedCount(), 0u);

    cache.Release(new cg::TContour); // never handed out: destroyed
    EXPECT_EQ(cache.IdleCount(), 20u);
}

} // namespace
