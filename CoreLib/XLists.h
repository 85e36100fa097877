// TRecArray: a growable array of fixed-size records kept as raw bytes in one block.
// Records are block-moved, never constructed or destroyed, so they must be trivially copyable.
// The array lives inside its owner; Init before use. Index errors raise ERecArray.
#pragma once

#include "CoreLib/Errors.h"

#include <cstdint>

class ERecArray : public Exception {
public:
    using Exception::Exception;
};

struct TRecArray {
    void* Data = nullptr;
    std::int32_t RecSize = 0;
    std::int32_t Capacity = 0;
    std::int32_t Count = 0;

    TRecArray() = default;
    TRecArray(const TRecArray&) = delete;
    TRecArray& operator=(const TRecArray&) = delete;
    ~TRecArray() { FreeRecs(); }

    void Init(std::int32_t recSize);
    void FreeRecs();
    // Reallocates to max(n, Count) records.
    void SetCapacity(std::int32_t n);
    // Grows by a step that depends on the capacity: 4 up to 8, 16 up to 64, a quarter above.
    void Grow();
    void InsertRecs(std::int32_t index, const void* src, std::int32_t n);
    void AddRecs(const void* src, std::int32_t n) { InsertRecs(Count, src, n); }
    void Add(const void* src);
    // Address of record index, valid until the next operation that can reallocate.
    void* GetPtr(std::int32_t index) const;

    template <class T>
    T& At(std::int32_t index) const
    {
        return *static_cast<T*>(GetPtr(index));
    }
};
