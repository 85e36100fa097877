// Exception classes of the core and the checks that raise them.
// Inside the module every failure is an exception; the automation boundary turns them into HRESULTs.
// Messages are UTF-8 and kept exactly as the user is meant to read them.
#pragma once

#include <cstdint>
#include <source_location>
#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A broken precondition of a support unit; the text names the unit and the line.
class EAssertionFailed : public Exception {
public:
    using Exception::Exception;
};

// Text that does not convert to the value asked for.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// "Range check error": a value or index outside what a container or type can hold.
class ERangeError : public Exception {
public:
    ERangeError();
};

// "Integer overflow": a size or count that does not fit 32 bits.
class EIntOverflow : public Exception {
public:
    EIntOverflow();
};

class EOutOfMemory : public Exception {
public:
    EOutOfMemory();
};

// A command abandoned on purpose (its window went away while it waited for the user): it unwinds
// to the message loop or the automation boundary, where nothing is shown or reported.
class EAbort : public Exception {
public:
    EAbort() : Exception("Операция прервана") {}
};

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

[[noreturn]] void AssertionFailed(const char* message, const std::source_location& where);

// Raises EAssertionFailed with "message (unit, line N)" when the condition does not hold.
inline void Assert(bool condition, const char* message = "Assertion failure",
                   const std::source_location& where = std::source_location::current())
{
    if (!condition)
        AssertionFailed(message, where);
}

// 32-bit arithmetic that raises EIntOverflow instead of wrapping.
std::int32_t CheckedAdd(std::int32_t a, std::int32_t b);
std::int32_t CheckedMul(std::int32_t a, std::int32_t b);
