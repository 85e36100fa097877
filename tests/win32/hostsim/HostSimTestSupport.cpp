#include "HostSimTestSupport.h"

#include <cstdio>
#include <sstream>

std::wstring LastErrorMessage()
{
    IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) != S_OK || !info)
        return {};
    TBstr description;
    info->GetDescription(description.out());
    info->Release();
    return description.text();
}

namespace {

std::wstring TestDir(const char* testName)
{
    std::wstring dir = HOSTSIM_TEST_DIR_W L"/data";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    dir += L"/";
    for (const char* p = testName; *p; ++p)
        dir += static_cast<wchar_t>(*p);
    ::CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

} // namespace

std::wstring CopyExampleProject(const char* testName)
{
    const std::wstring path = TestDir(testName) + L"/example.orvex";
    ::DeleteFileW((path + L".settings").c_str());
    EXPECT_TRUE(::CopyFileW(HOSTSIM_EXAMPLE_W, path.c_str(), FALSE));
    return path;
}

std::wstring WriteProjectFile(const char* testName, const std::string& text)
{
    const std::wstring path = TestDir(testName) + L"/project.orvex";
    FILE* file = _wfopen(path.c_str(), L"wb");
    EXPECT_TRUE(file != nullptr);
    if (file) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    return path;
}

void HostFixture::SetUp()
{
    ASSERT_HRESULT_SUCCEEDED(::OleInitialize(nullptr));
    hostsim::ClearFaults();
    LiveBefore = hostsim::LiveObjects();
    ProjectPath = CopyExampleProject(::testing::UnitTest::GetInstance()->current_test_info()->name());
}

void HostFixture::Open(bool withWindows)
{
    ASSERT_HRESULT_SUCCEEDED(hostsim::CreateApplication(ProjectPath.c_str(), withWindows, App.out()))
        << ::testing::PrintToString(LastErrorMessage());
}

void HostFixture::TearDown()
{
    hostsim::ClearFaults();
    App.reset();
    hostsim::PumpMessages();
    EXPECT_EQ(hostsim::LiveObjects(), LiveBefore) << "Host objects leaked by the test";
    ::OleUninitialize();
}

std::wstring ShapeText(IHostApplication* app, long objectId, long shapeIndex)
{
    std::wostringstream out;
    TPtr<IHostProject> project;
    TPtr<IHostObjectStore> store;
    TPtr<IHostMapObject> object;
    TPtr<IHostShapeList> shapes;
    TPtr<IHostShape> shape;
    TPtr<IHostContour> contour;
    if (FAILED(app->get_Project(project.out())) || FAILED(project->get_Objects(store.out())) ||
        FAILED(store->ObjectById(objectId, object.out())) || FAILED(object->get_Shapes(shapes.out())) ||
        FAILED(shapes->Item(shapeIndex, shape.out())) || FAILED(shape->get_Contour(contour.out())))
        return L"<error>";
    LONG parts = 0;
    contour->PartCount(&parts);
    for (LONG i = 0; i < parts; ++i) {
        TPtr<IHostContourPart> part;
        contour->Part(i, part.out());
        LONG count = 0;
        VARIANT_BOOL closed = VARIANT_FALSE;
        part->VertexCount(&count);
        part->get_Closed(&closed);
        if (i)
            out << L" / ";
        out << (closed ? L"closed:" : L"open:");
        for (LONG k = 0; k < count; ++k) {
            double x = 0, y = 0, c = 0;
            part->GetVertex(k, &x, &y, &c);
            out << (k ? L"|" : L"") << x << L" " << y << L" " << c;
        }
    }
    return out.str();
}
