// CreateApplication and the in-process API of HostSimApi.h over THostState.
#include "hostsim/HostSimApi.h"
#include "hostsim/HostObjects.h"
#include "hostsim/MainWindow.h"
#include "hostsim/MapGeometry.h"
#include "hostsim/Screenshot.h"

#include "controls/WinHandles.h"

#include <algorithm>
#include <charconv>

namespace hostsim {

namespace {

// The windowless application's UI: panes are hidden children of the application window.
class THiddenUi : public THostUi {
public:
    explicit THiddenUi(THostState& state) : FState(state) {}
    HWND MainWindowHandle() override { return FState.ApplicationWindow; }
    HWND CreatePane(const std::wstring& name, const std::wstring&) override
    {
        return CheckWin32Handle(::CreateWindowExW(0, L"STATIC", name.c_str(), WS_CHILD, 0, 0, 400, 300,
                                                  FState.ApplicationWindow, nullptr, ::GetModuleHandleW(nullptr),
                                                  nullptr),
                                "CreateWindow pane");
    }
    void SetPaneVisible(HWND pane, bool visible) override { ::ShowWindow(pane, visible ? SW_SHOW : SW_HIDE); }
    void UpdatePane(HWND) override {}
    void SetCommandChecked(const std::wstring&, bool) override {}
    void MapChanged() override {}
    void ShowStatus(const std::wstring& text) override { FStatus = text; }
    std::wstring FStatus;

private:
    THostState& FState;
};

// Owns the UI of a state; lives in the state (see THostState::OwnedUi).
struct TUiHolder {
    std::unique_ptr<TMainWindow> Main;
    std::unique_ptr<THiddenUi> Hidden;
};

std::shared_ptr<THostState> Need(IHostApplication* application)
{
    auto state = StateOf(application);
    if (!state)
        throw EHostError(E_POINTER, "Не объект приложения Orvex");
    return state;
}

template <class Body>
HRESULT Guarded(Body&& body) noexcept
{
    try {
        body();
        return S_OK;
    } catch (const EHostError& e) {
        return ReportHostError(static_cast<HRESULT>(e.Code()), HostErrorText(e.what()), IID_IHostApplication);
    } catch (const std::exception& e) {
        return ReportHostError(E_FAIL, HostErrorText(e.what()), IID_IHostApplication);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

TMainWindow* MainOf(THostState& state) { return dynamic_cast<TMainWindow*>(state.Ui); }

std::string Number(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace

HRESULT CreateApplication(const wchar_t* projectFile, bool withWindows, IHostApplication** application)
{
    if (!application)
        return E_POINTER;
    *application = nullptr;
    return Guarded([&] {
        auto state = std::make_shared<THostState>();
        if (projectFile && *projectFile)
            state->OpenProject(projectFile);
        auto holder = std::make_shared<TUiHolder>();
        if (withWindows) {
            // The Host is a system-DPI-aware program: its windows, and the module's in its
            // process, are laid out for the screen's DPI rather than stretched by the system.
            ::SetProcessDPIAware();
            holder->Main = std::make_unique<TMainWindow>(*state);
            state->Ui = holder->Main.get();
            holder->Main->ProjectOpened();
        } else {
            holder->Hidden = std::make_unique<THiddenUi>(*state);
            state->Ui = holder->Hidden.get();
        }
        state->OwnedUi = holder;
        std::weak_ptr<THostState> weak = state;
        state->MakeSurface = [weak]() -> IDispatch* {
            auto s = weak.lock();
            return s ? NewSurface(s) : nullptr;
        };
        *application = new TApplicationObject(state);
    });
}

HRESULT AttachModule(IHostApplication* application, IDispatch* module, const wchar_t* commandName)
{
    return Guarded([&] {
        auto state = Need(application);
        if (!module)
            throw EHostError(E_POINTER, "Модуль не задан");
        module->AddRef();
        state->Module.reset(module);
        if (commandName && *commandName) {
            state->ModuleCommand = commandName;
            if (!state->FindCommand(commandName))
                state->Commands.insert(state->Commands.begin(), TCommand{commandName, false});
            if (TMainWindow* main = MainOf(*state))
                main->ProjectOpened();
        }
    });
}

void DetachModule(IHostApplication* application)
{
    auto state = StateOf(application);
    if (!state || !state->Module)
        return;
    state->SynchronizePending = false;
    state->Module.reset();
}

HRESULT OpenProject(IHostApplication* application, const wchar_t* projectFile)
{
    return Guarded([&] {
        auto state = Need(application);
        state->OpenProject(projectFile ? projectFile : L"");
        if (TMainWindow* main = MainOf(*state))
            main->ProjectOpened();
        state->SelectionChanged();
    });
}

HRESULT RunCommand(IHostApplication* application, const wchar_t* name)
{
    return Guarded([&] { Need(application)->RunCommand(name ? name : L""); });
}

bool CommandChecked(IHostApplication* application, const wchar_t* name)
{
    auto state = StateOf(application);
    const TCommand* command = state ? state->FindCommand(name ? name : L"") : nullptr;
    return command && command->Checked;
}

HRESULT SelectMapObject(IHostApplication* application, long objectId, long shapeIndex)
{
    return Guarded([&] {
        auto state = Need(application);
        const TMapObjectData& object = state->Store.Object(objectId);
        if (shapeIndex < -1 || shapeIndex >= static_cast<long>(object.Shapes.size()))
            throw EHostError(kHostInvalidArg, Format("У объекта %ld нет формы %ld", objectId, shapeIndex));
        state->Selection = {{static_cast<std::int32_t>(objectId), static_cast<std::int32_t>(shapeIndex)}};
        state->SelectionChanged();
    });
}

HRESULT SelectStaleObject(IHostApplication* application, long objectId, long shapeIndex)
{
    return Guarded([&] {
        auto state = Need(application);
        state->Selection = {{static_cast<std::int32_t>(objectId), static_cast<std::int32_t>(shapeIndex)}};
        state->SelectionChanged();
    });
}

HRESULT SetActiveLayer(IHostApplication* application, long layerId)
{
    return Guarded([&] {
        auto state = Need(application);
        state->Store.SetActiveLayer(layerId);
        if (TMainWindow* main = MainOf(*state))
            main->ProjectOpened();
    });
}

void SetMapViewActive(IHostApplication* application, bool active)
{
    if (auto state = StateOf(application))
        state->MapViewActive = active;
}

std::vector<std::wstring> CommittedTransactions(IHostApplication* application)
{
    std::vector<std::wstring> names;
    if (auto state = StateOf(application))
        for (const std::string& name : state->Store.CommittedTransactions())
            names.push_back(Widen(name));
    return names;
}

std::vector<std::wstring> RolledBackTransactions(IHostApplication* application)
{
    std::vector<std::wstring> names;
    if (auto state = StateOf(application))
        for (const std::string& name : state->Store.RolledBackTransactions())
            names.push_back(Widen(name));
    return names;
}

HRESULT ObjectGeometryText(IHostApplication* application, long objectId, std::wstring& text)
{
    return Guarded([&] {
        const TMapObjectData& object = Need(application)->Store.Object(objectId);
        std::string out = Format("object %d layer %d\n", object.Id, object.LayerId);
        for (std::size_t i = 0; i < object.Shapes.size(); ++i) {
            const TShapeData& shape = object.Shapes[i];
            out += Format("shape %u style %d geometry %d\n", static_cast<unsigned>(i), shape.StyleId,
                          shape.DefinesGeometry ? 1 : 0);
            for (std::size_t j = 0; j < shape.Contour.Parts.size(); ++j) {
                const TPartData& part = shape.Contour.Parts[j];
                out += Format("part %u %s\n", static_cast<unsigned>(j), part.Closed ? "closed" : "open");
                for (const TVertexData& v : part.Vertices)
                    out += Number(v.X) + "\t" + Number(v.Y) + "\t" + Number(v.Convexity) + "\n";
            }
        }
        text = Widen(out);
    });
}

std::wstring ReadSetting(IHostApplication* application, const wchar_t* key, const wchar_t* defaultValue)
{
    auto state = StateOf(application);
    if (!state)
        return defaultValue ? defaultValue : L"";
    return Widen(state->Settings.Read(1, Narrow(key ? key : L""), Narrow(defaultValue ? defaultValue : L"")));
}

long OverlayPixelCount(IHostApplication* application)
{
    auto state = StateOf(application);
    return state ? state->Overlay.CountSetPixels() : 0;
}

std::vector<unsigned> OverlayPixels(IHostApplication* application)
{
    auto state = StateOf(application);
    return state ? state->Overlay.Pixels() : std::vector<unsigned>{};
}

HWND MapWindowHandle(IHostApplication* application)
{
    auto state = StateOf(application);
    TMainWindow* main = state ? MainOf(*state) : nullptr;
    return main ? main->MapWindowHandle() : nullptr;
}

HRESULT SaveMapImage(IHostApplication* application, const wchar_t* file)
{
    return Guarded([&] { SaveImage(file ? file : L"", CaptureMap(*Need(application))); });
}

std::wstring StatusText(IHostApplication* application)
{
    auto state = StateOf(application);
    if (!state)
        return {};
    if (TMainWindow* main = MainOf(*state))
        return main->StatusText();
    if (auto* hidden = dynamic_cast<THiddenUi*>(state->Ui))
        return hidden->FStatus;
    return {};
}

HRESULT InvokeModule(IHostApplication* application, const wchar_t* method, const std::vector<VARIANT>& arguments)
{
    auto state = StateOf(application);
    if (!state)
        return E_POINTER;
    try {
        return state->CallModule(method, arguments);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT PostCommand(IHostApplication* application, const wchar_t* name)
{
    return Guarded([&] {
        auto state = Need(application);
        TMainWindow* main = MainOf(*state);
        if (main ? !main->PostCommand(name ? name : L"") : !state->FindCommand(name ? name : L""))
            throw EHostError(kHostInvalidArg, "Команда «" + Narrow(name ? name : L"") + "» не найдена");
        if (!main)
            state->RunCommand(name);
    });
}

HWND MainWindowHandle(IHostApplication* application)
{
    auto state = StateOf(application);
    if (!state)
        return nullptr;
    return state->Ui ? state->Ui->MainWindowHandle() : state->ApplicationWindow;
}

HRESULT SaveWindowImage(HWND window, const wchar_t* file)
{
    return Guarded([&] { SaveImage(file ? file : L"", CaptureWindow(window)); });
}

std::wstring SettingsText(IHostApplication* application)
{
    auto state = StateOf(application);
    return state ? Widen(state->Settings.ToText()) : std::wstring();
}

void ShowStatus(IHostApplication* application, const wchar_t* text)
{
    if (auto state = StateOf(application))
        if (state->Ui)
            state->Ui->ShowStatus(text ? text : L"");
}

void PumpMessages()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        ::TranslateMessage(&message);
        DispatchMeasured(message);
    }
}

HRESULT GenerateObject(IHostApplication* application, long layerId, long styleId, long vertexCount, long* objectId)
{
    if (objectId)
        *objectId = 0;
    return Guarded([&] {
        auto state = Need(application);
        const TStyleData& style = state->Store.Style(styleId);
        if (style.LayerId != layerId)
            throw EHostError(kHostInvalidArg, Format("Стиль %ld не из слоя %ld", styleId, layerId));
        if (vertexCount < 3 || vertexCount > 10000000)
            throw EHostError(kHostInvalidArg, Format("Число вершин %ld вне 3..10000000", vertexCount));
        const TViewTransform& view = state->View;
        const double radius = std::min(view.Width(), view.Height()) / 3.0 / view.PixelsPerUnit();
        TShapeData shape;
        shape.StyleId = static_cast<std::int32_t>(styleId);
        shape.DefinesGeometry = true;
        shape.Contour.Parts.push_back(StarPart({view.CentreX(), view.CentreY()}, radius, vertexCount));
        TMapObjectData object;
        object.LayerId = static_cast<std::int32_t>(layerId);
        object.Shapes.push_back(std::move(shape));
        const std::int32_t id = state->Store.AddCommittedObject(std::move(object));
        if (state->Ui)
            state->Ui->MapChanged();
        if (objectId)
            *objectId = id;
    });
}

HRESULT PostMessageBox(IHostApplication* application, const wchar_t* text)
{
    return Guarded([&] { Need(application)->PostMessageBox(text ? text : L""); });
}

} // namespace hostsim
