// The plan of Host calls that are to fail, for tests: the n-th call from now on, or every call
// of one operation. Plain C++; HostCalls consults it on every Host method.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace hostsim {

struct TPlannedFault {
    std::int32_t Code = 0;
    std::wstring Message;
};

class TFaultPlan {
public:
    // Call number n (1-based, counted from now) fails; n <= 0 switches it off.
    void FailNthCall(long n, std::int32_t code, const std::wstring& message);
    void FailOperation(const std::wstring& operation, std::int32_t code, const std::wstring& message);
    void Clear();

    // Counts one call; true (and the fault) when it is to fail.
    bool Call(const std::wstring& operation, TPlannedFault& fault);
    // The operation that the n-th call fault hit, empty before.
    const std::wstring& FailedOperation() const { return FFailedOperation; }
    long CallCount() const { return FCalls; }

private:
    long FCalls = 0;
    long FFailAt = 0; // absolute call number, 0 none
    std::wstring FFailedOperation;
    TPlannedFault FNth;
    std::map<std::wstring, TPlannedFault> FOperations;
};

} // namespace hostsim
