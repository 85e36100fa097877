// The system clipboard as the editor window exchanges its table through it: plain 8-bit text in
// the system's ANSI code page, offered together with the same text as Unicode text so that no
// character is lost to programs that read that. The clipboard is opened with an owner window of
// the caller's (borrowed): Windows refuses SetClipboardData after EmptyClipboard without one.
// While another program holds the clipboard an open waits (200 ms at most) handling the messages
// sent to this thread, among them that program's requests for formats this window offered.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "CoreLib/RefObjects.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TOxClipboard : public TObject {
public:
    explicit TOxClipboard(HWND owner) : FOwner(owner) {}

    // Empties the clipboard.
    void Clear();
    // The clipboard's text: its Unicode text when there is some, else its 8-bit text widened
    // from the ANSI code page; empty when it holds no text.
    std::wstring GetText();
    // Replaces the clipboard's content with text as Unicode text; the system makes the 8-bit
    // text from it on request.
    void SetText(const std::wstring& text);
    // Replaces the clipboard's content with text, as 8-bit ANSI text and as Unicode text, and
    // beside it bytes in a private format of the caller's (registered by name).
    void SetTextAndData(const std::wstring& text, UINT format, const std::vector<std::uint8_t>& bytes);
    // The bytes of a private format, or nothing when the clipboard does not hold it.
    std::optional<std::vector<std::uint8_t>> GetData(UINT format);

    // Replaces the clipboard's content with formats whose data the owner window makes when a
    // program asks for it (WM_RENDERFORMAT), or for good before it goes (WM_RENDERALLFORMATS).
    // emptied runs once the clipboard is emptied (the earlier owner told), before the formats are
    // offered and the clipboard is closed, which tells clipboard viewers at once.
    void Offer(const std::vector<UINT>& formats, const std::function<void()>& emptied = {});
    // In WM_RENDERFORMAT, with the clipboard opened by the program that asks: UTF-8 text widened
    // straight into the clipboard's memory as Unicode text (the system makes the 8-bit text from
    // it for a program that asks), and a private format's bytes.
    static void PutRenderedText(const std::string& utf8);
    static void PutRenderedData(UINT format, const std::vector<std::uint8_t>& bytes);
    // Runs render (which puts each offered format) with the clipboard opened, when the owner
    // window still owns the clipboard; false when it does not.
    bool RenderAll(const std::function<void()>& render);

private:
    HWND FOwner;
};
