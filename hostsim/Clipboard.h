// The clipboard as scripts use it: text in, text out, and the escapes that let a script line
// carry tabs and line breaks. Raises EWin32Error when the clipboard cannot be opened or filled.
#pragma once

#include <windows.h>

#include <string>

namespace hostsim {

// Puts text as CF_UNICODETEXT and CF_TEXT (the ANSI code page); owner: a window of the process.
void SetClipboardText(HWND owner, const std::wstring& text);
// A file's bytes: valid UTF-8 (the project's texts) as SetClipboardText does, so that Cyrillic
// survives; anything else as it is as CF_TEXT (the system derives CF_UNICODETEXT from it).
void SetClipboardBytes(HWND owner, const std::string& bytes);
// CF_UNICODETEXT; empty when the clipboard holds no text.
std::wstring ClipboardText(HWND owner);

// "\t", "\n", "\r" and "\\" to TAB, LF, CR and a backslash; raises EHostError for any other
// backslash sequence, so that a typo does not silently put other text.
std::string UnescapeText(const std::string& text);
// The reverse: TAB, LF, CR and backslash shown as "\t", "\n", "\r", "\\".
std::string EscapeText(const std::string& text);

} // namespace hostsim
