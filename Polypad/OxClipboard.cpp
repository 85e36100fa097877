#include "Polypad/OxClipboard.h"

#include "controls/WinHandles.h"

#include <cstring>

namespace {

// OpenClipboard/CloseClipboard pair; another program may hold the clipboard for a moment.
class TOpenClipboard {
public:
    explicit TOpenClipboard(HWND owner)
    {
        for (int attempt = 0; attempt < 10; ++attempt) {
            if (::OpenClipboard(owner))
                return;
            ::Sleep(20);
        }
        RaiseLastWin32Error("OpenClipboard");
    }
    TOpenClipboard(const TOpenClipboard&) = delete;
    TOpenClipboard& operator=(const TOpenClipboard&) = delete;
    ~TOpenClipboard() { ::CloseClipboard(); }
};

// Moveable global memory holding bytes; owned until the clipboard takes it.
class TGlobalBlock {
public:
    TGlobalBlock(const void* data, std::size_t size) : FMemory(::GlobalAlloc(GMEM_MOVEABLE, size))
    {
        CheckWin32Handle(FMemory, "GlobalAlloc");
        void* target = ::GlobalLock(FMemory);
        std::memcpy(target, data, size);
        ::GlobalUnlock(FMemory);
    }
    TGlobalBlock(const TGlobalBlock&) = delete;
    TGlobalBlock& operator=(const TGlobalBlock&) = delete;
    ~TGlobalBlock()
    {
        if (FMemory)
            ::GlobalFree(FMemory);
    }
    void PutOnClipboard(UINT format)
    {
        CheckWin32Handle(::SetClipboardData(format, FMemory), "SetClipboardData");
        FMemory = nullptr; // the clipboard owns it now
    }

private:
    HGLOBAL FMemory;
};

std::string ToAnsi(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                             nullptr, nullptr);
    std::string result(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(), length, nullptr,
                          nullptr);
    return result;
}

std::wstring FromAnsi(const char* text)
{
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1)
        return {};
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, result.data(), length);
    result.resize(static_cast<std::size_t>(length) - 1);
    return result;
}

// The locked text of one clipboard format, or nullptr when the clipboard lacks it.
template <class Char>
class TLockedText {
public:
    explicit TLockedText(UINT format) : FMemory(::GetClipboardData(format))
    {
        if (FMemory)
            FText = static_cast<const Char*>(::GlobalLock(FMemory));
    }
    TLockedText(const TLockedText&) = delete;
    TLockedText& operator=(const TLockedText&) = delete;
    ~TLockedText()
    {
        if (FText)
            ::GlobalUnlock(FMemory);
    }
    const Char* get() const { return FText; }
    // Up to the first terminating zero, never beyond the block.
    std::basic_string<Char> Text() const
    {
        const std::size_t limit = ::GlobalSize(FMemory) / sizeof(Char);
        std::size_t n = 0;
        while (n < limit && FText[n])
            ++n;
        return std::basic_string<Char>(FText, n);
    }

private:
    HANDLE FMemory;
    const Char* FText = nullptr;
};

} // namespace

void TOxClipboard::Clear()
{
    TOpenClipboard open(FOwner);
    CheckWin32(::EmptyClipboard(), "EmptyClipboard");
}

std::wstring TOxClipboard::GetText()
{
    TOpenClipboard open(FOwner);
    if (::IsClipboardFormatAvailable(CF_UNICODETEXT)) {
        TLockedText<wchar_t> text(CF_UNICODETEXT);
        if (text.get())
            return text.Text();
    }
    TLockedText<char> text(CF_TEXT);
    return text.get() ? FromAnsi(text.Text().c_str()) : std::wstring();
}

void TOxClipboard::SetText(const std::wstring& text) { SetTextAndData(text, 0, {}); }

void TOxClipboard::SetTextAndData(const std::wstring& text, UINT format, const std::vector<std::uint8_t>& bytes)
{
    const std::string ansi = ToAnsi(text);
    TGlobalBlock ansiBlock(ansi.c_str(), ansi.size() + 1);
    TGlobalBlock wideBlock(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    std::optional<TGlobalBlock> dataBlock;
    if (format)
        dataBlock.emplace(bytes.data(), bytes.size());
    TOpenClipboard open(FOwner);
    CheckWin32(::EmptyClipboard(), "EmptyClipboard");
    ansiBlock.PutOnClipboard(CF_TEXT);
    wideBlock.PutOnClipboard(CF_UNICODETEXT);
    if (dataBlock)
        dataBlock->PutOnClipboard(format);
}

std::optional<std::vector<std::uint8_t>> TOxClipboard::GetData(UINT format)
{
    TOpenClipboard open(FOwner);
    if (!format || !::IsClipboardFormatAvailable(format))
        return std::nullopt;
    const HANDLE memory = ::GetClipboardData(format);
    if (!memory)
        return std::nullopt;
    const auto* data = static_cast<const std::uint8_t*>(::GlobalLock(memory));
    if (!data)
        return std::vector<std::uint8_t>{};
    std::vector<std::uint8_t> bytes(data, data + ::GlobalSize(memory));
    ::GlobalUnlock(memory);
    return bytes;
}
