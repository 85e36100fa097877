// The outline of a large contour on the map: drawn in pieces, it shows exactly what one part
// drawn from scratch shows; a typed cell or an inserted row costs Host calls for the pieces
// around it only; a contour built over many messages ends up whole even when the table changes
// in between; with painter mode off a change builds nothing, and turning it on draws the contour
// as it is then.
#include "FormTestSupport.h"
#include "GridTestSupport.h"

#include "Polypad/HostTable.h"
#include "Polypad/OutlinePieces.h"

namespace {

constexpr long kParcelLayer = 1;
constexpr long kParcelStyle = 11;
constexpr long kVertices = 20000;

class FormOutline : public FormInput {
protected:
    // A generated star of kVertices vertices (every tenth edge an arc) read into the window.
    TPolypadForm& OpenLargeContour()
    {
        TPolypadForm& form = Open(true);
        long id = 0;
        EXPECT_EQ(hostsim::GenerateObject(FHost.get(), kParcelLayer, kParcelStyle, kVertices, &id), S_OK);
        Select(id);
        form.FillTableFromMapObjectActionExecute();
        PumpAll();
        EXPECT_EQ(FTable->Count(), kVertices);
        ::SetForegroundWindow(form.Handle());
        return form;
    }

    // The table's contour drawn as one Host part onto an overlay with nothing on it: the picture
    // the outline must give. The overlay is left empty again.
    std::vector<unsigned> OnePartPicture()
    {
        EXPECT_EQ(hostsim::OverlayPixelCount(FHost.get()), 0) << "the overlay must be empty first";
        TVariant none;
        none.put()->vt = VT_NULL;
        TComPtr<IDispatch> geometry;
        EXPECT_EQ(FHost->CreateGeometry(0, none.get(), geometry.put()), S_OK);
        const TComPtr<IHostContour> contour = geometry.query<IHostContour>();
        ContourParts::TContour rows;
        rows.AddPart(&FTable->ContourPart());
        AppendContourToHostShape(rows, contour.get());
        TPaintHint hint(contour.get(), true, {1, 0.0, 0.0, OverlayColor(::GetSysColor(COLOR_WINDOW))});
        const TComPtr<IHostSurface> surface = MapSurface(FHost.get());
        hint.Draw(surface.get());
        std::vector<unsigned> picture = hostsim::OverlayPixels(FHost.get());
        hint.Draw(surface.get());
        return picture;
    }

    // The current vertex's marker alone, drawn onto an empty overlay and taken off again.
    std::vector<unsigned> MarkerPicture()
    {
        const TComPtr<IHostSurface> surface = MapSurface(FHost.get());
        FForm->FVertexHint->Draw(surface.get());
        std::vector<unsigned> picture = hostsim::OverlayPixels(FHost.get());
        FForm->FVertexHint->Draw(surface.get());
        return picture;
    }

    // The overlay against the contour drawn as one part (and the marker), taken with painter mode
    // off; then painter mode on again must bring back the same picture.
    void ExpectTheOutlineIsTheOnePartPicture(const char* when)
    {
        const std::vector<unsigned> shown = hostsim::OverlayPixels(FHost.get());
        FForm->PainterModeActionExecute();
        PumpAll();
        ASSERT_EQ(hostsim::OverlayPixelCount(FHost.get()), 0) << when << ": painter mode off leaves nothing";
        std::vector<unsigned> expected = OnePartPicture();
        const std::vector<unsigned> marker = MarkerPicture();
        ASSERT_EQ(expected.size(), marker.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            expected[i] ^= marker[i];
        FForm->PainterModeActionExecute();
        PumpAll();
        EXPECT_GT(FForm->FOutline->PieceCount(), 1) << when;
        EXPECT_TRUE(shown == expected) << when << ": the outline differs from the contour drawn as one part";
        EXPECT_TRUE(hostsim::OverlayPixels(FHost.get()) == shown) << when << ": painter mode on again";
    }
};

} // namespace

TEST_F(FormOutline, APieceworkOutlineShowsWhatOnePartShowsAndFollowsSmallEditsCheaply)
{
    TPolypadForm& form = OpenLargeContour();
    EXPECT_FALSE(form.FHintManager->AnyLocked());
    ExpectTheOutlineIsTheOnePartPicture("after the fill");

    // A cell typed as the user types it.
    long calls = hostsim::CallCount();
    ClickCell(ckX, 10000);
    Type(L"452300");
    Press(VK_RETURN);
    PumpAll();
    ASSERT_EQ(FTable->GetX(10000), 452300);
    EXPECT_LT(hostsim::CallCount() - calls, kVertices / 10) << "a typed cell redraws the pieces around it only";
    EXPECT_LE(form.FOutline->LastBuilt(), 2);
    ExpectTheOutlineIsTheOnePartPicture("after a typed cell");

    // Its undo and redo rewrite that row in place, and the pieces around it follow.
    const double typed = FTable->GetX(10000);
    for (const bool redo : {false, true}) {
        calls = hostsim::CallCount();
        Press(redo ? 'Y' : 'Z', true);
        PumpAll();
        ASSERT_EQ(FTable->GetX(10000) == typed, redo);
        EXPECT_LT(hostsim::CallCount() - calls, kVertices / 10) << (redo ? "a redo" : "an undo");
        ExpectTheOutlineIsTheOnePartPicture(redo ? "after a redo" : "after an undo");
    }

    // A row inserted in the middle moves every row after it, but not their pieces.
    calls = hostsim::CallCount();
    ClickCell(ckX, 5000);
    Press(VK_INSERT);
    PumpAll();
    ASSERT_EQ(FTable->Count(), kVertices + 1);
    EXPECT_LT(hostsim::CallCount() - calls, kVertices / 10) << "an inserted row";
    ExpectTheOutlineIsTheOnePartPicture("after an inserted row");

    // The closing edge's piece goes when the contour is opened.
    form.ContourPartClosedActionExecute();
    PumpAll();
    EXPECT_FALSE(FTable->Closed());
    ExpectTheOutlineIsTheOnePartPicture("opened");
}

TEST_F(FormOutline, WithPainterModeOffAChangeBuildsNoOutlineUntilItIsOnAgain)
{
    TPolypadForm& form = OpenLargeContour();
    form.PainterModeActionExecute();
    PumpAll();
    ASSERT_EQ(hostsim::OverlayPixelCount(FHost.get()), 0);

    const long calls = hostsim::CallCount();
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += std::to_string(452200 + i % 70) + "\t" + std::to_string(1385200 + i / 35) + "\n";
    form.FClipboard->SetText(Widen(text));
    form.PasteFromClipboardActionExecute();
    PumpAll();
    ASSERT_EQ(FTable->Count(), 3000);
    EXPECT_LT(hostsim::CallCount() - calls, 3000 / 2) << "no outline is built while painter mode is off";
    EXPECT_EQ(hostsim::OverlayPixelCount(FHost.get()), 0);

    std::vector<unsigned> expected = OnePartPicture();
    const std::vector<unsigned> marker = MarkerPicture();
    for (std::size_t i = 0; i < expected.size(); ++i)
        expected[i] ^= marker[i];
    form.PainterModeActionExecute();
    PumpAll();
    EXPECT_TRUE(hostsim::OverlayPixels(FHost.get()) == expected) << "the pasted contour, not the one before";

    // Closing the window takes every piece off the map.
    CloseByUser();
    PumpAll();
    EXPECT_EQ(hostsim::OverlayPixelCount(FHost.get()), 0);
}

TEST_F(FormOutline, AnOutlineBuiltOverManyMessagesEndsUpAsTheTableIsThen)
{
    TPolypadForm& form = OpenLargeContour();
    // One piece per message: a new contour takes dozens of them.
    form.FOutlineSliceBudget = {};
    std::string text;
    for (int i = 0; i < 8000; ++i)
        text += std::to_string(452150 + i % 100) + "\t" + std::to_string(1385150 + i / 40) + "\n";
    form.FClipboard->SetText(Widen(text));
    const long rebuilds = form.ContourHintRebuilds();
    form.PasteFromClipboardActionExecute();
    // A few messages in, the user deletes a row: the rest is built for the rows as they are then.
    for (int i = 0; i < 5; ++i) {
        MSG message;
        if (::PeekMessageW(&message, form.FTableWindow->Handle(), 0, 0, PM_REMOVE))
            ::DispatchMessageW(&message);
    }
    EXPECT_EQ(form.ContourHintRebuilds(), rebuilds) << "not yet whole";
    form.SimpleGrid->MoveToDataCell(form.SimpleGrid->DataCol(), 4000);
    form.DeleteRowActionExecute();
    ASSERT_EQ(FTable->Count(), 7999);
    PumpAll();
    EXPECT_GT(form.ContourHintRebuilds(), rebuilds);
    ExpectTheOutlineIsTheOnePartPicture("built piece by piece");
}

// Cells typed while a new outline is still being built, and two far apart before the outline
// follows them: the outline ends up as the table is, building only around the typed rows once
// it is whole.
TEST_F(FormOutline, CellsTypedWhileTheOutlineIsBuiltOrTwoAtOnceEndUpShown)
{
    TPolypadForm& form = OpenLargeContour();
    const auto budget = form.FOutlineSliceBudget;
    form.FOutlineSliceBudget = {};
    std::string text;
    for (int i = 0; i < 8000; ++i)
        text += std::to_string(452150 + i % 100) + "\t" + std::to_string(1385150 + i / 40) + "\n";
    form.FClipboard->SetText(Widen(text));
    form.PasteFromClipboardActionExecute();
    for (int i = 0; i < 5; ++i) {
        MSG message;
        if (::PeekMessageW(&message, form.FTableWindow->Handle(), 0, 0, PM_REMOVE))
            ::DispatchMessageW(&message);
    }
    // The next messages have time to finish the outline.
    form.FOutlineSliceBudget = budget;
    const int x = form.FindGridColumn(TableColumnCaption(ckX));
    form.SimpleGridSetDataValue(x, 1000, TGridValue::Float(452400));
    form.SimpleGridSetDataValue(x, 6000, TGridValue::Float(452410));
    PumpAll();
    ExpectTheOutlineIsTheOnePartPicture("cells typed while it was built");

    form.SimpleGridSetDataValue(x, 100, TGridValue::Float(452420));
    form.SimpleGridSetDataValue(x, 7000, TGridValue::Float(452430));
    PumpAll();
    ASSERT_EQ(FTable->GetX(7000), 452430);
    EXPECT_LE(form.FOutline->LastBuilt(), 4);
    ExpectTheOutlineIsTheOnePartPicture("two cells far apart");
}

// Rows deleted by the user where a piece begins and where it ends, and row 0 of the closed
// contour (where the closing piece ends): the outline is the contour drawn as one part.
TEST_F(FormOutline, DeletingAtThePiecesEndsAndRowZeroKeepsTheOutlineWhole)
{
    TPolypadForm& form = OpenLargeContour();
    ASSERT_TRUE(FTable->Closed());
    const ContourParts::TContourPart& part = FTable->ContourPart();
    const std::vector<TVertexRecord> rows(part.Vertices.begin(), part.Vertices.end());
    const std::vector<TOutlinePiece> pieces = SplitOutline(rows, true);
    ASSERT_GT(pieces.size(), 4u);
    const TOutlinePiece middle = pieces[pieces.size() / 2];
    struct TCase {
        const char* What;
        int Row;
    };
    // The later row first, so that the earlier one is still where it was.
    const TCase cases[] = {
        {"a piece's last row", middle.First + middle.Count - 1},
        {"a piece's first row", middle.First},
        {"row 0", 0},
    };
    int count = FTable->Count();
    for (const TCase& c : cases) {
        ClickCell(ckX, c.Row);
        ASSERT_EQ(CurrentRow(), c.Row);
        Press(VK_DELETE, true);
        PumpAll();
        ASSERT_EQ(FTable->Count(), --count) << c.What;
        EXPECT_LE(form.FOutline->LastBuilt(), 3) << c.What;
        ExpectTheOutlineIsTheOnePartPicture(c.What);
    }
}
