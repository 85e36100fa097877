#include "hostsim/Clipboard.h"
#include "hostsim/ProjectStore.h"

#include "controls/WinHandles.h"

#include <cstring>

namespace hostsim {

namespace {

// OpenClipboard/CloseClipboard pair.
class TOpenClipboard {
public:
    explicit TOpenClipboard(HWND owner) { CheckWin32(::OpenClipboard(owner), "OpenClipboard"); }
    TOpenClipboard(const TOpenClipboard&) = delete;
    TOpenClipboard& operator=(const TOpenClipboard&) = delete;
    ~TOpenClipboard() { ::CloseClipboard(); }
};

// Global memory that the clipboard takes over once SetClipboardData succeeds.
class TClipboardMemory {
public:
    TClipboardMemory(const void* data, std::size_t size)
        : FMemory(CheckWin32Handle(::GlobalAlloc(GMEM_MOVEABLE, size), "GlobalAlloc"))
    {
        void* target = ::GlobalLock(FMemory);
        if (!target) {
            ::GlobalFree(FMemory);
            RaiseLastWin32Error("GlobalLock");
        }
        std::memcpy(target, data, size);
        ::GlobalUnlock(FMemory);
    }
    TClipboardMemory(const TClipboardMemory&) = delete;
    TClipboardMemory& operator=(const TClipboardMemory&) = delete;
    ~TClipboardMemory()
    {
        if (FMemory)
            ::GlobalFree(FMemory);
    }
    void Put(UINT format)
    {
        CheckWin32Handle(::SetClipboardData(format, FMemory), "SetClipboardData");
        FMemory = nullptr;
    }

private:
    HGLOBAL FMemory;
};

std::string AnsiText(const std::wstring& text)
{
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()) + 1, nullptr, 0,
                                           nullptr, nullptr);
    std::string ansi(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()) + 1, ansi.data(), size, nullptr,
                              nullptr);
    return ansi; // with its terminating NUL
}

} // namespace

void SetClipboardText(HWND owner, const std::wstring& text)
{
    TClipboardMemory unicode(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    const std::string ansi = AnsiText(text);
    TClipboardMemory narrow(ansi.data(), ansi.size());
    const TOpenClipboard open(owner);
    CheckWin32(::EmptyClipboard(), "EmptyClipboard");
    unicode.Put(CF_UNICODETEXT);
    narrow.Put(CF_TEXT);
}

void SetClipboardBytes(HWND owner, const std::string& bytes)
{
    const int wide = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                           nullptr, 0);
    if (wide > 0) {
        std::wstring text(static_cast<std::size_t>(wide), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), wide);
        SetClipboardText(owner, text);
        return;
    }
    TClipboardMemory narrow(bytes.c_str(), bytes.size() + 1);
    const TOpenClipboard open(owner);
    CheckWin32(::EmptyClipboard(), "EmptyClipboard");
    narrow.Put(CF_TEXT);
}

std::wstring ClipboardText(HWND owner)
{
    const TOpenClipboard open(owner);
    const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    if (!data)
        return {};
    const auto* text = static_cast<const wchar_t*>(::GlobalLock(data));
    if (!text)
        return {};
    const std::size_t limit = ::GlobalSize(data) / sizeof(wchar_t);
    const std::wstring result(text, wcsnlen(text, limit));
    ::GlobalUnlock(data);
    return result;
}

std::string UnescapeText(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        const char next = i + 1 < text.size() ? text[++i] : '\0';
        switch (next) {
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: throw EHostError(kHostInvalidArg, "unknown escape in \"" + text + "\" (\\t, \\n, \\r, \\\\)");
        }
    }
    return out;
}

std::string EscapeText(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    return out;
}

} // namespace hostsim
