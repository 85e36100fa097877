// Fault injection, error information, the dispatch interface and the live-object counter.
#include "HostSimTestSupport.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;

namespace {

constexpr HRESULT kPlanned = static_cast<HRESULT>(0x80040201);

} // namespace

class FaultPlan : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        Open(false);
    }
};

TEST_F(FaultPlan, TheNthCallFailsOnceWithTheMessage)
{
    TPtr<IHostSelection> selection;
    hostsim::FailNthCall(2, kPlanned, L"Сбой номер два");
    const long before = hostsim::CallCount();
    ASSERT_HRESULT_SUCCEEDED(App->get_Selection(selection.out()));
    LONG count = -1;
    EXPECT_EQ(selection->get_Count(&count), kPlanned);
    EXPECT_EQ(count, -1) << "a failing call leaves its result alone";
    EXPECT_EQ(LastErrorMessage(), L"Сбой номер два");
    EXPECT_HRESULT_SUCCEEDED(selection->get_Count(&count));
    EXPECT_EQ(hostsim::CallCount() - before, 3);
}

TEST_F(FaultPlan, EveryCallOfAnOperationFailsUntilCleared)
{
    hostsim::FailOperation(L"IHostSettings.ReadString", E_ACCESSDENIED, L"Настройки недоступны");
    TPtr<IHostSettings> settings;
    ASSERT_HRESULT_SUCCEEDED(App->get_Settings(settings.out()));
    TBstr value;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(settings->ReadString(1, 0, TBstr(L"k").get(), TBstr(L"d").get(), value.out()), E_ACCESSDENIED);
    EXPECT_HRESULT_SUCCEEDED(settings->WriteString(1, 0, TBstr(L"k").get(), TBstr(L"v").get()));
    hostsim::ClearFaults();
    EXPECT_HRESULT_SUCCEEDED(settings->ReadString(1, 0, TBstr(L"k").get(), TBstr(L"d").get(), value.out()));
    EXPECT_EQ(value.text(), L"v");
}

TEST_F(FaultPlan, ErrorInformationNamesTheInterfaceAndSource)
{
    TPtr<IHostProject> project;
    TPtr<IHostObjectStore> store;
    TPtr<IHostMapObject> object;
    ASSERT_HRESULT_SUCCEEDED(App->get_Project(project.out()));
    ASSERT_HRESULT_SUCCEEDED(project->get_Objects(store.out()));
    EXPECT_EQ(store->ObjectById(4242, object.out()), E_INVALIDARG);
    IErrorInfo* info = nullptr;
    ASSERT_EQ(::GetErrorInfo(0, &info), S_OK);
    GUID iid{};
    TBstr source, description;
    info->GetGUID(&iid);
    info->GetSource(source.out());
    info->GetDescription(description.out());
    info->Release();
    EXPECT_TRUE(::IsEqualGUID(iid, IID_IHostObjectStore));
    EXPECT_EQ(source.text(), L"Orvex");
    EXPECT_THAT(description.text(), HasSubstr(L"4242"));

    TPtr<ISupportErrorInfo> support;
    ASSERT_HRESULT_SUCCEEDED(store->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(support.out())));
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IHostObjectStore), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IHostSelection), S_FALSE);
    // A successful call clears stale error information.
    ASSERT_HRESULT_SUCCEEDED(store->ObjectById(101, object.out()));
    EXPECT_EQ(LastErrorMessage(), L"");
}

TEST_F(FaultPlan, DispatchCallersGetResultsAndExceptionsThroughTheTypeLibrary)
{
    TPtr<IHostSettings> settings;
    ASSERT_HRESULT_SUCCEEDED(App->get_Settings(settings.out()));
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"ReadString")};
    DISPID id = 0;
    ASSERT_HRESULT_SUCCEEDED(settings->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    EXPECT_EQ(id, 7);

    VARIANT args[4];
    for (VARIANT& a : args)
        ::VariantInit(&a);
    // Arguments in reverse: default, key, flags, section.
    args[0].vt = VT_BSTR;
    args[0].bstrVal = ::SysAllocString(L"по умолчанию");
    args[1].vt = VT_BSTR;
    args[1].bstrVal = ::SysAllocString(L"Нет такого");
    args[2].vt = VT_I4;
    args[2].lVal = 0;
    args[3].vt = VT_I4;
    args[3].lVal = 1;
    DISPPARAMS params{args, nullptr, 4, 0};
    VARIANT result;
    ::VariantInit(&result);
    EXCEPINFO exception{};
    ASSERT_HRESULT_SUCCEEDED(settings->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception, nullptr));
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_STREQ(result.bstrVal, L"по умолчанию");
    ::VariantClear(&result);

    hostsim::FailOperation(L"IHostSettings.ReadString", kPlanned, L"Сбой чтения");
    EXPECT_EQ(settings->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, kPlanned);
    ASSERT_TRUE(exception.bstrDescription);
    EXPECT_STREQ(exception.bstrDescription, L"Сбой чтения");
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrHelpFile);
    for (VARIANT& a : args)
        ::VariantClear(&a);
}

TEST_F(FaultPlan, ReservedSlotsAnswerNotImplemented)
{
    TPtr<IHostProject> project;
    ASSERT_HRESULT_SUCCEEDED(App->get_Project(project.out()));
    EXPECT_EQ(project->Reserved7(), E_NOTIMPL);
}

class LiveObjects : public HostFixture {};

TEST_F(LiveObjects, EveryObjectIsCountedUntilItsLastRelease)
{
    Open(false);
    const long withApplication = hostsim::LiveObjects();
    EXPECT_EQ(withApplication, LiveBefore + 1);
    {
        TPtr<IHostMainWindow> main;
        TPtr<IHostMapWindow> map;
        TPtr<IHostSurface> surface;
        ASSERT_HRESULT_SUCCEEDED(App->get_MainWindow(main.out()));
        ASSERT_HRESULT_SUCCEEDED(main->get_MapWindow(map.out()));
        ASSERT_HRESULT_SUCCEEDED(map->get_Surface(surface.out()));
        EXPECT_EQ(hostsim::LiveObjects(), withApplication + 3);
        surface->AddRef();
        surface->Release();
        EXPECT_EQ(hostsim::LiveObjects(), withApplication + 3);
    }
    EXPECT_EQ(hostsim::LiveObjects(), withApplication);
    // A failing getter hands out nothing.
    hostsim::FailOperation(L"IHostApplication.Selection", kPlanned, L"x");
    TPtr<IHostSelection> selection;
    EXPECT_EQ(App->get_Selection(selection.out()), kPlanned);
    EXPECT_EQ(hostsim::LiveObjects(), withApplication);
    // The fixture's tear-down checks that releasing the application frees everything.
}
