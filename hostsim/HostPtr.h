// A counted interface pointer for the stand-in's own calls through COM interfaces: releases on
// destruction, moves, never copies; put() hands out the slot of an out-parameter.
#pragma once

#include <utility>

namespace hostsim {

template <class T>
class THostPtr {
public:
    THostPtr() = default;
    explicit THostPtr(T* owned) : FPtr(owned) {}
    THostPtr(const THostPtr&) = delete;
    THostPtr& operator=(const THostPtr&) = delete;
    THostPtr(THostPtr&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
    THostPtr& operator=(THostPtr&& other) noexcept
    {
        reset(std::exchange(other.FPtr, nullptr));
        return *this;
    }
    ~THostPtr() { reset(); }

    T* get() const { return FPtr; }
    T* operator->() const { return FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }
    T** put()
    {
        reset();
        return &FPtr;
    }
    void reset(T* owned = nullptr)
    {
        if (T* old = std::exchange(FPtr, owned))
            old->Release();
    }

private:
    T* FPtr = nullptr;
};

} // namespace hostsim
