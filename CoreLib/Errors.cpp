#include "CoreLib/Errors.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

ERangeError::ERangeError() : Exception("Range check error") {}
EIntOverflow::EIntOverflow() : Exception("Integer overflow") {}
EOutOfMemory::EOutOfMemory() : Exception("Out of memory") {}

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string result;
    if (length > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, args);
        result.assign(buffer.data(), static_cast<std::size_t>(length));
    }
    va_end(args);
    return result;
}

void AssertionFailed(const char* message, const std::source_location& where)
{
    throw EAssertionFailed(Format("%s (%s, line %d)", message, where.file_name(),
                                  static_cast<int>(where.line())));
}

std::int32_t CheckedAdd(std::int32_t a, std::int32_t b)
{
    std::int32_t result;
    if (__builtin_add_overflow(a, b, &result))
        throw EIntOverflow();
    return result;
}

std::int32_t CheckedMul(std::int32_t a, std::int32_t b)
{
    std::int32_t result;
    if (__builtin_mul_overflow(a, b, &result))
        throw EIntOverflow();
    return result;
}
