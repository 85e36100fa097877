// Any stored settings of the window: every value is read or replaced by its key's default, the
// values read are within their ranges, and what is written back reads back the same.
#include "Polypad/FormSettings.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

// Answers the reads in turn with the fuzzer's values (LF-separated); past them, the default.
class TFuzzStore : public TSettingsStore {
public:
    explicit TFuzzStore(const std::string& text)
    {
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            FValues.push_back(text.substr(start, end - start));
            start = end + 1;
        }
    }
    std::string Read(const std::string&, const std::string& defaultValue) override
    {
        return FNext < FValues.size() ? FValues[FNext++] : defaultValue;
    }
    void Write(const std::string&, const std::string&) override {}

private:
    std::vector<std::string> FValues;
    std::size_t FNext = 0;
};

class TMapStore : public TSettingsStore {
public:
    std::string Read(const std::string& key, const std::string& defaultValue) override
    {
        const auto found = FValues.find(key);
        return found == FValues.end() ? defaultValue : found->second;
    }
    void Write(const std::string& key, const std::string& value) override { FValues[key] = value; }

private:
    std::map<std::string, std::string> FValues;
};

bool SameSettings(const TFormSettings& a, const TFormSettings& b)
{
    return a.PainterMode == b.PainterMode && a.Synchronization == b.Synchronization && a.Digits == b.Digits &&
           a.Showing == b.Showing && a.Width == b.Width && a.Bounds == b.Bounds && a.DataRow == b.DataRow &&
           a.DataCol == b.DataCol;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool docked = data[0] & 1;
    const int dpi = 48 + (data[0] >> 1) * 2; // 48 .. 302
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const TBounds current{10, 20, 600, 400};

    for (const int screenDpi : {96, dpi}) {
        const TDpiScale screen(screenDpi);
        TFuzzStore store(text);
        std::vector<std::string> badKeys;
        TFormSettings s = LoadFormSettings(store, docked, current, badKeys, screen);
        LoadGridPosition(store, s, badKeys);
        if (s.Digits < 0 || s.Digits > 7 || s.DataRow < -1 || s.DataCol < -1)
            std::abort();
        for (const std::int32_t width : s.Width)
            if (width < 0)
                std::abort();
        if (docked && !(s.Bounds == current))
            std::abort();
        if (screenDpi != 96)
            continue;
        // At 96 DPI nothing is scaled: the settings written read back exactly, without complaint.
        TMapStore written;
        SaveFormSettings(written, docked, s, screen);
        std::vector<std::string> rereadBad;
        TFormSettings reread = LoadFormSettings(written, docked, current, rereadBad, screen);
        LoadGridPosition(written, reread, rereadBad);
        if (!rereadBad.empty() || !SameSettings(s, reread))
            std::abort();
    }
    return 0;
}
