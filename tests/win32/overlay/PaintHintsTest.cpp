// The overlay items: the Host calls of one drawing, and the exclusive-or bookkeeping that keeps
// the map as it was after every pair of drawings (updates, painter mode, the repaint pairs).
#include "CoreLib/Errors.h"
#include "Polypad/OrvexPaintHints.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// IUnknown and IDispatch of a fake Host object; the interface's own methods are the fake's.
template <class I>
class FakeObject : public I {
public:
    virtual ~FakeObject() = default;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++RefCount; }
    ULONG STDMETHODCALLTYPE Release() override { return --RefCount; } // owned by the test
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(I)) {
            *out = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    ULONG RefCount = 1;
};

using Log = std::vector<std::string>;

class FakeContour : public FakeObject<IHostContour> {
public:
    HRESULT STDMETHODCALLTYPE PartCount(long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Part(long, IHostContourPart**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InsertPart(long, IHostContourPart**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clear() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved12() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved13() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Assign(IHostContour*) override { return E_NOTIMPL; }
};

class FakePen : public FakeObject<IHostPen> {
public:
    explicit FakePen(Log& log) : L(log) {}
    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStyle(long v) override { return Put("style", v); }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetWidth(double v) override { return Put("width", v); }
    HRESULT STDMETHODCALLTYPE Reserved11() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSecondWidth(double v) override { return Put("width2", v); }
    HRESULT STDMETHODCALLTYPE Reserved13() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetColor(long v) override { return Put("color", v); }
    HRESULT STDMETHODCALLTYPE Reserved15() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMode(long v) override { return Put("mode", v); }

private:
    HRESULT Put(const char* what, double v)
    {
        L.push_back(Format("%s %g", what, v));
        return S_OK;
    }
    Log& L;
};

class FakeBrush : public FakeObject<IHostBrush> {
public:
    explicit FakeBrush(Log& log) : L(log) {}
    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStyle(long v) override
    {
        L.push_back(Format("brush %ld", v));
        return S_OK;
    }

private:
    Log& L;
};

// Keeps the overlay as exclusive-or parity per contour, as the Host's overlay layer does.
class FakeSurface : public FakeObject<IHostSurface> {
public:
    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Transform(IHostSurfaceTransform**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Pen(IHostPen** out) override { return Give(Pen, out); }
    HRESULT STDMETHODCALLTYPE get_Brush(IHostBrush** out) override { return Give(Brush, out); }
    HRESULT STDMETHODCALLTYPE Reserved14() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DrawContour(IHostContour* contour, VARIANT_BOOL flag) override
    {
        if (FailDrawing)
            return E_FAIL;
        Calls.push_back(Format("draw %s", flag == VARIANT_TRUE ? "true" : "false"));
        ++Draws;
        Overlay[contour] ^= 1;
        return S_OK;
    }

    bool Clean() const
    {
        for (const auto& [contour, on] : Overlay)
            if (on)
                return false;
        return true;
    }
    bool Drawn(IHostContour* contour) const
    {
        auto it = Overlay.find(contour);
        return it != Overlay.end() && it->second;
    }

    Log Calls;
    FakePen Pen{Calls};
    FakeBrush Brush{Calls};
    std::map<IHostContour*, int> Overlay;
    int Draws = 0;
    bool FailDrawing = false;

private:
    template <class T, class I>
    HRESULT Give(T& object, I** out)
    {
        object.AddRef();
        *out = &object;
        return S_OK;
    }
};

class FakeMapWindow : public FakeObject<IHostMapWindow> {
public:
    HRESULT STDMETHODCALLTYPE get_Surface(IHostSurface** out) override
    {
        Surface.AddRef();
        *out = &Surface;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Navigator(IHostNavigator**) override { return E_NOTIMPL; }
    FakeSurface Surface;
};

const TPaintHintPen kOutlinePen{1, 0.5, 0.25, 0x00FFFF};

class PaintHintsTest : public ::testing::Test {
protected:
    TPaintHint* AddHint(FakeContour& contour)
    {
        auto* hint = new TPaintHint(&contour, true, kOutlinePen);
        Manager.AddHint(hint);
        return hint;
    }
    int Draws() const { return Map.Surface.Draws; }

    FakeMapWindow Map;
    FakeContour Outline, Marker;
    TPaintHintManager Manager{&Map};
};

TEST_F(PaintHintsTest, OneDrawingSetsThePenAndBrushThenDrawsTheContour)
{
    TPaintHint hint(&Outline, false, kOutlinePen);
    hint.Draw(&Map.Surface);
    EXPECT_THAT(Map.Surface.Calls, ElementsAre("style 1", "width 0.5", "width2 0.25", "color 65535", "mode 14",
                                               "brush 1", "draw false"));
    EXPECT_EQ(OverlayColor(0xFFFFFF), 0x00FFFFu); // shows as blue over a white map
}

TEST_F(PaintHintsTest, HintsAreDrawnWhenAddedAndErasedWhenRemoved)
{
    TPaintHint* hint = AddHint(Outline);
    EXPECT_TRUE(Map.Surface.Drawn(&Outline));
    EXPECT_EQ(Outline.RefCount, 2);
    Manager.Delete(Manager.IndexOf(hint));
    EXPECT_TRUE(Map.Surface.Clean());
    EXPECT_EQ(Outline.RefCount, 1); // the hint was destroyed with its contour reference
}

TEST_F(PaintHintsTest, NestedUpdateErasesOnceAndDrawsOnce)
{
    TPaintHint* hint = AddHint(Outline);
    const int before = Draws();
    hint->BeginUpdate();
    EXPECT_FALSE(Map.Surface.Drawn(&Outline));
    hint->BeginUpdate();
    hint->EndUpdate();
    EXPECT_EQ(Draws(), before + 1);
    hint->EndUpdate();
    EXPECT_EQ(Draws(), before + 2);
    EXPECT_TRUE(Map.Surface.Drawn(&Outline));
}

TEST_F(PaintHintsTest, EndUpdateWithoutBeginUpdateIsAnAssertion)
{
    TPaintHint* hint = AddHint(Outline);
    try {
        hint->EndUpdate();
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_THAT(e.what(), HasSubstr("Assertion failure (Polypad/OrvexPaintHints.cpp, line "));
    }
    EXPECT_EQ(hint->LockCount(), 0);
}

TEST_F(PaintHintsTest, RepaintPairLeavesTheMapAsItWas)
{
    AddHint(Outline);
    AddHint(Marker);
    Manager.DrawAll(&Map.Surface); // the Host repaints: overlay gone with the old image
    EXPECT_FALSE(Manager.Shown());
    Manager.DrawAll(&Map.Surface);
    EXPECT_TRUE(Manager.Shown());
    EXPECT_TRUE(Map.Surface.Drawn(&Outline));
    EXPECT_TRUE(Map.Surface.Drawn(&Marker));
}

TEST_F(PaintHintsTest, ARepaintWithoutASurfaceKeepsTheParityOfWhatIsOnTheMap)
{
    AddHint(Outline);
    const int before = Draws();
    Manager.DrawAll(nullptr);
    EXPECT_EQ(Draws(), before);
    EXPECT_TRUE(Manager.Shown()) << "nothing was erased";
    // The next real pair still takes the outline off and puts it back, and removal erases it.
    Manager.DrawAll(&Map.Surface);
    EXPECT_FALSE(Map.Surface.Drawn(&Outline));
    Manager.DrawAll(&Map.Surface);
    EXPECT_TRUE(Map.Surface.Drawn(&Outline));
    Manager.Delete(0);
    EXPECT_TRUE(Map.Surface.Clean());
}

TEST_F(PaintHintsTest, WhileNotShownStateChangesButNothingIsDrawn)
{
    TPaintHint* hint = AddHint(Outline);
    Manager.DrawAll(&Map.Surface);
    const int before = Draws();
    hint->BeginUpdate();
    hint->EndUpdate();
    hint->SetVisible(false);
    EXPECT_FALSE(hint->Visible());
    hint->SetVisible(true);
    hint->Refresh();
    EXPECT_EQ(Draws(), before);
}

TEST_F(PaintHintsTest, PainterModeOffRemovesEverythingAndOnRestoresIt)
{
    AddHint(Outline);
    AddHint(Marker);
    Manager.SetPainting(false);
    EXPECT_TRUE(Map.Surface.Clean());
    EXPECT_TRUE(Manager.Shown());
    EXPECT_FALSE(Manager.Hint(0)->Visible());
    const int before = Draws();
    Manager.SetPainting(false);
    EXPECT_EQ(Draws(), before);

    Manager.SetPainting(true);
    EXPECT_EQ(Draws(), before + 2);
    EXPECT_TRUE(Map.Surface.Drawn(&Outline));
    EXPECT_TRUE(Map.Surface.Drawn(&Marker));
}

TEST_F(PaintHintsTest, LockedHintIsSkippedByRepaintsAndRemoval)
{
    TPaintHint* hint = AddHint(Outline);
    hint->BeginUpdate();
    const int before = Draws();
    Manager.DrawAll(&Map.Surface);
    Manager.DrawAll(&Map.Surface);
    Manager.Delete(0);
    EXPECT_EQ(Draws(), before);
    EXPECT_TRUE(Map.Surface.Clean());
}

TEST_F(PaintHintsTest, FailingHostDoesNotKeepHintsAlive)
{
    {
        TPaintHintManager manager(&Map);
        manager.AddHint(new TPaintHint(&Outline, true, kOutlinePen));
        manager.AddHint(new TPaintHint(&Marker, true, kOutlinePen));
        Map.Surface.FailDrawing = true;
        EXPECT_THROW(manager.Delete(0), EComError);
        EXPECT_EQ(manager.Count(), 1);
    }
    EXPECT_EQ(Outline.RefCount, 1);
    EXPECT_EQ(Marker.RefCount, 1);
    Map.Surface.FailDrawing = false;
}

} // namespace
