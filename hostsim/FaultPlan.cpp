#include "hostsim/FaultPlan.h"

namespace hostsim {

void TFaultPlan::FailNthCall(long n, std::int32_t code, const std::wstring& message)
{
    FFailAt = n > 0 ? FCalls + n : 0;
    FFailedOperation.clear();
    FNth = {code, message};
}

void TFaultPlan::FailOperation(const std::wstring& operation, std::int32_t code, const std::wstring& message)
{
    FOperations[operation] = {code, message};
}

void TFaultPlan::Clear()
{
    FFailAt = 0;
    FOperations.clear();
}

bool TFaultPlan::Call(const std::wstring& operation, TPlannedFault& fault)
{
    ++FCalls;
    if (FFailAt != 0 && FCalls == FFailAt) {
        FFailAt = 0;
        FFailedOperation = operation;
        fault = FNth;
        return true;
    }
    const auto it = FOperations.find(operation);
    if (it == FOperations.end())
        return false;
    fault = it->second;
    return true;
}

} // namespace hostsim
