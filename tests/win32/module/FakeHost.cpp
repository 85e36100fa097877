#include "FakeHost.h"

#include "CoreLib/FloatPrecision.h"

#include <algorithm>

namespace fakehost {
namespace {

TFakeState GState;

HRESULT Enter(const char* operation)
{
    GState.Calls.emplace_back(operation);
    GState.CallPrecisions.push_back(FloatPrecision::Precision());
    if (GState.FailOperation != operation)
        return S_OK;
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(::CreateErrorInfo(&create))) {
        create->SetDescription(const_cast<LPOLESTR>(GState.FailMessage.c_str()));
        create->SetSource(const_cast<LPOLESTR>(L"FakeHost"));
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            ::SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return GState.FailCode;
}

template <class I>
class TFake : public I {
public:
    TFake() { ++GState.LiveObjects; }
    virtual ~TFake() { --GState.LiveObjects; }

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(I)) {
            *object = static_cast<I*>(this);
            this->AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++FRefs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG count = --FRefs;
        if (count == 0)
            delete this;
        return count;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

private:
    ULONG FRefs = 1;
};

#define RESERVED(n) \
    STDMETHODIMP Reserved##n() override { return E_NOTIMPL; }

template <class T, class I>
HRESULT Give(I** result)
{
    *result = new T();
    return S_OK;
}

class TAction : public TFake<IHostAction> {
public:
    RESERVED(7) RESERVED(8) RESERVED(9)
    STDMETHODIMP SetChecked(VARIANT_BOOL) override { return Enter("IHostAction.SetChecked"); }
};

class TActionList : public TFake<IHostActionList> {
public:
    RESERVED(7)
    STDMETHODIMP Item(VARIANT name, IHostAction** result) override
    {
        *result = nullptr;
        if (HRESULT hr = Enter("IHostActionList.Item"); FAILED(hr))
            return hr;
        GState.LastActionName = V_VT(&name) == VT_BSTR ? std::wstring(V_BSTR(&name), ::SysStringLen(V_BSTR(&name)))
                                                       : L"<not a string>";
        if (GState.NoAction)
            return S_OK;
        return Give<TAction>(result);
    }
};

class TTransform : public TFake<IHostSurfaceTransform> {
public:
    STDMETHODIMP MapToSurface(double x, double y, double* sx, double* sy) override
    {
        if (HRESULT hr = Enter("IHostSurfaceTransform.MapToSurface"); FAILED(hr))
            return hr;
        *sx = GState.A * x + GState.C * y + GState.E;
        *sy = GState.B * x + GState.D * y + GState.F;
        return S_OK;
    }
    RESERVED(8) RESERVED(9) RESERVED(10) RESERVED(11) RESERVED(12) RESERVED(13) RESERVED(14) RESERVED(15)
    RESERVED(16)
    STDMETHODIMP get_Scale(double* result) override
    {
        *result = 1;
        return S_OK;
    }
};

class TSurface : public TFake<IHostSurface> {
public:
    RESERVED(7) RESERVED(8) RESERVED(9) RESERVED(10)
    STDMETHODIMP get_Transform(IHostSurfaceTransform** result) override
    {
        *result = nullptr;
        if (HRESULT hr = Enter("IHostSurface.Transform"); FAILED(hr))
            return hr;
        return Give<TTransform>(result);
    }
    STDMETHODIMP get_Pen(IHostPen** result) override
    {
        *result = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP get_Brush(IHostBrush** result) override
    {
        *result = nullptr;
        return E_NOTIMPL;
    }
    RESERVED(14)
    STDMETHODIMP DrawContour(IHostContour*, VARIANT_BOOL) override { return Enter("IHostSurface.DrawContour"); }
};

class TMapWindow : public TFake<IHostMapWindow> {
public:
    STDMETHODIMP get_Surface(IHostSurface** result) override
    {
        *result = nullptr;
        if (HRESULT hr = Enter("IHostMapWindow.Surface"); FAILED(hr))
            return hr;
        return Give<TSurface>(result);
    }
    STDMETHODIMP get_Navigator(IHostNavigator** result) override
    {
        *result = nullptr;
        return E_NOTIMPL;
    }
};

class TMainWindow : public TFake<IHostMainWindow> {
public:
    STDMETHODIMP get_Handle(long* result) override
    {
        *result = 0;
        return Enter("IHostMainWindow.Handle");
    }
    STDMETHODIMP get_MapWindow(IHostMapWindow** result) override
    {
        *result = nullptr;
        if (HRESULT hr = Enter("IHostMainWindow.MapWindow"); FAILED(hr))
            return hr;
        return Give<TMapWindow>(result);
    }
    RESERVED(9)
    STDMETHODIMP get_Actions(IHostActionList** result) override
    {
        *result = nullptr;
        if (HRESULT hr = Enter("IHostMainWindow.Actions"); FAILED(hr))
            return hr;
        return Give<TActionList>(result);
    }
    RESERVED(11)
    STDMETHODIMP CreatePane(BSTR, BSTR, IHostPane** result) override
    {
        *result = nullptr;
        return E_NOTIMPL;
    }
};

class TContourPart : public TFake<IHostContourPart> {
public:
    explicit TContourPart(std::size_t index) : FIndex(index) {}
    STDMETHODIMP VertexCount(long* result) override
    {
        *result = static_cast<long>(GState.Parts[FIndex].Vertices.size());
        return S_OK;
    }
    STDMETHODIMP GetVertex(long, double*, double*, double*) override { return E_NOTIMPL; }
    RESERVED(9)
    STDMETHODIMP InsertVertex(long index, double x, double y, double convexity) override
    {
        if (HRESULT hr = Enter("IHostContourPart.InsertVertex"); FAILED(hr))
            return hr;
        if (index != -1)
            return E_INVALIDARG;
        GState.Parts[FIndex].Vertices.push_back({x, y, convexity});
        return S_OK;
    }
    STDMETHODIMP get_Closed(VARIANT_BOOL* result) override
    {
        *result = GState.Parts[FIndex].Closed;
        return S_OK;
    }
    STDMETHODIMP SetClosed(VARIANT_BOOL closed) override
    {
        if (HRESULT hr = Enter("IHostContourPart.SetClosed"); FAILED(hr))
            return hr;
        GState.Parts[FIndex].ClosedSet = true;
        GState.Parts[FIndex].Closed = closed;
        return S_OK;
    }

private:
    std::size_t FIndex;
};

class TContour : public TFake<IHostContour> {
public:
    STDMETHODIMP PartCount(long* result) override
    {
        *result = static_cast<long>(GState.Parts.size());
        return S_OK;
    }
    STDMETHODIMP Part(long, IHostContourPart**) override { return E_NOTIMPL; }
    RESERVED(9)
    STDMETHODIMP InsertPart(long index, IHostContourPart** result) override
    {
        *result = nullptr;
        if (HRESULT hr = Enter("IHostContour.InsertPart"); FAILED(hr))
            return hr;
        if (index != -1)
            return E_INVALIDARG;
        GState.Parts.emplace_back();
        *result = new TContourPart(GState.Parts.size() - 1);
        return S_OK;
    }
    STDMETHODIMP Clear() override { return E_NOTIMPL; }
    RESERVED(12) RESERVED(13)
    STDMETHODIMP Assign(IHostContour*) override { return E_NOTIMPL; }
};

class TApplication : public TFake<IHostApplication> {
public:
    STDMETHODIMP get_MainWindow(IHostMainWindow** result) override
    {
        *result = nullptr;
        if (HRESULT hr = Enter("IHostApplication.MainWindow"); FAILED(hr))
            return hr;
        return Give<TMainWindow>(result);
    }
    STDMETHODIMP get_Selection(IHostSelection** result) override
    {
        *result = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP get_Project(IHostProject** result) override
    {
        *result = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP get_ActiveMapView(IHostMapView** result) override
    {
        *result = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP get_Settings(IHostSettings** result) override
    {
        *result = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP CreateGeometry(long kind, VARIANT parameters, IDispatch** result) override
    {
        *result = nullptr;
        if (HRESULT hr = Enter("IHostApplication.CreateGeometry"); FAILED(hr))
            return hr;
        GState.GeometryKind = kind;
        GState.GeometryParameterType = V_VT(&parameters);
        if (V_VT(&parameters) == VT_BSTR)
            GState.GeometryParameterText.assign(V_BSTR(&parameters), ::SysStringLen(V_BSTR(&parameters)));
        GState.Parts.clear();
        *result = new TContour();
        return S_OK;
    }
};

} // namespace

long TFakeState::CountCalls(const std::string& operation) const
{
    return static_cast<long>(std::count(Calls.begin(), Calls.end(), operation));
}

TFakeState& State() { return GState; }

void Reset()
{
    const long live = GState.LiveObjects;
    GState = TFakeState{};
    GState.LiveObjects = live;
}

IHostApplication* CreateApplication() { return new TApplication(); }

} // namespace fakehost
