// Any typed text through the angle cell's cleaning and parsing: a value or a conversion error.
#include "CoreLib/Errors.h"
#include "Polypad/DegreesUtils.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string cleaned = CleanDegreesText(text);
    if (CleanDegreesText(cleaned) != cleaned)
        std::abort();
    for (const std::string& input : {cleaned, text}) {
        try {
            if (!std::isfinite(ParseDegrees(input)))
                std::abort();
        } catch (const EConvertError&) {
        }
    }
    return 0;
}
