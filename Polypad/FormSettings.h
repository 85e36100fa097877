// The editor window's settings as they are kept in the Host's settings store: the keys, their
// defaults, the order in which they are read and written, the lenient boolean reading and the
// window bounds text. Platform-free: the store and the work area are parameters.
//
// Column widths and window bounds are stored in 96-DPI units and are screen pixels in
// TFormSettings: reading scales them to the screen, writing back to 96 DPI, so that a setting
// written on one screen opens the same on another (and settings written before scaling, at 96
// DPI, keep working).
#pragma once

#include "controls/DpiScale.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The Host's settings store as the window uses it.
class TSettingsStore {
public:
    virtual ~TSettingsStore() = default;
    // The value last written for key, or defaultValue when there is none.
    virtual std::string Read(const std::string& key, const std::string& defaultValue) = 0;
    virtual void Write(const std::string& key, const std::string& value) = 0;
};

struct TBounds {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    bool operator==(const TBounds&) const = default;
};

inline constexpr int kSettingsColumnCount = 11;

struct TFormSettings {
    bool PainterMode = true;
    bool Synchronization = true;
    std::int32_t Digits = 7;
    std::array<bool, kSettingsColumnCount> Showing{true, true, true, true, true, true, true, true, true, true, true};
    std::array<std::int32_t, kSettingsColumnCount> Width{100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100};
    TBounds Bounds;
    std::int32_t DataRow = -1;
    std::int32_t DataCol = -1;
};

// Reads every key in the window's order; the bounds only when floating (docked is false), with
// the current bounds as their default. A stored text that does not convert is not an error that
// would keep the window from opening: the key's default is used and the key is reported in
// badKeys, so that the window can say so.
TFormSettings LoadFormSettings(TSettingsStore& store, bool docked, const TBounds& currentBounds,
                               std::vector<std::string>& badKeys, const TDpiScale& screen = TDpiScale());
// The grid position keys, read after the columns are applied.
void LoadGridPosition(TSettingsStore& store, TFormSettings& settings, std::vector<std::string>& badKeys);
// Writes every key in the window's order; the bounds only when floating.
void SaveFormSettings(TSettingsStore& store, bool docked, const TFormSettings& settings,
                      const TDpiScale& screen = TDpiScale());

// Bounds between screen pixels and 96-DPI units.
TBounds ScaleBounds(const TBounds& at96, const TDpiScale& screen);
TBounds UnscaleBounds(const TBounds& pixels, const TDpiScale& screen);

// "-1" or "0".
std::string BooleanText(bool value);
// Any integer (non-zero is true) or "True"/"False" in any letter case; else EConvertError.
bool TextToBoolean(const std::string& text);
// An optional minus and decimal digits that fit 32 bits; else EConvertError.
std::int32_t TextToInteger(const std::string& text);

// "%d %d %d %d" of Left, Top, Width, Height.
std::string BoundsToText(const TBounds& bounds);
// Applies up to four integers in the order Left, Top, Width, Height; the first token that is not
// an integer ends the parse and leaves the rest as they are.
void TextToBounds(const std::string& text, TBounds& bounds);
// Moves the bounds onto the work area (left/top edges win when the window is larger).
void KeepOnWorkArea(TBounds& bounds, std::int32_t areaLeft, std::int32_t areaTop, std::int32_t areaRight,
                    std::int32_t areaBottom);

extern const char* const kPainterModeKey;
extern const char* const kSynchronizeKey;
extern const char* const kDigitsKey;
extern const char* const kShowingKeyPrefix;
extern const char* const kWidthKeyPrefix;
extern const char* const kBoundsKey;
extern const char* const kDataRowKey;
extern const char* const kDataColKey;
