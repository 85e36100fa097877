// Test programs run as several processes at once (the shards of one program, the parts of a
// sweep). The Host keeps its settings in a file beside the project, so each process works on
// project files of its own; they are deleted, settings included, when the process ends.
#pragma once

#include <objbase.h>
#include <windows.h>

#include <cwchar>

#include <map>
#include <string>
#include <vector>

namespace processfiles {

class TCleanup {
public:
    ~TCleanup()
    {
        for (const std::wstring& path : FPaths) {
            ::DeleteFileW(path.c_str());
            ::DeleteFileW((path + L".settings").c_str());
        }
    }
    void Add(const std::wstring& path) { FPaths.push_back(path); }
    std::map<std::wstring, std::wstring> Copies;

private:
    std::vector<std::wstring> FPaths;
};

inline TCleanup& Cleanup()
{
    static TCleanup cleanup;
    return cleanup;
}

// A tag of this process, unique also among processes of different Wine prefixes (whose
// process ids repeat).
inline const std::wstring& ProcessTag()
{
    static const std::wstring tag = [] {
        GUID guid{};
        ::CoCreateGuid(&guid);
        wchar_t text[16] = {};
        ::swprintf(text, 16, L"%08lx", static_cast<unsigned long>(guid.Data1 ^ ::GetCurrentProcessId()));
        return std::wstring(text);
    }();
    return tag;
}

// "<dir>/<stem>.<tag><ext>" for "<dir>/<stem><ext>", deleted (with its settings) at exit.
inline std::wstring OwnName(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    const size_t dot = path.rfind(L'.');
    const size_t split = dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash) ? path.size() : dot;
    const std::wstring own =
        path.substr(0, split) + L"." + ProcessTag() + path.substr(split);
    Cleanup().Add(own);
    return own;
}

// A copy of the project for this process alone, made at the first call for it.
inline const std::wstring& OwnCopy(const std::wstring& project)
{
    auto found = Cleanup().Copies.find(project);
    if (found != Cleanup().Copies.end())
        return found->second;
    std::wstring own = OwnName(project);
    ::DeleteFileW((own + L".settings").c_str());
    if (!::CopyFileW(project.c_str(), own.c_str(), FALSE))
        own = project; // the tests then report the missing project themselves
    return Cleanup().Copies.emplace(project, own).first->second;
}

} // namespace processfiles
