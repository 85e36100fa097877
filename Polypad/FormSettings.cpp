#include "Polypad/FormSettings.h"

#include "CoreLib/DecimalText.h"
#include "CoreLib/Errors.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>

const char* const kPainterModeKey = "Kestrom.PolypadPainterModeEnabled";
const char* const kSynchronizeKey = "Kestrom.PolypadSynchronizeEnabled";
const char* const kDigitsKey = "Kestrom.PolypadDigits";
const char* const kShowingKeyPrefix = "Kestrom.PolypadShowing";
const char* const kWidthKeyPrefix = "Kestrom.PolypadWidth";
const char* const kBoundsKey = "Kestrom.PolypadLTWH";
const char* const kDataRowKey = "Kestrom.PolypadDataRow";
const char* const kDataColKey = "Kestrom.PolypadDataCol";

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits with an optional leading minus, within 32 bits.
bool ParseInteger(const std::string& text, std::int32_t& value)
{
    std::size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
    if (i == text.size())
        return false;
    std::int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (!IsDigit(text[i]))
            return false;
        v = v * 10 + (text[i] - '0');
        if (v > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1)
            return false;
    }
    if (text[0] == '-')
        v = -v;
    if (v > std::numeric_limits<std::int32_t>::max() || v < std::numeric_limits<std::int32_t>::min())
        return false;
    value = static_cast<std::int32_t>(v);
    return true;
}

bool EqualsIgnoringCase(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

std::string ColumnKey(const char* prefix, int column) { return prefix + std::to_string(column); }

template <class T, class Convert>
T ReadOr(TSettingsStore& store, const std::string& key, const std::string& defaultText, T defaultValue,
         Convert convert, std::vector<std::string>& badKeys)
{
    try {
        return convert(store.Read(key, defaultText));
    } catch (const EConvertError&) {
        badKeys.push_back(key);
        return defaultValue;
    }
}

bool ReadBoolean(TSettingsStore& store, const std::string& key, bool defaultValue, std::vector<std::string>& badKeys)
{
    return ReadOr(store, key, defaultValue ? "1" : "0", defaultValue, TextToBoolean, badKeys);
}

std::int32_t ReadInteger(TSettingsStore& store, const std::string& key, std::int32_t defaultValue, std::int32_t low,
                         std::int32_t high, std::vector<std::string>& badKeys)
{
    auto convert = [&](const std::string& text) {
        const std::int32_t v = TextToInteger(text);
        if (v < low || v > high)
            throw EConvertError(Format("'%s' is out of range", QuotedExcerpt(text).c_str()));
        return v;
    };
    return ReadOr(store, key, std::to_string(defaultValue), defaultValue, convert, badKeys);
}

} // namespace

std::string BooleanText(bool value) { return value ? "-1" : "0"; }

bool TextToBoolean(const std::string& text)
{
    std::int32_t number;
    if (ParseInteger(text, number))
        return number != 0;
    if (EqualsIgnoringCase(text, "true"))
        return true;
    if (EqualsIgnoringCase(text, "false"))
        return false;
    throw EConvertError(Format("'%s' is not a valid boolean value", QuotedExcerpt(text).c_str()));
}

std::int32_t TextToInteger(const std::string& text)
{
    std::int32_t value;
    if (!ParseInteger(text, value))
        throw EConvertError(Format("'%s' is not a valid integer value", QuotedExcerpt(text).c_str()));
    return value;
}

std::string BoundsToText(const TBounds& b)
{
    return Format("%d %d %d %d", static_cast<int>(b.Left), static_cast<int>(b.Top), static_cast<int>(b.Width),
                  static_cast<int>(b.Height));
}

void TextToBounds(const std::string& text, TBounds& bounds)
{
    std::int32_t* fields[4] = {&bounds.Left, &bounds.Top, &bounds.Width, &bounds.Height};
    std::size_t pos = 0;
    auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    for (std::int32_t* field : fields) {
        while (pos < text.size() && isBlank(text[pos]))
            ++pos;
        const std::size_t start = pos;
        if (pos < text.size() && text[pos] == '-') {
            if (pos + 1 >= text.size() || !IsDigit(text[pos + 1]))
                return;
            ++pos;
        }
        while (pos < text.size() && !isBlank(text[pos]))
            ++pos;
        std::int32_t value;
        if (!ParseInteger(text.substr(start, pos - start), value))
            return;
        *field = value;
    }
}

void KeepOnWorkArea(TBounds& b, std::int32_t areaLeft, std::int32_t areaTop, std::int32_t areaRight,
                    std::int32_t areaBottom)
{
    auto keep = [](std::int32_t& start, std::int32_t size, std::int32_t low, std::int32_t high) {
        if (start < low)
            start = low;
        else if (std::int64_t{start} + size > high)
            start = std::max<std::int64_t>(std::int64_t{high} - size, low);
    };
    keep(b.Left, b.Width, areaLeft, areaRight);
    keep(b.Top, b.Height, areaTop, areaBottom);
}

TBounds ScaleBounds(const TBounds& b, const TDpiScale& screen)
{
    return {screen.Scale(b.Left), screen.Scale(b.Top), screen.Scale(b.Width), screen.Scale(b.Height)};
}

TBounds UnscaleBounds(const TBounds& b, const TDpiScale& screen)
{
    return {screen.Unscale(b.Left), screen.Unscale(b.Top), screen.Unscale(b.Width), screen.Unscale(b.Height)};
}

TFormSettings LoadFormSettings(TSettingsStore& store, bool docked, const TBounds& currentBounds,
                               std::vector<std::string>& badKeys, const TDpiScale& screen)
{
    TFormSettings s;
    s.PainterMode = ReadBoolean(store, kPainterModeKey, true, badKeys);
    s.Synchronization = ReadBoolean(store, kSynchronizeKey, true, badKeys);
    s.Digits = ReadInteger(store, kDigitsKey, 7, 0, 7, badKeys);
    for (int i = 0; i < kSettingsColumnCount; ++i)
        s.Showing[i] = ReadBoolean(store, ColumnKey(kShowingKeyPrefix, i), true, badKeys);
    for (int i = 0; i < kSettingsColumnCount; ++i)
        s.Width[i] = screen.Scale(ReadInteger(store, ColumnKey(kWidthKeyPrefix, i), 100, 0, 10000, badKeys));
    s.Bounds = currentBounds;
    if (!docked) {
        TBounds stored = UnscaleBounds(currentBounds, screen);
        TextToBounds(store.Read(kBoundsKey, BoundsToText(stored)), stored);
        s.Bounds = ScaleBounds(stored, screen);
    }
    return s;
}

void LoadGridPosition(TSettingsStore& store, TFormSettings& s, std::vector<std::string>& badKeys)
{
    const std::int32_t big = std::numeric_limits<std::int32_t>::max();
    s.DataRow = ReadInteger(store, kDataRowKey, -1, -1, big, badKeys);
    s.DataCol = ReadInteger(store, kDataColKey, -1, -1, big, badKeys);
}

void SaveFormSettings(TSettingsStore& store, bool docked, const TFormSettings& s, const TDpiScale& screen)
{
    store.Write(kDataRowKey, std::to_string(s.DataRow));
    store.Write(kDataColKey, std::to_string(s.DataCol));
    store.Write(kPainterModeKey, BooleanText(s.PainterMode));
    store.Write(kSynchronizeKey, BooleanText(s.Synchronization));
    store.Write(kDigitsKey, std::to_string(s.Digits));
    for (int i = 0; i < kSettingsColumnCount; ++i)
        store.Write(ColumnKey(kShowingKeyPrefix, i), BooleanText(s.Showing[i]));
    for (int i = 0; i < kSettingsColumnCount; ++i)
        store.Write(ColumnKey(kWidthKeyPrefix, i), std::to_string(screen.Unscale(s.Width[i])));
    if (!docked)
        store.Write(kBoundsKey, BoundsToText(UnscaleBounds(s.Bounds, screen)));
}
