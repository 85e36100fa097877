// TPolypadComModule, the automation object the Host creates: IPolypadComModule (dual; IDispatch
// through the module type library's cached ITypeInfo) and ISupportErrorInfo.
//
// Owns the coordinate table (Init to Done), the hidden notification window and the Host
// references FHost and FAction (until Done) and FPane (until the object dies). The editor window
// destroys itself and reports that through FormDestroyed; FForm only points at it. A window whose
// destruction is asked for while a message box is open is owned by FDyingForms until the boxes
// have returned (the object keeps a reference to itself meanwhile; see DestroyForm).
#pragma once

#include "Polypad/ComUtils.h"
#include "Polypad/Coordinates.h"
#include "controls/WinHandles.h"

#include "HostTypes.h"
#include "Polypad_TLB.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

class TPolypadForm;

class TPolypadComModule final : public IPolypadComModule, public ISupportErrorInfo {
public:
    TPolypadComModule();
    ~TPolypadComModule();
    TPolypadComModule(const TPolypadComModule&) = delete;
    TPolypadComModule& operator=(const TPolypadComModule&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** typeInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

    // IPolypadComModule
    STDMETHODIMP Init(IHostApplication* Orvex, BSTR ActionName) override;
    STDMETHODIMP Done() override;
    STDMETHODIMP ShowHideForm() override;
    STDMETHODIMP Synchronize() override;
    STDMETHODIMP RepaintDragging(IHostSurface* aSurface) override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

    // Class of FNotifyWindow.
    static constexpr wchar_t NotifyWindowClass[] = L"TPolypadNotifyWindow";

private:
    void DoInit(IHostApplication* host, BSTR actionName);
    void DoDone();
    void CreateNotifyWindow();
    void CreateForm(bool keepEditing);
    void DestroyForm();
    void DestroyFormAfterBoxes();
    void ScheduleDyingFormsCleanup();
    void DeleteDyingForms();
    void FormDestroyed();
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK NotifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    LONG FRefCount = 0;

    TComPtr<IHostApplication> FHost;
    TComPtr<IHostPane> FPane;
    TPolypadForm* FForm = nullptr;
    std::unique_ptr<TTable> FTable;
    std::uint8_t FFormType = 0;
    TUniqueWindow FNotifyWindow;
    TComPtr<IHostAction> FAction;
    bool FDestroyingForm = false;
    std::exception_ptr FDestroyError;
    std::vector<std::unique_ptr<TPolypadForm>> FDyingForms;
    std::unique_ptr<TTable> FDyingTable; // a table released by Done while its window was dying

public:
    // The editor window while it exists (for the tests).
    TPolypadForm* Form() const { return FForm; }
};

// The first top-level window of this process whose class name is exactly "TApplication"
// (12 characters, case ignored); 0 when there is none.
HWND FindHostApplicationWindow();
