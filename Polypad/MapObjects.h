// The exchange between the coordinate table and the map, without the window: the fill of the
// table from the selected map object, the update of that object's shape, the creation of a new
// object and the adding of a shape in a chosen style, and the style lists of the create and add
// menus. The window calls these and shows the warnings they return in its "Полипад" box; errors
// (missing rights, no rows, Host failures) are raised as exceptions for its error box.
//
// Nothing here keeps a Host object past the call, except TStyleMenuEvent, which holds the Host
// and its style for as long as its menu item lives, and a counted reference to the table's part.
#pragma once

#include "CoreLib/ContourParts.h"
#include "CoreLib/RefObjects.h"
#include "Polypad/ComUtils.h"
#include "Polypad/Coordinates.h"

#include "HostTypes.h"

#include <optional>
#include <string>
#include <vector>

// Warning texts (the command ends quietly after showing them).
inline constexpr const char* kSelectContourText = "Выделите контур на карте";
inline constexpr const char* kNoGeometryShapeText =
    "Выделенный объект не содержит ни одного контура, определяющего геометрию объекта";
// "Вершина N объекта: ..." where N counts the vertices of all parts from 1, and the field named.
inline constexpr const char* kNonFiniteVertexText =
    "Вершина %ld выделенного объекта содержит недопустимое значение (%s). Таблица не изменена";
// Error texts.
inline constexpr const char* kNonFiniteRowText = "Строка %ld содержит недопустимое значение (%s)";
inline constexpr const char* kNonFiniteExtentText = "Границы контура выходят за пределы допустимых значений";
inline constexpr const char* kNoChangeRightText = "У вас нет прав на изменение контура";
inline constexpr const char* kNoCreateRightText = "У вас нет прав на создание контура";
inline constexpr const char* kNoCoordinatesText = "Ошибка создания объекта. Не заданы координаты.";
inline constexpr const char* kNoActiveLayerText = "Нет активного слоя карты";

// Transaction names the user sees in the Host.
inline constexpr const char* kUpdateTransactionName = "Обновление объекта";
inline constexpr const char* kCreateTransactionName = "Создание объекта";
inline constexpr const char* kAddShapeTransactionName = "Добавление формы к объекту";

// Permission masks of IHostPermissions.Allows.
inline constexpr long kCreateRightMask = 0x10;
inline constexpr long kChangeRightMask = 0x40;

// Style flags that keep a style out of a menu.
inline constexpr long kStyleFlagNotForCreate = 2;
inline constexpr long kStyleFlagNotForAdd = 4;

// Empty when the command ran; else the warning for the user.
using TMapWarning = std::optional<std::string>;

// Replaces the table's rows by the vertices of the first selected object's shape (the selected
// shape, or the first that defines geometry), all parts in order, with the closed flag of the
// last non-empty part. Everything is read before the table is touched, so a warning or a Host
// failure leaves the user's rows as they were; a vertex with a coordinate or convexity that is
// not a finite number gives the warning kNonFiniteVertexText. partsFilled, when given, receives
// the number of non-empty parts read.
TMapWarning FillTableFromMapObject(IHostApplication* host, TTable& table, long* partsFilled = nullptr);

// Raise kNonFiniteRowText / kNonFiniteExtentText for a value that is not a finite number: none is
// ever passed to the Host.
void RequireFiniteVertices(const ContourParts::TContourPart& part);
void RequireFiniteRect(const TFloatRect& r);

// Writes part into the first selected object's shape (chosen as by the fill) as one part, inside
// the transaction "Обновление объекта". The change right is checked before the transaction is
// begun; a Host failure afterwards leaves the transaction uncommitted.
TMapWarning UpdateMapObject(IHostApplication* host, const ContourParts::TContourPart& part);

// A new object in the active layer with one shape of style holding part, inside "Создание
// объекта"; the new object becomes the only selection. Returns its id.
long CreateMapObject(IHostApplication* host, IHostStyle* style, const ContourParts::TContourPart& part);

// Appends a shape of style holding part to the first selected object, inside "Добавление формы к
// объекту". The selection is left as it is.
void AddShapeToMapObject(IHostApplication* host, IHostStyle* style, const ContourParts::TContourPart& part);

// Appends a shape of style to object with one part holding part (no transaction of its own).
void AddShape(IHostMapObject* object, IHostStyle* style, const ContourParts::TContourPart& part);

enum class TStyleMenuKind { smkCreate, smkAdd };

// One item of a style menu: what it shows and the style its handler writes in.
struct TStyleMenuEntry {
    long StyleId = 0;
    std::string Name; // UTF-8; the window converts it for its menu
    long Flags = 0;
    TComPtr<IHostStyle> Style;
};

// The styles of the active layer in the Host's order, without those whose flags carry the bit of
// the menu kind. Empty without an active map view or layer.
std::vector<TStyleMenuEntry> StyleMenuEntries(IHostApplication* host, TStyleMenuKind kind);

// The click handler behind one style menu item; the window owns one per item.
class TStyleMenuEvent : public TObject {
public:
    TStyleMenuEvent(IHostApplication* host, ContourParts::TContourPart* part, IHostStyle* style);

    void CreateObjectClick();
    void AddShapeClick();
    void AddShape(IHostMapObject* object);

    IHostStyle* Style() const { return FStyle.get(); }

private:
    TComPtr<IHostApplication> FHost;
    TRefHolder<ContourParts::TContourPart> FPart;
    TComPtr<IHostStyle> FStyle;
};
