// A copy offered to the clipboard and made only when a program asks for one of its formats
// (delayed rendering). Render requests come while another program waits in GetClipboardData
// holding the clipboard open, or inside DestroyWindow of the owner: so nothing here throws or
// shows a box; a failed render gives the asker nothing and its reason is returned to the owner.
// The copy is kept before the clipboard is told of it, each format is made once, and the formats
// nobody asked for are made for good before the owner goes.
//
// Owned by the window that owns the clipboard; borrows its TOxClipboard.
#pragma once

#include "Polypad/OxClipboard.h"

#include <functional>
#include <string>
#include <vector>

class TDelayedCopy {
public:
    // Puts format's data on the clipboard opened for rendering (TOxClipboard::PutRendered*);
    // may throw.
    using TRender = std::function<void(UINT format)>;

    TDelayedCopy(TOxClipboard& clipboard, std::vector<UINT> formats);
    TDelayedCopy(const TDelayedCopy&) = delete;
    TDelayedCopy& operator=(const TDelayedCopy&) = delete;

    // Empties the clipboard and offers the formats, render being the copy from the moment the
    // clipboard is emptied. Raises the clipboard's error; the earlier copy then stays offered.
    void Offer(TRender render);
    // WM_RENDERFORMAT: the format's data, once; "" or the reason it could not be made.
    std::string RenderFormat(UINT format) noexcept;
    // WM_RENDERALLFORMATS, or before the owner goes: the formats not made yet, while the owner
    // still owns the clipboard; the copy is done with then. "" or the first failure's reason.
    std::string RenderRest() noexcept;
    // WM_DESTROYCLIPBOARD: the clipboard holds another content now.
    void Drop() noexcept;
    bool Holds() const { return static_cast<bool>(FRender); }

private:
    std::string Render(UINT format) noexcept;

    TOxClipboard& FClipboard;
    std::vector<UINT> FFormats;
    TRender FRender;
    std::vector<UINT> FRendered; // the formats of this copy already on the clipboard
};
