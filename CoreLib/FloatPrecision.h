// The x87 precision the geometry computes with. Its intermediates are long double, whose 64-bit
// mantissa the results depend on; the x87 precision-control field decides how many of those bits
// an operation keeps. A process's start-up sets it, not a DLL's: a Host built with the usual
// Windows runtime runs at 53 bits. Entry points of the module (window procedures, automation
// methods) hold a TExtendedPrecision, which sets 64 bits for their duration and restores the
// caller's setting. Elsewhere than x86 (no x87) it does nothing.
#pragma once

#include <cstdint>

namespace FloatPrecision {

// Precision-control values of the x87 control word (bits 8 and 9).
inline constexpr std::uint16_t kMask = 0x0300, kSingle = 0x0000, kDouble = 0x0200, kExtended = 0x0300;

#if defined(__i386__) || defined(__x86_64__)
inline std::uint16_t ControlWord()
{
    std::uint16_t word = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(word));
    return word;
}
inline void SetControlWord(std::uint16_t word) { __asm__ __volatile__("fldcw %0" : : "m"(word)); }
#else
inline std::uint16_t ControlWord() { return kExtended; }
inline void SetControlWord(std::uint16_t) {}
#endif

inline std::uint16_t Precision() { return ControlWord() & kMask; }
inline void SetPrecision(std::uint16_t precision)
{
    SetControlWord(static_cast<std::uint16_t>((ControlWord() & ~kMask) | (precision & kMask)));
}

} // namespace FloatPrecision

// Sets the 64-bit mantissa for its lifetime when the caller had less; restores it after.
class TExtendedPrecision {
public:
    TExtendedPrecision() noexcept : FSaved(FloatPrecision::ControlWord())
    {
        if ((FSaved & FloatPrecision::kMask) != FloatPrecision::kExtended)
            FloatPrecision::SetControlWord(FSaved | FloatPrecision::kExtended);
    }
    ~TExtendedPrecision()
    {
        if ((FSaved & FloatPrecision::kMask) != FloatPrecision::kExtended)
            FloatPrecision::SetControlWord(FSaved);
    }
    TExtendedPrecision(const TExtendedPrecision&) = delete;
    TExtendedPrecision& operator=(const TExtendedPrecision&) = delete;

private:
    std::uint16_t FSaved;
};
