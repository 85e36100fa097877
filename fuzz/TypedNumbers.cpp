// Any text typed into a number cell or an angle cell. A number is read without the C runtime's
// locale and must agree with strtod's reading in the "C" locale wherever it is taken or refused
// as too large; what it displays reads back to the same display; an angle is finite or refused.
#include "CoreLib/DecimalText.h"
#include "CoreLib/Errors.h"
#include "Polypad/DegreesUtils.h"
#include "Polypad/ExchangeText.h"
#include "controls/SimpleGridColumns.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void CheckReadDecimal(const std::string& text)
{
    double value = 0;
    const TDecimalRead read = ReadDecimal(text, value);
    if (read == TDecimalRead::drInvalid)
        return;
    // The fuzzer runs in the "C" locale: strtod is an independent reading of the same text.
    char* end = nullptr;
    const double reference = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size())
        std::abort();
    if (read == TDecimalRead::drOutOfRange) {
        if (!std::isinf(reference))
            std::abort();
        return;
    }
    if (!std::isfinite(value))
        std::abort();
    // Below the smallest double strtod may keep a subnormal where the reading gives zero.
    if (std::memcmp(&value, &reference, sizeof value) != 0 && !(value == 0 && std::fabs(reference) < 1e-300))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > 4096)
        return 0;
    const char separator = data[0] & 1 ? ',' : '.';
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (text.find('\0') == std::string::npos)
        CheckReadDecimal(text);

    TFormatSettings fs = FormatSettings();
    fs.DecimalSeparator = separator;
    try {
        const double value = TextToFloat(text, fs);
        if (!std::isfinite(value))
            std::abort();
        const std::string shown = FloatToText(value, fs);
        if (FloatToText(TextToFloat(shown, fs), fs) != shown)
            std::abort();
    } catch (const EConvertError& e) {
        if (std::strlen(e.what()) > 300)
            std::abort(); // the message quotes a piece of the text, never all of it
    }
    try {
        if (!std::isfinite(ParseClipboardNumber(text, separator)))
            std::abort();
    } catch (const EConvertError&) {
    }
    try {
        if (!std::isfinite(ParseDegrees(CleanDegreesText(text))))
            std::abort();
    } catch (const EConvertError&) {
    }
    return 0;
}
