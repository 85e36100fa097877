#include "Polypad/MapObjects.h"

#include <cmath>
#include <vector>

using ContourParts::TContourPart;

namespace {

TComPtr<IHostSelection> HostSelection(IHostApplication* host)
{
    return HostObject<IHostSelection>("IHostApplication.Selection",
                                      [&](IHostSelection** out) { return host->get_Selection(out); });
}

long SelectionCount(IHostSelection* selection)
{
    long count = 0;
    ThrowIfFailed(selection->get_Count(&count));
    return count;
}

TComPtr<IHostObjectStore> HostObjects(IHostApplication* host)
{
    const auto project = HostObject<IHostProject>("IHostApplication.Project",
                                                  [&](IHostProject** out) { return host->get_Project(out); });
    return HostObject<IHostObjectStore>("IHostProject.Objects",
                                        [&](IHostObjectStore** out) { return project->get_Objects(out); });
}

TComPtr<IHostMapObject> ObjectById(IHostObjectStore* store, long id)
{
    return HostObject<IHostMapObject>("IHostObjectStore.ObjectById",
                                      [&](IHostMapObject** out) { return store->ObjectById(id, out); });
}

TComPtr<IHostShapeList> ObjectShapes(IHostMapObject* object)
{
    return HostObject<IHostShapeList>("IHostMapObject.Shapes",
                                      [&](IHostShapeList** out) { return object->get_Shapes(out); });
}

TComPtr<IHostShape> ShapeItem(IHostShapeList* shapes, long index)
{
    return HostObject<IHostShape>("IHostShapeList.Item",
                                  [&](IHostShape** out) { return shapes->Item(index, out); });
}

TComPtr<IHostContour> ShapeContour(IHostShape* shape)
{
    return HostObject<IHostContour>("IHostShape.Contour",
                                    [&](IHostContour** out) { return shape->get_Contour(out); });
}

bool StyleAllows(IHostStyle* style, long mask)
{
    TComPtr<IHostPermissions> permissions;
    ThrowIfFailed(style->get_Permissions(permissions.put()));
    RequireHostObject(permissions, "IHostStyle.Permissions");
    VARIANT_BOOL allowed = VARIANT_FALSE;
    ThrowIfFailed(permissions->Allows(mask, &allowed));
    return allowed != VARIANT_FALSE;
}

void BeginTransaction(IHostObjectStore* store, const char* name)
{
    TBStr text(name);
    ThrowIfFailed(store->BeginTransaction(text.get()));
}

// The shape of the first selection entry: the selected one, or with none selected (-1) the first
// that defines geometry. Empty when the object has no such shape.
TComPtr<IHostShape> SelectedShape(IHostSelection* selection, IHostObjectStore* store)
{
    long shapeIndex = -1;
    ThrowIfFailed(selection->ShapeIndex(0, &shapeIndex));
    long id = 0;
    ThrowIfFailed(selection->ObjectId(0, &id));
    const TComPtr<IHostMapObject> object = ObjectById(store, id);
    const TComPtr<IHostShapeList> shapes = ObjectShapes(object.get());
    if (shapeIndex == -1) {
        long count = 0;
        ThrowIfFailed(shapes->get_Count(&count));
        for (long i = 0; i < count; ++i) {
            VARIANT_BOOL defines = VARIANT_FALSE;
            ThrowIfFailed(ShapeItem(shapes.get(), i)->get_DefinesGeometry(&defines));
            if (defines != VARIANT_FALSE) {
                shapeIndex = i;
                break;
            }
        }
        if (shapeIndex == -1)
            return {};
    }
    return ShapeItem(shapes.get(), shapeIndex);
}

// The name of the first field of v that is not a finite number, or nullptr.
const char* NonFiniteField(const TVertexRecord& v)
{
    if (!std::isfinite(v.X))
        return "X";
    if (!std::isfinite(v.Y))
        return "Y";
    if (!std::isfinite(v.ArcConvexity))
        return "кривизна дуги"; // as its column is named
    return nullptr;
}

// Empties contour and writes part into it as its only part.
void WritePart(IHostContour* contour, const TContourPart& part)
{
    TComPtr<IHostContourPart> hostPart;
    ThrowIfFailed(contour->InsertPart(-1, hostPart.put()));
    RequireHostObject(hostPart, "IHostContour.InsertPart");
    ThrowIfFailed(hostPart->SetClosed(part.Closed ? VARIANT_TRUE : VARIANT_FALSE));
    for (const TVertexRecord& v : part.Vertices)
        ThrowIfFailed(hostPart->InsertVertex(-1, v.X, v.Y, v.ArcConvexity));
}

// The map view's active layer as it is now; empty without a map view or active layer.
TComPtr<IHostLayer> ActiveLayer(IHostApplication* host)
{
    TComPtr<IHostMapView> view;
    ThrowIfFailed(host->get_ActiveMapView(view.put()));
    if (!view)
        return {};
    TComPtr<IHostViewLayer> viewLayer;
    ThrowIfFailed(view->get_ActiveLayer(viewLayer.put()));
    if (!viewLayer)
        return {};
    TComPtr<IHostLayer> layer;
    ThrowIfFailed(viewLayer->get_Layer(layer.put()));
    return layer;
}

void CheckCanWrite(IHostStyle* style, const TContourPart& part)
{
    if (!StyleAllows(style, kCreateRightMask))
        throw Exception(kNoCreateRightText);
    if (part.Count() == 0)
        throw Exception(kNoCoordinatesText);
    RequireFiniteVertices(part);
}

void CommitTransaction(IHostObjectStore* store)
{
    ThrowIfFailed(store->CommitTransaction());
}

} // namespace

void RequireFiniteVertices(const TContourPart& part)
{
    for (std::size_t i = 0; i < part.Vertices.size(); ++i)
        if (const char* what = NonFiniteField(part.Vertices[i]))
            throw Exception(Format(kNonFiniteRowText, static_cast<long>(i) + 1, what));
}

void RequireFiniteRect(const TFloatRect& r)
{
    if (!std::isfinite(r.X1) || !std::isfinite(r.Y1) || !std::isfinite(r.X2) || !std::isfinite(r.Y2))
        throw Exception(kNonFiniteExtentText);
}

TMapWarning FillTableFromMapObject(IHostApplication* host, TTable& table, long* partsFilled)
{
    const TComPtr<IHostSelection> selection = HostSelection(host);
    if (SelectionCount(selection.get()) == 0)
        return std::string(kSelectContourText);
    const TComPtr<IHostShape> shape = SelectedShape(selection.get(), HostObjects(host).get());
    if (!shape)
        return std::string(kNoGeometryShapeText);

    std::vector<TVertexRecord> rows;
    bool closed = false;
    long filled = 0;
    const TComPtr<IHostContour> contour = ShapeContour(shape.get());
    long partCount = 0;
    ThrowIfFailed(contour->PartCount(&partCount));
    for (long j = 0; j < partCount; ++j) {
        TComPtr<IHostContourPart> part;
        ThrowIfFailed(contour->Part(j, part.put()));
        RequireHostObject(part, "IHostContour.Part");
        long vertexCount = 0;
        ThrowIfFailed(part->VertexCount(&vertexCount));
        for (long k = 0; k < vertexCount; ++k) {
            TVertexRecord v;
            ThrowIfFailed(part->GetVertex(k, &v.X, &v.Y, &v.ArcConvexity));
            // Such a number would be written back by an update and could not be pasted back
            // from either copy: the shape is refused and the user's rows stay.
            if (const char* what = NonFiniteField(v))
                return Format(kNonFiniteVertexText, static_cast<long>(rows.size()) + 1, what);
            rows.push_back(v);
        }
        if (vertexCount > 0) {
            ++filled;
            VARIANT_BOOL partClosed = VARIANT_FALSE;
            ThrowIfFailed(part->get_Closed(&partClosed));
            closed = partClosed != VARIANT_FALSE;
        }
    }

    table.ContourPart().Clear();
    for (const TVertexRecord& v : rows)
        table.AddRow(TFloatPoint{v.X, v.Y}, v.ArcConvexity);
    table.SetClosed(closed);
    if (partsFilled)
        *partsFilled = filled;
    return std::nullopt;
}

TMapWarning UpdateMapObject(IHostApplication* host, const TContourPart& part)
{
    const TComPtr<IHostSelection> selection = HostSelection(host);
    if (SelectionCount(selection.get()) == 0)
        return std::string(kSelectContourText);
    const TComPtr<IHostObjectStore> store = HostObjects(host);
    const TComPtr<IHostShape> shape = SelectedShape(selection.get(), store.get());
    if (!shape)
        return std::string(kNoGeometryShapeText);
    TComPtr<IHostStyle> style;
    ThrowIfFailed(shape->get_Style(style.put()));
    RequireHostObject(style, "IHostShape.Style");
    // Before the transaction: a refusal leaves nothing open in the Host.
    if (!StyleAllows(style.get(), kChangeRightMask))
        throw Exception(kNoChangeRightText);
    RequireFiniteVertices(part);

    BeginTransaction(store.get(), kUpdateTransactionName);
    const TComPtr<IHostContour> contour = ShapeContour(shape.get());
    ThrowIfFailed(contour->Clear());
    WritePart(contour.get(), part);
    CommitTransaction(store.get());
    return std::nullopt;
}

void AddShape(IHostMapObject* object, IHostStyle* style, const TContourPart& part)
{
    long styleId = 0;
    ThrowIfFailed(style->get_Id(&styleId));
    const TComPtr<IHostShapeList> shapes = ObjectShapes(object);
    TComPtr<IHostShape> shape;
    ThrowIfFailed(shapes->Insert(-1, styleId, shape.put()));
    RequireHostObject(shape, "IHostShapeList.Insert");
    WritePart(ShapeContour(shape.get()).get(), part);
}

long CreateMapObject(IHostApplication* host, IHostStyle* style, const TContourPart& part)
{
    CheckCanWrite(style, part);
    const TComPtr<IHostLayer> layer = ActiveLayer(host);
    if (!layer)
        throw Exception(kNoActiveLayerText);
    long layerId = 0;
    ThrowIfFailed(layer->get_Id(&layerId));

    const TComPtr<IHostObjectStore> store = HostObjects(host);
    BeginTransaction(store.get(), kCreateTransactionName);
    TComPtr<IHostMapObject> object;
    ThrowIfFailed(store->CreateObject(layerId, object.put()));
    RequireHostObject(object, "IHostObjectStore.CreateObject");
    AddShape(object.get(), style, part);
    long objectId = 0;
    ThrowIfFailed(object->get_Id(&objectId));
    CommitTransaction(store.get());

    const TComPtr<IHostSelection> selection = HostSelection(host);
    ThrowIfFailed(selection->Clear());
    ThrowIfFailed(selection->Add(objectId, 0));
    ThrowIfFailed(selection->Refresh());
    return objectId;
}

void AddShapeToMapObject(IHostApplication* host, IHostStyle* style, const TContourPart& part)
{
    CheckCanWrite(style, part);
    const TComPtr<IHostSelection> selection = HostSelection(host);
    if (SelectionCount(selection.get()) == 0)
        throw Exception(kSelectContourText);
    const TComPtr<IHostObjectStore> store = HostObjects(host);
    BeginTransaction(store.get(), kAddShapeTransactionName);
    long id = 0;
    ThrowIfFailed(selection->ObjectId(0, &id));
    AddShape(ObjectById(store.get(), id).get(), style, part);
    CommitTransaction(store.get());
}

std::vector<TStyleMenuEntry> StyleMenuEntries(IHostApplication* host, TStyleMenuKind kind)
{
    std::vector<TStyleMenuEntry> entries;
    const TComPtr<IHostLayer> layer = ActiveLayer(host);
    if (!layer)
        return entries;
    TComPtr<IHostStyleList> styles;
    ThrowIfFailed(layer->get_Styles(styles.put()));
    RequireHostObject(styles, "IHostLayer.Styles");
    const long skipFlag = kind == TStyleMenuKind::smkCreate ? kStyleFlagNotForCreate : kStyleFlagNotForAdd;
    long count = 0;
    ThrowIfFailed(styles->get_Count(&count));
    for (long i = 0; i < count; ++i) {
        TStyleMenuEntry entry;
        ThrowIfFailed(styles->Item(i, entry.Style.put()));
        RequireHostObject(entry.Style, "IHostStyleList.Item");
        ThrowIfFailed(entry.Style->get_Flags(&entry.Flags));
        if (entry.Flags & skipFlag)
            continue;
        ThrowIfFailed(entry.Style->get_Id(&entry.StyleId));
        TBStr name;
        ThrowIfFailed(entry.Style->get_Name(name.put()));
        entry.Name = name.Utf8();
        entries.push_back(std::move(entry));
    }
    return entries;
}

TStyleMenuEvent::TStyleMenuEvent(IHostApplication* host, TContourPart* part, IHostStyle* style)
    : FHost(host), FPart(part), FStyle(style)
{
}

void TStyleMenuEvent::CreateObjectClick()
{
    CreateMapObject(FHost.get(), FStyle.get(), *FPart);
}

void TStyleMenuEvent::AddShapeClick()
{
    AddShapeToMapObject(FHost.get(), FStyle.get(), *FPart);
}

void TStyleMenuEvent::AddShape(IHostMapObject* object)
{
    ::AddShape(object, FStyle.get(), *FPart);
}
