// Helpers of the stand-in's tests: a counted interface pointer, BSTR text, the example project
// copied into a fresh folder of the build tree (so settings files do not leak between tests).
#pragma once

#include "hostsim/HostSimApi.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

template <class T>
class TPtr {
public:
    TPtr() = default;
    TPtr(const TPtr&) = delete;
    TPtr& operator=(const TPtr&) = delete;
    TPtr(TPtr&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
    ~TPtr() { reset(); }
    T** out()
    {
        reset();
        return &FPtr;
    }
    T* operator->() const { return FPtr; }
    T* get() const { return FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }
    void reset()
    {
        if (FPtr)
            FPtr->Release();
        FPtr = nullptr;
    }

private:
    T* FPtr = nullptr;
};

class TBstr {
public:
    explicit TBstr(const wchar_t* text = L"") : FText(::SysAllocString(text)) {}
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;
    ~TBstr() { ::SysFreeString(FText); }
    BSTR get() const { return FText; }
    BSTR* out()
    {
        ::SysFreeString(FText);
        FText = nullptr;
        return &FText;
    }
    std::wstring text() const { return FText ? FText : L""; }

private:
    BSTR FText;
};

// The message of the current thread's error information (empty when there is none).
std::wstring LastErrorMessage();

// A fresh copy of the example project in the build tree; returns its path.
std::wstring CopyExampleProject(const char* testName);
// Writes text (UTF-8) to a new project file in the build tree; returns its path.
std::wstring WriteProjectFile(const char* testName, const std::string& text);

// COM initialised, the fault plan cleared, and the application made from the example project.
class HostFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void Open(bool withWindows);

    TPtr<IHostApplication> App;
    std::wstring ProjectPath;
    long LiveBefore = 0;
};

// Reads the vertices of object id's shape as "X Y K|X Y K|..." per part, parts separated by " / ".
std::wstring ShapeText(IHostApplication* app, long objectId, long shapeIndex);
