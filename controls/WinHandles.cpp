#include "controls/WinHandles.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// ASCII and two-byte sequences (Cyrillic, the degree sign) by hand: a copy of 10^5 rows is
// megabytes of them, and the system's conversion takes several times as long. Anything else
// goes to the system as a whole, so that invalid input is treated as it always was.
std::size_t WidenInto(const std::string& text, wchar_t* out)
{
    std::size_t n = 0;
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        // Runs of ASCII sixteen, then eight bytes at a time: most of a copied table is digits
        // and tabs.
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        while (i + 16 <= size) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
            if (_mm_movemask_epi8(bytes))
                break;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), _mm_unpacklo_epi8(bytes, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n + 8), _mm_unpackhi_epi8(bytes, zero));
            n += 16;
            i += 16;
        }
#endif
        while (i + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, 8);
            if (word & 0x8080808080808080ULL)
                break;
            for (int k = 0; k < 8; ++k)
                out[n + k] = static_cast<wchar_t>(static_cast<unsigned char>(text[i + k]));
            n += 8;
            i += 8;
        }
        if (i >= size)
            break;
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out[n++] = static_cast<wchar_t>(c);
            continue;
        }
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0u;
        if (c < 0xC2 || c > 0xDF || (next & 0xC0) != 0x80)
            return text.empty() ? 0
                                : static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, text.data(),
                                                                                 static_cast<int>(text.size()), out,
                                                                                 static_cast<int>(text.size())));
        out[n++] = static_cast<wchar_t>(((c & 0x1Fu) << 6) | (next & 0x3Fu));
        ++i;
    }
    return n;
}

std::wstring Widen(const std::string& text)
{
    std::wstring result(text.size(), L'\0');
    result.resize(WidenInto(text, result.data()));
    return result;
}

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                             nullptr, nullptr);
    std::string result(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length, nullptr,
                          nullptr);
    return result;
}

namespace {

std::string SystemMessage(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
    if (buffer)
        ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text.empty() ? Format("system error %lu", static_cast<unsigned long>(code)) : Narrow(text);
}

} // namespace

EWin32Error::EWin32Error(DWORD code, const std::string& what) : Exception(what), FCode(code) {}

void RaiseLastWin32Error(const char* what)
{
    const DWORD code = ::GetLastError();
    throw EWin32Error(code, Format("%s: %s", what, SystemMessage(code).c_str()));
}

TUniqueBitmap CreateDibSection32(int width, int height, void** bits)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    TUniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0));
    if (!bitmap)
        RaiseLastWin32Error("CreateDIBSection");
    return bitmap;
}

