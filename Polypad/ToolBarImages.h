// The editor window's tool bar pictures: 22 images of 16 × 16 pixels, drawn from pictures kept
// in the source, in the order of the commands' image indexes; on screens of more DPI the same
// pictures at 24 × 24 or 32 × 32 (ToolBarPictureSize).
#pragma once

#include "controls/WinHandles.h"

inline constexpr int kToolBarImageCount = 22;
inline constexpr int kToolBarImageSize = 16;

// Image indexes of the commands.
enum TToolBarImage : int {
    tbiFillTable = 0,
    tbiUpdateObject = 1,
    tbiCreateObject = 2,
    tbiCopy = 3,
    tbiPaste = 4,
    tbiAddRow = 5,
    tbiInsertRow = 6,
    tbiDeleteRow = 7,
    tbiClearTable = 8,
    tbiColumns = 9,
    tbiContourClosed = 10,
    tbiContourOpen = 11,
    tbiRowUp = 12,
    tbiRowDown = 13,
    tbiSwitchLayout = 14,
    tbiEditingMode = 15,
    tbiSynchronization = 16,
    tbiAddShape = 17,
    tbiPainterMode = 18,
    tbiFitToWindow = 19,
    tbiUndo = 20,
    tbiRedo = 21,
};

// A masked 32-bit image list holding the 22 pictures, size × size pixels (16, 24 or 32).
TUniqueImageList CreateToolBarImages(int size = kToolBarImageSize);
