// The message boxes of this process as scripts answer them: the visible dialog boxes (class
// "#32770") of the process, their caption and static text, and pressing one of their buttons.
#pragma once

#include <windows.h>

#include <string>

namespace hostsim {

// The topmost visible dialog box of this process; nullptr when none is shown.
HWND FindMessageBox();
// "CAPTION: TEXT", the texts of the box's static controls joined by blanks.
std::wstring MessageBoxText(HWND box);
// Presses "OK", "Yes", "No" or "Cancel" as a click does (WM_COMMAND BN_CLICKED to the box);
// raises EHostError for another name or when the box has no such button.
void PressButton(HWND box, const std::string& button);

} // namespace hostsim
