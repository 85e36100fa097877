// The table's Host-facing operations: the view orientation from the Host's surface transform
// and the conversion of a part-list contour into a Host contour, checked by what the Host sees.
#include "FakeHost.h"
#include "Polypad/HostTable.h"

#include <gtest/gtest.h>


namespace {

class HostTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakehost::Reset();
        FHost = TComPtr<IHostApplication>::attach(fakehost::CreateApplication());
    }
    void SetTransform(double a, double b, double c, double d, double e = 0, double f = 0)
    {
        auto& s = fakehost::State();
        s.A = a, s.B = b, s.C = c, s.D = d, s.E = e, s.F = f;
    }
    TComPtr<IHostApplication> FHost;
};

struct TTransformCase {
    double A, B, C, D;  // (1,0) -> (A,B), (0,1) -> (C,D)
    double E, F;        // where the map origin goes
    bool Mirrored;
};

class ViewIsMirroredTest : public HostTableTest, public ::testing::WithParamInterface<TTransformCase> {};

TEST_P(ViewIsMirroredTest, SignOfTheCrossProductOfTheMappedAxes)
{
    const TTransformCase& c = GetParam();
    SetTransform(c.A, c.B, c.C, c.D, c.E, c.F);
    EXPECT_EQ(ViewIsMirrored(FHost.get()), c.Mirrored);
}

INSTANTIATE_TEST_SUITE_P(Transforms, ViewIsMirroredTest,
                         ::testing::Values(TTransformCase{0, -1, 1, 0, 0, 0, false},  // cross 1
                                           TTransformCase{1, 0, 0, -1, 0, 0, true},   // cross -1
                                           TTransformCase{2, 1, 4, 2, 0, 0, true},    // degenerate, cross 0
                                           TTransformCase{1, 0, 0, 1, 0, 0, false},
                                           TTransformCase{0, 0, 0, 0, 0, 0, true},
                                           // A panned screen view (y down, origin at the centre): the
                                           // raw images of (1,0) and (0,1) would give a negative
                                           // cross product, their offsets from the origin's do not.
                                           TTransformCase{0, -1, 1, 0, 400, 300, false},
                                           TTransformCase{1, 0, 0, -1, -400, 300, true}));

TEST_F(HostTableTest, FailedHostCallRaisesTheHostsMessage)
{
    for (const char* operation : {"IHostMainWindow.MapWindow", "IHostSurface.Transform",
                                  "IHostSurfaceTransform.MapToSurface"}) {
        fakehost::State().FailOperation = operation;
        fakehost::State().FailCode = E_UNEXPECTED;
        fakehost::State().FailMessage = L"Карта не открыта";
        try {
            ViewIsMirrored(FHost.get());
            ADD_FAILURE() << operation << ": no exception";
        } catch (const EComError& e) {
            EXPECT_EQ(e.Code(), E_UNEXPECTED) << operation;
            EXPECT_STREQ(e.what(), "Карта не открыта") << operation;
        }
    }
}

TEST_F(HostTableTest, ContourToHostShapeAppendsEveryPartAndVertexInOrder)
{
    ContourParts::TContour contour;
    TRefHolder<ContourParts::TContourPart> closed(new ContourParts::TContourPart());
    closed->Closed = true;
    closed->Vertices = {{0, 0, 0.5}, {10, 0, 0}, {10, 5, -0.25}};
    TRefHolder<ContourParts::TContourPart> open(new ContourParts::TContourPart());
    open->Vertices = {{1, 2, 0}, {3, 4, 0.1}};
    contour.AddPart(closed.get());
    contour.AddPart(open.get());

    TComPtr<IHostContour> shape = ContourToHostShape(FHost.get(), contour);
    ASSERT_TRUE(shape);
    const fakehost::TFakeState& host = fakehost::State();
    EXPECT_EQ(host.GeometryKind, 0);
    EXPECT_EQ(host.GeometryParameterType, VT_BSTR);
    EXPECT_EQ(host.GeometryParameterText, L"");
    ASSERT_EQ(host.Parts.size(), 2u);
    EXPECT_TRUE(host.Parts[0].ClosedSet);
    EXPECT_EQ(host.Parts[0].Closed, VARIANT_TRUE);
    EXPECT_TRUE(host.Parts[1].ClosedSet);
    EXPECT_EQ(host.Parts[1].Closed, VARIANT_FALSE);
    ASSERT_EQ(host.Parts[0].Vertices.size(), 3u);
    ASSERT_EQ(host.Parts[1].Vertices.size(), 2u);
    EXPECT_EQ(host.Parts[0].Vertices[2].X, 10);
    EXPECT_EQ(host.Parts[0].Vertices[2].Y, 5);
    EXPECT_EQ(host.Parts[0].Vertices[2].Convexity, -0.25);
    EXPECT_EQ(host.Parts[0].Vertices[0].Convexity, 0.5);
    EXPECT_EQ(host.Parts[1].Vertices[1].X, 3);
    EXPECT_EQ(host.Parts[1].Vertices[1].Convexity, 0.1);
    long partCount = 0;
    shape->PartCount(&partCount);
    EXPECT_EQ(partCount, 2);

    ContourParts::TContour empty;
    ASSERT_TRUE(ContourToHostShape(FHost.get(), empty));
    EXPECT_TRUE(fakehost::State().Parts.empty());
}

TEST_F(HostTableTest, ContourToHostShapeStopsAtTheFirstFailedHostCall)
{
    ContourParts::TContour contour;
    TRefHolder<ContourParts::TContourPart> part(new ContourParts::TContourPart());
    part->Vertices = {{1, 1, 0}, {2, 2, 0}};
    contour.AddPart(part.get());
    fakehost::State().FailOperation = "IHostContourPart.InsertVertex";
    fakehost::State().FailMessage = L"Слишком много вершин";
    try {
        ContourToHostShape(FHost.get(), contour);
        ADD_FAILURE() << "no exception";
    } catch (const EComError& e) {
        EXPECT_STREQ(e.what(), "Слишком много вершин");
    }
    EXPECT_EQ(fakehost::State().CountCalls("IHostContourPart.InsertVertex"), 1);
}

} // namespace
