#include "CoreLib/XLists.h"

#include <cstdlib>
#include <cstring>

void TRecArray::Init(std::int32_t recSize)
{
    FreeRecs();
    RecSize = recSize;
}

void TRecArray::FreeRecs()
{
    std::free(Data);
    Data = nullptr;
    Capacity = 0;
    Count = 0;
}

void TRecArray::SetCapacity(std::int32_t n)
{
    if (n < Count)
        n = Count;
    if (n == Capacity)
        return;
    void* storage = nullptr;
    if (n > 0) {
        const std::int32_t bytes = CheckedMul(n, RecSize);
        storage = std::malloc(static_cast<std::size_t>(bytes));
        if (!storage)
            throw EOutOfMemory();
        if (Count > 0)
            std::memcpy(storage, Data, static_cast<std::size_t>(CheckedMul(Count, RecSize)));
    }
    std::free(Data);
    Data = storage;
    Capacity = n;
}

void TRecArray::Grow()
{
    std::int32_t step;
    if (Capacity > 64)
        step = Capacity / 4;
    else if (Capacity > 8)
        step = 16;
    else
        step = 4;
    SetCapacity(CheckedAdd(Capacity, step));
}

void TRecArray::InsertRecs(std::int32_t index, const void* src, std::int32_t n)
{
    if (index < 0 || index > Count)
        throw ERecArray("Индекс массива выходит за пределы (TRecArray.InsertRecs)");
    if (n < 0)
        throw ERangeError();
    const std::int32_t newCount = CheckedAdd(Count, n);
    if (Capacity < newCount)
        SetCapacity(newCount);
    char* base = static_cast<char*>(Data);
    if (index < Count)
        std::memmove(base + CheckedMul(CheckedAdd(index, n), RecSize), base + CheckedMul(index, RecSize),
                     static_cast<std::size_t>(CheckedMul(Count - index, RecSize)));
    if (n > 0)
        std::memcpy(base + CheckedMul(index, RecSize), src, static_cast<std::size_t>(CheckedMul(n, RecSize)));
    Count = newCount;
}

void TRecArray::Add(const void* src)
{
    if (Count == Capacity)
        Grow();
    AddRecs(src, 1);
}

void* TRecArray::GetPtr(std::int32_t index) const
{
    if (index < 0 || index >= Count)
        throw ERecArray("Индекс массива выходит за пределы (TRecArray.GetPtr)");
    return static_cast<char*>(Data) + CheckedMul(index, RecSize);
}
