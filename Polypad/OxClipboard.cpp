#include "Polypad/OxClipboard.h"

#include "controls/WinHandles.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// How long an open waits for another program that holds the clipboard.
constexpr DWORD kOpenClipboardLimitMs = 200;
constexpr DWORD kOpenClipboardRetryMs = 20;

// Waits up to ms while handling the messages other threads send to this one: a program that
// holds the clipboard may be waiting for our WM_RENDERFORMAT, and would wait on us as we on it.
void WaitHandlingSentMessages(DWORD ms)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE); // delivers sent messages
        const DWORD waited = ::GetTickCount() - start;
        if (waited >= ms)
            return;
        if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - waited, QS_SENDMESSAGE) != WAIT_OBJECT_0)
            return;
    }
}

// OpenClipboard/CloseClipboard pair; another program may hold the clipboard for a moment.
class TOpenClipboard {
public:
    explicit TOpenClipboard(HWND owner)
    {
        const DWORD start = ::GetTickCount();
        for (;;) {
            if (::OpenClipboard(owner))
                return;
            const DWORD error = ::GetLastError();
            const DWORD waited = ::GetTickCount() - start;
            if (waited >= kOpenClipboardLimitMs) {
                ::SetLastError(error);
                RaiseLastWin32Error("OpenClipboard");
            }
            WaitHandlingSentMessages(std::min(kOpenClipboardRetryMs, kOpenClipboardLimitMs - waited));
        }
    }
    TOpenClipboard(const TOpenClipboard&) = delete;
    TOpenClipboard& operator=(const TOpenClipboard&) = delete;
    ~TOpenClipboard() { ::CloseClipboard(); }
};

// Moveable global memory holding bytes; owned until the clipboard takes it.
class TGlobalBlock {
public:
    explicit TGlobalBlock(std::size_t size) : FMemory(::GlobalAlloc(GMEM_MOVEABLE, size))
    {
        CheckWin32Handle(FMemory, "GlobalAlloc");
    }
    TGlobalBlock(const void* data, std::size_t size) : TGlobalBlock(size)
    {
        void* target = ::GlobalLock(FMemory);
        std::memcpy(target, data, size);
        ::GlobalUnlock(FMemory);
    }
    TGlobalBlock(TGlobalBlock&& other) noexcept : FMemory(std::exchange(other.FMemory, nullptr)) {}
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

    HGLOBAL get() const { return FMemory; }

private:
    HGLOBAL FMemory;
};

// GlobalLock/GlobalUnlock pair over a block being filled.
template <class Char>
class TLockedBlock {
public:
    explicit TLockedBlock(const TGlobalBlock& block) : FMemory(block.get()), FData(static_cast<Char*>(::GlobalLock(FMemory)))
    {
        CheckWin32Handle(FData, "GlobalLock");
    }
    TLockedBlock(const TLockedBlock&) = delete;
    TLockedBlock& operator=(const TLockedBlock&) = delete;
    ~TLockedBlock() { ::GlobalUnlock(FMemory); }
    Char* get() const { return FData; }

private:
    HGLOBAL FMemory;
    Char* FData;
};

// The ANSI text of wide text, terminated, in a block of its own.
TGlobalBlock AnsiBlock(const wchar_t* text, std::size_t length)
{
    const int ansiLength = length ? ::WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0,
                                                          nullptr, nullptr)
                                  : 0;
    TGlobalBlock block(static_cast<std::size_t>(ansiLength) + 1);
    TLockedBlock<char> ansi(block);
    if (ansiLength)
        ::WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), ansi.get(), ansiLength, nullptr, nullptr);
    ansi.get()[ansiLength] = '\0';
    return block;
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

// Empties the clipboard and puts the texts on it, and beside them bytes in the private format
// (none when format is 0). Without an 8-bit text the system makes it from the Unicode text.
void ReplaceClipboard(HWND owner, TGlobalBlock* ansi, TGlobalBlock& wide, UINT format,
                      const std::vector<std::uint8_t>& bytes)
{
    std::optional<TGlobalBlock> dataBlock;
    if (format)
        dataBlock.emplace(bytes.data(), bytes.size());
    TOpenClipboard open(owner);
    CheckWin32(::EmptyClipboard(), "EmptyClipboard");
    if (ansi)
        ansi->PutOnClipboard(CF_TEXT);
    wide.PutOnClipboard(CF_UNICODETEXT);
    if (dataBlock)
        dataBlock->PutOnClipboard(format);
}

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

void TOxClipboard::SetText(const std::wstring& text)
{
    // Unicode only, as the copy of the table: the system makes the 8-bit text from it for a
    // program that asks, in the code page of the text's locale.
    TGlobalBlock wideBlock(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    ReplaceClipboard(FOwner, nullptr, wideBlock, 0, {});
}

void TOxClipboard::SetTextAndData(const std::wstring& text, UINT format, const std::vector<std::uint8_t>& bytes)
{
    TGlobalBlock ansiBlock = AnsiBlock(text.c_str(), text.size());
    TGlobalBlock wideBlock(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    ReplaceClipboard(FOwner, &ansiBlock, wideBlock, format, bytes);
}

namespace {

// UTF-8 widened straight into the clipboard's memory, ended by a zero as readers expect.
TGlobalBlock WideBlock(const std::string& utf8)
{
    // Room for the longest widening.
    TGlobalBlock block((utf8.size() + 1) * sizeof(wchar_t));
    TLockedBlock<wchar_t> wide(block);
    const std::size_t length = WidenInto(utf8, wide.get());
    wide.get()[length] = L'\0';
    return block;
}

} // namespace

void TOxClipboard::Offer(const std::vector<UINT>& formats, const std::function<void()>& emptied)
{
    TOpenClipboard open(FOwner);
    CheckWin32(::EmptyClipboard(), "EmptyClipboard");
    if (emptied)
        emptied();
    for (const UINT format : formats)
        ::SetClipboardData(format, nullptr); // no handle to check: null is the offer itself
}

void TOxClipboard::PutRenderedText(const std::string& utf8) { WideBlock(utf8).PutOnClipboard(CF_UNICODETEXT); }

void TOxClipboard::PutRenderedData(UINT format, const std::vector<std::uint8_t>& bytes)
{
    TGlobalBlock(bytes.data(), bytes.size()).PutOnClipboard(format);
}

bool TOxClipboard::RenderAll(const std::function<void()>& render)
{
    TOpenClipboard open(FOwner);
    // Another program may have taken the clipboard meanwhile: its content is not ours to fill.
    if (::GetClipboardOwner() != FOwner)
        return false;
    render();
    return true;
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
