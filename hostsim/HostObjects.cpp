#include "hostsim/HostObjects.h"
#include "hostsim/HostPtr.h"
#include "hostsim/MapGeometry.h"

#include "controls/WinHandles.h"

#include <cmath>

namespace hostsim {

namespace {

// Hands a new object (reference count 1) to an out-parameter.
template <class I>
void Out(I* object, I** result)
{
    if (!result) {
        object->Release();
        throw EHostError(E_POINTER, "Нулевой указатель результата");
    }
    *result = object;
}

template <class T>
void Need(T* result)
{
    if (!result)
        throw EHostError(E_POINTER, "Нулевой указатель результата");
}

VARIANT_BOOL Bool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

std::string Text(BSTR text) { return text ? Narrow(std::wstring(text, ::SysStringLen(text))) : std::string(); }

BSTR NewBstr(const std::string& text)
{
    const std::wstring wide = Widen(text);
    BSTR result = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!result)
        throw std::bad_alloc();
    return result;
}

std::size_t Index(LONG index, std::size_t count, const char* what)
{
    if (index < 0 || static_cast<std::size_t>(index) >= count)
        throw EHostError(kHostInvalidArg, Format("%s: индекс %ld вне диапазона 0..%ld", what, static_cast<long>(index),
                                                 static_cast<long>(count) - 1));
    return static_cast<std::size_t>(index);
}

// An insertion index: -1 appends, else 0..count.
std::size_t InsertIndex(LONG index, std::size_t count, const char* what)
{
    if (index == -1)
        return count;
    if (index < 0 || static_cast<std::size_t>(index) > count)
        throw EHostError(kHostInvalidArg, Format("%s: индекс вставки %ld вне диапазона", what, static_cast<long>(index)));
    return static_cast<std::size_t>(index);
}

using PState = std::shared_ptr<THostState>;

void MapChanged(const THostState& state)
{
    if (state.Ui)
        state.Ui->MapChanged();
}

// ---- permissions, styles, layers -------------------------------------------------------------

class TPermissionsObject : public THostObject<IHostPermissions> {
public:
    explicit TPermissionsObject(std::int32_t mask) : FMask(mask) {}
    HRESULT STDMETHODCALLTYPE Allows(LONG mask, VARIANT_BOOL* result) override
    {
        return Call(L"IHostPermissions.Allows", [&] {
            Need(result);
            *result = Bool((FMask & mask) == mask);
        });
    }

private:
    std::int32_t FMask;
};

class TStyleObject : public THostObject<IHostStyle> {
public:
    TStyleObject(PState state, std::int32_t id) : FState(std::move(state)), FId(id) {}
    HRESULT STDMETHODCALLTYPE get_Id(LONG* result) override
    {
        return Call(L"IHostStyle.Id", [&] {
            Need(result);
            *result = Style().Id;
        });
    }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* result) override
    {
        return Call(L"IHostStyle.Name", [&] {
            Need(result);
            *result = NewBstr(Style().Name);
        });
    }
    HOSTSIM_RESERVED(IHostStyle, 9)
    HRESULT STDMETHODCALLTYPE get_Flags(LONG* result) override
    {
        return Call(L"IHostStyle.Flags", [&] {
            Need(result);
            *result = Style().Flags;
        });
    }
    HOSTSIM_RESERVED(IHostStyle, 11)
    HOSTSIM_RESERVED(IHostStyle, 12)
    HOSTSIM_RESERVED(IHostStyle, 13)
    HOSTSIM_RESERVED(IHostStyle, 14)
    HOSTSIM_RESERVED(IHostStyle, 15)
    HOSTSIM_RESERVED(IHostStyle, 16)
    HOSTSIM_RESERVED(IHostStyle, 17)
    HOSTSIM_RESERVED(IHostStyle, 18)
    HOSTSIM_RESERVED(IHostStyle, 19)
    HOSTSIM_RESERVED(IHostStyle, 20)
    HOSTSIM_RESERVED(IHostStyle, 21)
    HOSTSIM_RESERVED(IHostStyle, 22)
    HOSTSIM_RESERVED(IHostStyle, 23)
    HOSTSIM_RESERVED(IHostStyle, 24)
    HOSTSIM_RESERVED(IHostStyle, 25)
    HOSTSIM_RESERVED(IHostStyle, 26)
    HOSTSIM_RESERVED(IHostStyle, 27)
    HOSTSIM_RESERVED(IHostStyle, 28)
    HOSTSIM_RESERVED(IHostStyle, 29)
    HRESULT STDMETHODCALLTYPE get_Permissions(IHostPermissions** result) override
    {
        return Call(L"IHostStyle.Permissions", [&] { Out<IHostPermissions>(new TPermissionsObject(Style().Permissions), result); });
    }

private:
    const TStyleData& Style() const { return FState->Store.Style(FId); }
    PState FState;
    std::int32_t FId;
};

class TStyleListObject : public THostObject<IHostStyleList> {
public:
    TStyleListObject(PState state, std::int32_t layerId) : FState(std::move(state)), FLayerId(layerId) {}
    HRESULT STDMETHODCALLTYPE get_Count(LONG* result) override
    {
        return Call(L"IHostStyleList.Count", [&] {
            Need(result);
            *result = static_cast<LONG>(FState->Store.Layer(FLayerId).StyleIds.size());
        });
    }
    HRESULT STDMETHODCALLTYPE Item(LONG index, IHostStyle** result) override
    {
        return Call(L"IHostStyleList.Item", [&] {
            const auto& ids = FState->Store.Layer(FLayerId).StyleIds;
            Out<IHostStyle>(new TStyleObject(FState, ids[Index(index, ids.size(), "IHostStyleList.Item")]), result);
        });
    }

private:
    PState FState;
    std::int32_t FLayerId;
};

class TLayerObject : public THostObject<IHostLayer> {
public:
    TLayerObject(PState state, std::int32_t id) : FState(std::move(state)), FId(id) {}
    HRESULT STDMETHODCALLTYPE get_Id(LONG* result) override
    {
        return Call(L"IHostLayer.Id", [&] {
            Need(result);
            *result = FState->Store.Layer(FId).Id;
        });
    }
    HOSTSIM_RESERVED(IHostLayer, 8)
    HOSTSIM_RESERVED(IHostLayer, 9)
    HOSTSIM_RESERVED(IHostLayer, 10)
    HOSTSIM_RESERVED(IHostLayer, 11)
    HOSTSIM_RESERVED(IHostLayer, 12)
    HOSTSIM_RESERVED(IHostLayer, 13)
    HOSTSIM_RESERVED(IHostLayer, 14)
    HOSTSIM_RESERVED(IHostLayer, 15)
    HOSTSIM_RESERVED(IHostLayer, 16)
    HOSTSIM_RESERVED(IHostLayer, 17)
    HOSTSIM_RESERVED(IHostLayer, 18)
    HRESULT STDMETHODCALLTYPE get_Styles(IHostStyleList** result) override
    {
        return Call(L"IHostLayer.Styles", [&] {
            FState->Store.Layer(FId);
            Out<IHostStyleList>(new TStyleListObject(FState, FId), result);
        });
    }
    HOSTSIM_RESERVED(IHostLayer, 20)
    HRESULT STDMETHODCALLTYPE get_Permissions(IHostPermissions** result) override
    {
        return Call(L"IHostLayer.Permissions", [&] {
            Out<IHostPermissions>(new TPermissionsObject(FState->Store.Layer(FId).Permissions), result);
        });
    }

private:
    PState FState;
    std::int32_t FId;
};

// ---- contours ----------------------------------------------------------------------------------

class TContourPartObject : public THostObject<IHostContourPart> {
public:
    TContourPartObject(TContourRef ref, std::size_t index) : FRef(std::move(ref)), FIndex(index) {}
    HRESULT STDMETHODCALLTYPE VertexCount(LONG* result) override
    {
        return Call(L"IHostContourPart.VertexCount", [&] {
            Need(result);
            *result = static_cast<LONG>(Data().Vertices.size());
        });
    }
    HRESULT STDMETHODCALLTYPE GetVertex(LONG index, double* x, double* y, double* convexity) override
    {
        return Call(L"IHostContourPart.GetVertex", [&] {
            Need(x);
            Need(y);
            Need(convexity);
            const auto& v = Data().Vertices;
            const TVertexData& vertex = v[Index(index, v.size(), "IHostContourPart.GetVertex")];
            *x = vertex.X;
            *y = vertex.Y;
            *convexity = vertex.Convexity;
        });
    }
    HOSTSIM_RESERVED(IHostContourPart, 9)
    HRESULT STDMETHODCALLTYPE InsertVertex(LONG index, double x, double y, double convexity) override
    {
        return Call(L"IHostContourPart.InsertVertex", [&] {
            if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(convexity))
                throw EHostError(kHostInvalidArg, "Координаты вершины должны быть конечными числами");
            auto& v = Data().Vertices;
            const std::size_t at = InsertIndex(index, v.size(), "IHostContourPart.InsertVertex");
            v.insert(v.begin() + static_cast<std::ptrdiff_t>(at), TVertexData{x, y, convexity});
            FRef.Changed();
        });
    }
    HRESULT STDMETHODCALLTYPE get_Closed(VARIANT_BOOL* result) override
    {
        return Call(L"IHostContourPart.Closed", [&] {
            Need(result);
            *result = Bool(Data().Closed);
        });
    }
    HRESULT STDMETHODCALLTYPE SetClosed(VARIANT_BOOL closed) override
    {
        return Call(L"IHostContourPart.SetClosed", [&] {
            Data().Closed = closed != VARIANT_FALSE;
            FRef.Changed();
        });
    }

private:
    TPartData& Data() const
    {
        auto& parts = FRef.Get().Parts;
        if (FIndex >= parts.size())
            throw EHostError(kHostInvalidArg, "Часть контура больше не существует");
        return parts[FIndex];
    }
    TContourRef FRef;
    std::size_t FIndex;
};

// ---- map objects ---------------------------------------------------------------------------------

class TShapeObject : public THostObject<IHostShape> {
public:
    TShapeObject(PState state, std::int32_t objectId, std::size_t index)
        : FState(std::move(state)), FObjectId(objectId), FIndex(index)
    {
    }
    HRESULT STDMETHODCALLTYPE get_Contour(IHostContour** result) override
    {
        return Call(L"IHostShape.Contour", [&] {
            Shape();
            Out<IHostContour>(new TContourObject({FState, nullptr, FObjectId, static_cast<std::int32_t>(FIndex)}), result);
        });
    }
    HOSTSIM_RESERVED(IHostShape, 8)
    HOSTSIM_RESERVED(IHostShape, 9)
    HOSTSIM_RESERVED(IHostShape, 10)
    HOSTSIM_RESERVED(IHostShape, 11)
    HOSTSIM_RESERVED(IHostShape, 12)
    HRESULT STDMETHODCALLTYPE get_Style(IHostStyle** result) override
    {
        return Call(L"IHostShape.Style", [&] { Out<IHostStyle>(new TStyleObject(FState, Shape().StyleId), result); });
    }
    HRESULT STDMETHODCALLTYPE get_DefinesGeometry(VARIANT_BOOL* result) override
    {
        return Call(L"IHostShape.DefinesGeometry", [&] {
            Need(result);
            *result = Bool(Shape().DefinesGeometry);
        });
    }

private:
    TShapeData& Shape() const
    {
        auto& shapes = FState->Store.Object(FObjectId).Shapes;
        if (FIndex >= shapes.size())
            throw EHostError(kHostInvalidArg, Format("Форма %u объекта %d больше не существует",
                                                     static_cast<unsigned>(FIndex), FObjectId));
        return shapes[FIndex];
    }
    PState FState;
    std::int32_t FObjectId;
    std::size_t FIndex;
};

class TShapeListObject : public THostObject<IHostShapeList> {
public:
    TShapeListObject(PState state, std::int32_t objectId) : FState(std::move(state)), FObjectId(objectId) {}
    HRESULT STDMETHODCALLTYPE get_Count(LONG* result) override
    {
        return Call(L"IHostShapeList.Count", [&] {
            Need(result);
            *result = static_cast<LONG>(FState->Store.Object(FObjectId).Shapes.size());
        });
    }
    HRESULT STDMETHODCALLTYPE Item(LONG index, IHostShape** result) override
    {
        return Call(L"IHostShapeList.Item", [&] {
            const std::size_t i = Index(index, FState->Store.Object(FObjectId).Shapes.size(), "IHostShapeList.Item");
            Out<IHostShape>(new TShapeObject(FState, FObjectId, i), result);
        });
    }
    HOSTSIM_RESERVED(IHostShapeList, 9)
    HRESULT STDMETHODCALLTYPE Insert(LONG index, LONG styleId, IHostShape** result) override
    {
        return Call(L"IHostShapeList.Insert", [&] {
            Need(result);
            TMapObjectData& object = FState->Store.Object(FObjectId);
            const TStyleData& style = FState->Store.Style(styleId);
            if (style.LayerId != object.LayerId)
                throw EHostError(kHostInvalidArg, Format("Стиль %ld не относится к слою объекта %d", static_cast<long>(styleId), FObjectId));
            const std::size_t at = InsertIndex(index, object.Shapes.size(), "IHostShapeList.Insert");
            object.Shapes.insert(object.Shapes.begin() + static_cast<std::ptrdiff_t>(at), TShapeData{styleId, true, {}});
            FState->Store.Touch();
            MapChanged(*FState);
            Out<IHostShape>(new TShapeObject(FState, FObjectId, at), result);
        });
    }

private:
    PState FState;
    std::int32_t FObjectId;
};

class TMapObjectObject : public THostObject<IHostMapObject> {
public:
    TMapObjectObject(PState state, std::int32_t id) : FState(std::move(state)), FId(id) {}
    HRESULT STDMETHODCALLTYPE get_Id(LONG* result) override
    {
        return Call(L"IHostMapObject.Id", [&] {
            Need(result);
            *result = FState->Store.Object(FId).Id;
        });
    }
    HOSTSIM_RESERVED(IHostMapObject, 8)
    HOSTSIM_RESERVED(IHostMapObject, 9)
    HOSTSIM_RESERVED(IHostMapObject, 10)
    HOSTSIM_RESERVED(IHostMapObject, 11)
    HRESULT STDMETHODCALLTYPE get_Shapes(IHostShapeList** result) override
    {
        return Call(L"IHostMapObject.Shapes", [&] {
            FState->Store.Object(FId);
            Out<IHostShapeList>(new TShapeListObject(FState, FId), result);
        });
    }

private:
    PState FState;
    std::int32_t FId;
};

class TObjectStoreObject : public THostObject<IHostObjectStore> {
public:
    explicit TObjectStoreObject(PState state) : FState(std::move(state)) {}
    HRESULT STDMETHODCALLTYPE ObjectById(LONG id, IHostMapObject** result) override
    {
        return Call(L"IHostObjectStore.ObjectById", [&] {
            FState->Store.Object(id);
            Out<IHostMapObject>(new TMapObjectObject(FState, id), result);
        });
    }
    HRESULT STDMETHODCALLTYPE CreateObject(LONG layerId, IHostMapObject** result) override
    {
        return Call(L"IHostObjectStore.CreateObject", [&] {
            Need(result);
            const std::int32_t id = FState->Store.CreateObject(layerId);
            MapChanged(*FState);
            Out<IHostMapObject>(new TMapObjectObject(FState, id), result);
        });
    }
    HOSTSIM_RESERVED(IHostObjectStore, 9)
    HOSTSIM_RESERVED(IHostObjectStore, 10)
    HOSTSIM_RESERVED(IHostObjectStore, 11)
    HRESULT STDMETHODCALLTYPE CommitTransaction() override
    {
        return Call(L"IHostObjectStore.CommitTransaction", [&] {
            FState->Store.CommitTransaction();
            MapChanged(*FState);
        });
    }
    HOSTSIM_RESERVED(IHostObjectStore, 13)
    HOSTSIM_RESERVED(IHostObjectStore, 14)
    HRESULT STDMETHODCALLTYPE BeginTransaction(BSTR name) override
    {
        return Call(L"IHostObjectStore.BeginTransaction", [&] {
            FState->Store.BeginTransaction(Text(name));
            MapChanged(*FState);
        });
    }

private:
    PState FState;
};

class TProjectObject : public THostObject<IHostProject> {
public:
    explicit TProjectObject(PState state) : FState(std::move(state)) {}
    HOSTSIM_RESERVED(IHostProject, 7)
    HOSTSIM_RESERVED(IHostProject, 8)
    HOSTSIM_RESERVED(IHostProject, 9)
    HOSTSIM_RESERVED(IHostProject, 10)
    HOSTSIM_RESERVED(IHostProject, 11)
    HOSTSIM_RESERVED(IHostProject, 12)
    HOSTSIM_RESERVED(IHostProject, 13)
    HOSTSIM_RESERVED(IHostProject, 14)
    HOSTSIM_RESERVED(IHostProject, 15)
    HRESULT STDMETHODCALLTYPE LayerById(LONG id, IHostLayer** result) override
    {
        return Call(L"IHostProject.LayerById", [&] {
            FState->Store.Layer(id);
            Out<IHostLayer>(new TLayerObject(FState, id), result);
        });
    }
    HOSTSIM_RESERVED(IHostProject, 17)
    HOSTSIM_RESERVED(IHostProject, 18)
    HOSTSIM_RESERVED(IHostProject, 19)
    HOSTSIM_RESERVED(IHostProject, 20)
    HOSTSIM_RESERVED(IHostProject, 21)
    HOSTSIM_RESERVED(IHostProject, 22)
    HOSTSIM_RESERVED(IHostProject, 23)
    HOSTSIM_RESERVED(IHostProject, 24)
    HRESULT STDMETHODCALLTYPE get_Objects(IHostObjectStore** result) override
    {
        return Call(L"IHostProject.Objects", [&] { Out<IHostObjectStore>(new TObjectStoreObject(FState), result); });
    }

private:
    PState FState;
};

// ---- selection, settings -------------------------------------------------------------------------

class TSelectionObject : public THostObject<IHostSelection> {
public:
    explicit TSelectionObject(PState state) : FState(std::move(state)) {}
    HRESULT STDMETHODCALLTYPE get_Count(LONG* result) override
    {
        return Call(L"IHostSelection.Count", [&] {
            Need(result);
            *result = static_cast<LONG>(FState->Selection.size());
        });
    }
    HRESULT STDMETHODCALLTYPE Clear() override
    {
        return Call(L"IHostSelection.Clear", [&] {
            FState->Selection.clear();
            FState->SelectionChanged();
        });
    }
    HRESULT STDMETHODCALLTYPE Refresh() override
    {
        return Call(L"IHostSelection.Refresh", [&] { MapChanged(*FState); });
    }
    HRESULT STDMETHODCALLTYPE Add(LONG objectId, LONG shapeIndex) override
    {
        return Call(L"IHostSelection.Add", [&] {
            const TMapObjectData& object = FState->Store.Object(objectId);
            if (shapeIndex != -1)
                Index(shapeIndex, object.Shapes.size(), "IHostSelection.Add");
            FState->Selection.push_back({objectId, shapeIndex});
            FState->SelectionChanged();
        });
    }
    HOSTSIM_RESERVED(IHostSelection, 11)
    HOSTSIM_RESERVED(IHostSelection, 12)
    HOSTSIM_RESERVED(IHostSelection, 13)
    HOSTSIM_RESERVED(IHostSelection, 14)
    HRESULT STDMETHODCALLTYPE ObjectId(LONG index, LONG* result) override
    {
        return Call(L"IHostSelection.ObjectId", [&] {
            Need(result);
            *result = FState->Selection[Index(index, FState->Selection.size(), "IHostSelection.ObjectId")].ObjectId;
        });
    }
    HRESULT STDMETHODCALLTYPE ShapeIndex(LONG index, LONG* result) override
    {
        return Call(L"IHostSelection.ShapeIndex", [&] {
            Need(result);
            *result = FState->Selection[Index(index, FState->Selection.size(), "IHostSelection.ShapeIndex")].ShapeIndex;
        });
    }

private:
    PState FState;
};

class TSettingsObject : public THostObject<IHostSettings> {
public:
    explicit TSettingsObject(PState state) : FState(std::move(state)) {}
    HRESULT STDMETHODCALLTYPE ReadString(LONG section, LONG, BSTR key, BSTR defaultValue, BSTR* result) override
    {
        return Call(L"IHostSettings.ReadString", [&] {
            Need(result);
            *result = NewBstr(FState->Settings.Read(section, Text(key), Text(defaultValue)));
        });
    }
    HRESULT STDMETHODCALLTYPE WriteString(LONG section, LONG, BSTR key, BSTR value) override
    {
        return Call(L"IHostSettings.WriteString", [&] {
            if (Text(key).empty())
                throw EHostError(kHostInvalidArg, "Пустой ключ настройки");
            FState->Settings.Write(section, Text(key), Text(value));
            FState->SaveSettings();
        });
    }

private:
    PState FState;
};

// ---- main window, commands, panes ----------------------------------------------------------------

class TActionObject : public THostObject<IHostAction> {
public:
    TActionObject(PState state, std::wstring name) : FState(std::move(state)), FName(std::move(name)) {}
    HOSTSIM_RESERVED(IHostAction, 7)
    HOSTSIM_RESERVED(IHostAction, 8)
    HOSTSIM_RESERVED(IHostAction, 9)
    HRESULT STDMETHODCALLTYPE SetChecked(VARIANT_BOOL checked) override
    {
        return Call(L"IHostAction.SetChecked", [&] {
            TCommand* command = FState->FindCommand(FName);
            if (!command)
                throw EHostError(kHostInvalidArg, "Команда больше не существует");
            command->Checked = checked != VARIANT_FALSE;
            if (FState->Ui)
                FState->Ui->SetCommandChecked(FName, command->Checked);
        });
    }

private:
    PState FState;
    std::wstring FName;
};

class TActionListObject : public THostObject<IHostActionList> {
public:
    explicit TActionListObject(PState state) : FState(std::move(state)) {}
    HOSTSIM_RESERVED(IHostActionList, 7)
    HRESULT STDMETHODCALLTYPE Item(VARIANT name, IHostAction** result) override
    {
        return Call(L"IHostActionList.Item", [&] {
            VARIANT text;
            ::VariantInit(&text);
            if (FAILED(::VariantChangeType(&text, &name, 0, VT_BSTR)))
                throw EHostError(DISP_E_TYPEMISMATCH, "Имя команды должно быть строкой");
            const std::wstring wanted(text.bstrVal ? text.bstrVal : L"");
            ::VariantClear(&text);
            if (!FState->FindCommand(wanted))
                throw EHostError(kHostInvalidArg, "Команда «" + Narrow(wanted) + "» не найдена");
            Out<IHostAction>(new TActionObject(FState, wanted), result);
        });
    }

private:
    PState FState;
};

class TPaneObject : public THostObject<IHostPane> {
public:
    TPaneObject(PState state, HWND pane) : FState(std::move(state)), FPane(pane) {}
    HOSTSIM_RESERVED(IHostPane, 7)
    HOSTSIM_RESERVED(IHostPane, 8)
    HOSTSIM_RESERVED(IHostPane, 9)
    HOSTSIM_RESERVED(IHostPane, 10)
    HRESULT STDMETHODCALLTYPE Update() override
    {
        return Call(L"IHostPane.Update", [&] {
            if (FState->Ui)
                FState->Ui->UpdatePane(Pane());
        });
    }
    HRESULT STDMETHODCALLTYPE get_Handle(LONG* result) override
    {
        return Call(L"IHostPane.Handle", [&] {
            Need(result);
            *result = HandleToLong(Pane()); // user handles have 32 significant bits
        });
    }
    HOSTSIM_RESERVED(IHostPane, 13)
    HRESULT STDMETHODCALLTYPE SetVisible(VARIANT_BOOL visible) override
    {
        return Call(L"IHostPane.SetVisible", [&] {
            if (FState->Ui)
                FState->Ui->SetPaneVisible(Pane(), visible != VARIANT_FALSE);
        });
    }

private:
    HWND Pane() const
    {
        if (!::IsWindow(FPane))
            throw EHostError(kHostUnexpected, "Панель больше не существует");
        return FPane;
    }
    PState FState;
    HWND FPane;
};

// ---- the map window: navigator, surface, transform, pen, brush -----------------------------------

class TNavigatorObject : public THostObject<IHostNavigator> {
public:
    explicit TNavigatorObject(PState state) : FState(std::move(state)) {}
    HOSTSIM_RESERVED(IHostNavigator, 7)
    HRESULT STDMETHODCALLTYPE ShowRect(double x1, double y1, double x2, double y2) override
    {
        return Call(L"IHostNavigator.ShowRect", [&] {
            if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2))
                throw EHostError(kHostInvalidArg, "Прямоугольник задан не числами");
            FState->ChangeView([&] { FState->View.ShowRect(x1, y1, x2, y2); });
        });
    }
    HRESULT STDMETHODCALLTYPE CenterAt(double x, double y, double scale) override
    {
        return Call(L"IHostNavigator.CenterAt", [&] {
            if (!std::isfinite(x) || !std::isfinite(y) || !(scale > 0) || !std::isfinite(scale))
                throw EHostError(kHostInvalidArg, "Центр или масштаб заданы неверно");
            FState->ChangeView([&] { FState->View.Set(x, y, scale); });
        });
    }

private:
    PState FState;
};

class TTransformObject : public THostObject<IHostSurfaceTransform> {
public:
    explicit TTransformObject(PState state) : FState(std::move(state)) {}
    HRESULT STDMETHODCALLTYPE MapToSurface(double x, double y, double* sx, double* sy) override
    {
        return Call(L"IHostSurfaceTransform.MapToSurface", [&] {
            Need(sx);
            Need(sy);
            const TFloatPoint p = FState->View.MapToSurface(x, y);
            *sx = p.X;
            *sy = p.Y;
        });
    }
    HOSTSIM_RESERVED(IHostSurfaceTransform, 8)
    HOSTSIM_RESERVED(IHostSurfaceTransform, 9)
    HOSTSIM_RESERVED(IHostSurfaceTransform, 10)
    HOSTSIM_RESERVED(IHostSurfaceTransform, 11)
    HOSTSIM_RESERVED(IHostSurfaceTransform, 12)
    HOSTSIM_RESERVED(IHostSurfaceTransform, 13)
    HOSTSIM_RESERVED(IHostSurfaceTransform, 14)
    HOSTSIM_RESERVED(IHostSurfaceTransform, 15)
    HOSTSIM_RESERVED(IHostSurfaceTransform, 16)
    HRESULT STDMETHODCALLTYPE get_Scale(double* result) override
    {
        return Call(L"IHostSurfaceTransform.Scale", [&] {
            Need(result);
            *result = FState->View.Scale();
        });
    }

private:
    PState FState;
};

class TPenObject : public THostObject<IHostPen> {
public:
    explicit TPenObject(PState state) : FState(std::move(state)) {}
    HOSTSIM_RESERVED(IHostPen, 7)
    HRESULT STDMETHODCALLTYPE SetStyle(LONG style) override
    {
        return Call(L"IHostPen.SetStyle", [&] { FState->PenStyle = style; });
    }
    HOSTSIM_RESERVED(IHostPen, 9)
    HRESULT STDMETHODCALLTYPE SetWidth(double width) override
    {
        return Call(L"IHostPen.SetWidth", [&] { FState->PenWidth = width; });
    }
    HOSTSIM_RESERVED(IHostPen, 11)
    HRESULT STDMETHODCALLTYPE SetSecondWidth(double width) override
    {
        return Call(L"IHostPen.SetSecondWidth", [&] { FState->PenSecondWidth = width; });
    }
    HOSTSIM_RESERVED(IHostPen, 13)
    HRESULT STDMETHODCALLTYPE SetColor(LONG color) override
    {
        return Call(L"IHostPen.SetColor", [&] { FState->PenColor = static_cast<COLORREF>(color) & 0xFFFFFF; });
    }
    HOSTSIM_RESERVED(IHostPen, 15)
    HRESULT STDMETHODCALLTYPE SetMode(LONG mode) override
    {
        return Call(L"IHostPen.SetMode", [&] {
            if (mode != 13 && mode != 14)
                throw EHostError(kHostInvalidArg, Format("Режим пера %ld не поддерживается (13 или 14)", static_cast<long>(mode)));
            FState->PenMode = mode;
        });
    }

private:
    PState FState;
};

class TBrushObject : public THostObject<IHostBrush> {
public:
    explicit TBrushObject(PState state) : FState(std::move(state)) {}
    HOSTSIM_RESERVED(IHostBrush, 7)
    HRESULT STDMETHODCALLTYPE SetStyle(LONG style) override
    {
        return Call(L"IHostBrush.SetStyle", [&] { FState->BrushStyle = style; });
    }

private:
    PState FState;
};

class TSurfaceObject : public THostObject<IHostSurface> {
public:
    explicit TSurfaceObject(PState state) : FState(std::move(state)) {}
    HOSTSIM_RESERVED(IHostSurface, 7)
    HOSTSIM_RESERVED(IHostSurface, 8)
    HOSTSIM_RESERVED(IHostSurface, 9)
    HOSTSIM_RESERVED(IHostSurface, 10)
    HRESULT STDMETHODCALLTYPE get_Transform(IHostSurfaceTransform** result) override
    {
        return Call(L"IHostSurface.Transform", [&] { Out<IHostSurfaceTransform>(new TTransformObject(FState), result); });
    }
    HRESULT STDMETHODCALLTYPE get_Pen(IHostPen** result) override
    {
        return Call(L"IHostSurface.Pen", [&] { Out<IHostPen>(new TPenObject(FState), result); });
    }
    HRESULT STDMETHODCALLTYPE get_Brush(IHostBrush** result) override
    {
        return Call(L"IHostSurface.Brush", [&] { Out<IHostBrush>(new TBrushObject(FState), result); });
    }
    HOSTSIM_RESERVED(IHostSurface, 14)
    HRESULT STDMETHODCALLTYPE DrawContour(IHostContour* contour, VARIANT_BOOL) override
    {
        return Call(L"IHostSurface.DrawContour", [&] {
            if (!contour)
                throw EHostError(E_POINTER, "Контур не задан");
            const TContourData data = ReadContour(contour);
            std::vector<std::vector<POINT>> lines;
            for (const TPartData& part : data.Parts) {
                std::vector<POINT> line;
                for (const TFloatPoint p : FlattenPart(part)) {
                    const TFloatPoint s = FState->View.MapToSurface(p.X, p.Y);
                    if (!(std::fabs(s.X) < 1e7 && std::fabs(s.Y) < 1e7))
                        continue; // far outside the window: GDI cannot take it
                    line.push_back({static_cast<LONG>(std::lround(s.X)), static_cast<LONG>(std::lround(s.Y))});
                }
                if (!line.empty())
                    lines.push_back(std::move(line));
            }
            FState->Overlay.DrawXor(lines, FState->PenColor, static_cast<int>(std::lround(FState->PenWidth)));
            MapChanged(*FState);
        });
    }

private:
    PState FState;
};

class TMapWindowObject : public THostObject<IHostMapWindow> {
public:
    explicit TMapWindowObject(PState state) : FState(std::move(state)) {}
    HRESULT STDMETHODCALLTYPE get_Surface(IHostSurface** result) override
    {
        return Call(L"IHostMapWindow.Surface", [&] { Out<IHostSurface>(new TSurfaceObject(FState), result); });
    }
    HRESULT STDMETHODCALLTYPE get_Navigator(IHostNavigator** result) override
    {
        return Call(L"IHostMapWindow.Navigator", [&] { Out<IHostNavigator>(new TNavigatorObject(FState), result); });
    }

private:
    PState FState;
};

class TMainWindowObject : public THostObject<IHostMainWindow> {
public:
    explicit TMainWindowObject(PState state) : FState(std::move(state)) {}
    HRESULT STDMETHODCALLTYPE get_Handle(LONG* result) override
    {
        return Call(L"IHostMainWindow.Handle", [&] {
            Need(result);
            const HWND window = FState->Ui ? FState->Ui->MainWindowHandle() : FState->ApplicationWindow;
            *result = HandleToLong(window);
        });
    }
    HRESULT STDMETHODCALLTYPE get_MapWindow(IHostMapWindow** result) override
    {
        return Call(L"IHostMainWindow.MapWindow", [&] { Out<IHostMapWindow>(new TMapWindowObject(FState), result); });
    }
    HOSTSIM_RESERVED(IHostMainWindow, 9)
    HRESULT STDMETHODCALLTYPE get_Actions(IHostActionList** result) override
    {
        return Call(L"IHostMainWindow.Actions", [&] { Out<IHostActionList>(new TActionListObject(FState), result); });
    }
    HOSTSIM_RESERVED(IHostMainWindow, 11)
    HRESULT STDMETHODCALLTYPE CreatePane(BSTR name, BSTR caption, IHostPane** result) override
    {
        return Call(L"IHostMainWindow.CreatePane", [&] {
            Need(result);
            if (!FState->Ui)
                throw EHostError(kHostUnexpected, "Нет главного окна");
            const HWND pane = FState->Ui->CreatePane(Widen(Text(name)), Widen(Text(caption)));
            Out<IHostPane>(new TPaneObject(FState, pane), result);
        });
    }

private:
    PState FState;
};

// ---- the map view ----------------------------------------------------------------------------------

class TViewLayerObject : public THostObject<IHostViewLayer> {
public:
    TViewLayerObject(PState state, std::int32_t layerId) : FState(std::move(state)), FLayerId(layerId) {}
    HRESULT STDMETHODCALLTYPE get_Layer(IHostLayer** result) override
    {
        return Call(L"IHostViewLayer.Layer", [&] {
            FState->Store.Layer(FLayerId);
            Out<IHostLayer>(new TLayerObject(FState, FLayerId), result);
        });
    }

private:
    PState FState;
    std::int32_t FLayerId;
};

class TMapViewObject : public THostObject<IHostMapView> {
public:
    explicit TMapViewObject(PState state) : FState(std::move(state)) {}
    HOSTSIM_RESERVED(IHostMapView, 7)
    HOSTSIM_RESERVED(IHostMapView, 8)
    HOSTSIM_RESERVED(IHostMapView, 9)
    HOSTSIM_RESERVED(IHostMapView, 10)
    HOSTSIM_RESERVED(IHostMapView, 11)
    HOSTSIM_RESERVED(IHostMapView, 12)
    HOSTSIM_RESERVED(IHostMapView, 13)
    HOSTSIM_RESERVED(IHostMapView, 14)
    HOSTSIM_RESERVED(IHostMapView, 15)
    HRESULT STDMETHODCALLTYPE get_ActiveLayer(IHostViewLayer** result) override
    {
        return Call(L"IHostMapView.ActiveLayer", [&] {
            Need(result);
            const std::int32_t id = FState->Store.Project().ActiveLayerId;
            *result = id == 0 ? nullptr : new TViewLayerObject(FState, id);
        });
    }

private:
    PState FState;
};

} // namespace

// ---- contour and application -------------------------------------------------------------------

TContourData& TContourRef::Get() const
{
    if (Free)
        return *Free;
    auto& shapes = State->Store.Object(ObjectId).Shapes;
    if (ShapeIndex < 0 || static_cast<std::size_t>(ShapeIndex) >= shapes.size())
        throw EHostError(kHostInvalidArg, Format("Форма %d объекта %d больше не существует", ShapeIndex, ObjectId));
    return shapes[static_cast<std::size_t>(ShapeIndex)].Contour;
}

void TContourRef::Changed() const
{
    if (Free)
        return;
    State->Store.Touch();
    MapChanged(*State);
}

HRESULT TContourObject::PartCount(LONG* result)
{
    return Call(L"IHostContour.PartCount", [&] {
        Need(result);
        *result = static_cast<LONG>(FRef.Get().Parts.size());
    });
}

HRESULT TContourObject::Part(LONG index, IHostContourPart** result)
{
    return Call(L"IHostContour.Part", [&] {
        const std::size_t i = Index(index, FRef.Get().Parts.size(), "IHostContour.Part");
        Out<IHostContourPart>(new TContourPartObject(FRef, i), result);
    });
}

HRESULT TContourObject::InsertPart(LONG index, IHostContourPart** result)
{
    return Call(L"IHostContour.InsertPart", [&] {
        Need(result);
        auto& parts = FRef.Get().Parts;
        const std::size_t at = InsertIndex(index, parts.size(), "IHostContour.InsertPart");
        parts.insert(parts.begin() + static_cast<std::ptrdiff_t>(at), TPartData{});
        FRef.Changed();
        Out<IHostContourPart>(new TContourPartObject(FRef, at), result);
    });
}

HRESULT TContourObject::Clear()
{
    return Call(L"IHostContour.Clear", [&] {
        FRef.Get().Parts.clear();
        FRef.Changed();
    });
}

HRESULT TContourObject::Assign(IHostContour* source)
{
    return Call(L"IHostContour.Assign", [&] {
        if (!source)
            throw EHostError(E_POINTER, "Исходный контур не задан");
        TContourData data = ReadContour(source);
        FRef.Get() = std::move(data);
        FRef.Changed();
    });
}

TContourData ReadContour(IHostContour* contour)
{
    if (const TContourObject* own = Implementation<TContourObject>(contour))
        return own->Data();
    // A foreign contour: read it through its interface.
    auto check = [](HRESULT hr) {
        if (FAILED(hr))
            throw EHostError(hr, "Не удалось прочитать контур");
    };
    TContourData data;
    LONG parts = 0;
    check(contour->PartCount(&parts));
    for (LONG i = 0; i < parts; ++i) {
        THostPtr<IHostContourPart> part;
        check(contour->Part(i, part.put()));
        TPartData partData;
        LONG count = 0;
        VARIANT_BOOL closed = VARIANT_FALSE;
        check(part->VertexCount(&count));
        check(part->get_Closed(&closed));
        for (LONG k = 0; k < count; ++k) {
            TVertexData v;
            check(part->GetVertex(k, &v.X, &v.Y, &v.Convexity));
            partData.Vertices.push_back(v);
        }
        partData.Closed = closed != VARIANT_FALSE;
        data.Parts.push_back(std::move(partData));
    }
    return data;
}

HRESULT TApplicationObject::get_MainWindow(IHostMainWindow** result)
{
    return Call(L"IHostApplication.MainWindow", [&] { Out<IHostMainWindow>(new TMainWindowObject(FState), result); });
}

HRESULT TApplicationObject::get_Selection(IHostSelection** result)
{
    return Call(L"IHostApplication.Selection", [&] { Out<IHostSelection>(new TSelectionObject(FState), result); });
}

HRESULT TApplicationObject::get_Project(IHostProject** result)
{
    return Call(L"IHostApplication.Project", [&] {
        if (FState->ProjectPath.empty())
            throw EHostError(kHostUnexpected, "Проект не открыт");
        Out<IHostProject>(new TProjectObject(FState), result);
    });
}

HRESULT TApplicationObject::get_ActiveMapView(IHostMapView** result)
{
    return Call(L"IHostApplication.ActiveMapView", [&] {
        Need(result);
        *result = FState->ProjectPath.empty() || !FState->MapViewActive ? nullptr : new TMapViewObject(FState);
    });
}

HRESULT TApplicationObject::get_Settings(IHostSettings** result)
{
    return Call(L"IHostApplication.Settings", [&] { Out<IHostSettings>(new TSettingsObject(FState), result); });
}

HRESULT TApplicationObject::CreateGeometry(LONG kind, VARIANT, IDispatch** result)
{
    return Call(L"IHostApplication.CreateGeometry", [&] {
        Need(result);
        if (kind != 0)
            throw EHostError(kHostInvalidArg, Format("Вид геометрии %ld не поддерживается", static_cast<long>(kind)));
        TContourObject* contour = new TContourObject({FState, std::make_shared<TContourData>(), 0, 0});
        *result = contour;
    });
}

std::shared_ptr<THostState> StateOf(IHostApplication* application)
{
    const TApplicationObject* own = Implementation<TApplicationObject>(application);
    return own ? own->State() : nullptr;
}

IDispatch* NewSurface(const std::shared_ptr<THostState>& state)
{
    return new TSurfaceObject(state);
}

} // namespace hostsim
