// Any angle: either a well-formed degree text that parses back into [0, 360) or a range error.
#include "CoreLib/Errors.h"
#include "Polypad/DegreesUtils.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    long double angle;
    if (size >= sizeof(long double)) {
        std::memcpy(&angle, data, sizeof angle);
    } else if (size >= sizeof(double)) {
        double d;
        std::memcpy(&d, data, sizeof d);
        angle = d;
    } else {
        return 0;
    }
    std::string text;
    try {
        text = FormatDegrees(angle);
    } catch (const ERangeError&) {
        return 0;
    } catch (const EIntOverflow&) {
        return 0;
    }
    if (CleanDegreesText(text) != text)
        std::abort();
    const double degrees = ParseDegrees(text);
    if (!(degrees >= 0 && degrees < 360))
        std::abort();
    return 0;
}
