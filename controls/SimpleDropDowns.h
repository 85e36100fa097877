// The drop-down popup of a grid cell: a value list, a month calendar or a multi-line editor in a
// small popup under the cell. ExecuteDropDown runs the popup's own message loop (the grid and
// every other window stay responsive) until the user accepts or cancels, and destroys the popup
// before it returns.
#pragma once

#include "controls/DropDownLists.h"
#include "controls/FormUtils.h"

#include <cstdint>
#include <memory>

enum TDropDownKind : std::uint8_t { ddkList = 0, ddkCalendar = 1, ddkMemo = 2 };

// cellRect in screen coordinates; value in and, when accepted, out. List is used by ddkList only.
bool ExecuteDropDown(const RECT& cellRect, TDropDownKind kind, TGridValue& value,
                     const std::shared_ptr<IDropDownList>& list, HWND owner = nullptr);

// The popup while it is open (for tests and for windows that must not steal its activation).
HWND ActiveDropDownWindow();
