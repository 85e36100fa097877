#include "Polypad/TraverseEntry.h"

#include "CoreLib/Errors.h"
#include "Polypad/Courses.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

const char* const kTraverseKindKey = "Kestrom.PolypadTraverseKind";
const char* const kTraverseAnglesKey = "Kestrom.PolypadTraverseAngles";
const char* const kTraverseRuleKey = "Kestrom.PolypadTraverseRule";
const char* const kTraverseAngleLimitKey = "Kestrom.PolypadTraverseAngleLimit";
const char* const kTraverseRelativeLimitKey = "Kestrom.PolypadTraverseRelativeLimit";
const char* const kTraverseSigmaAngleKey = "Kestrom.PolypadTraverseSigmaAngle";
const char* const kTraverseSigmaLengthMmKey = "Kestrom.PolypadTraverseSigmaLengthMm";
const char* const kTraverseSigmaLengthPpmKey = "Kestrom.PolypadTraverseSigmaLengthPpm";

namespace {

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Where each line of the composed field book came from.
struct TComposed {
    std::string Text;
    std::vector<std::string> Origins; // by line, from line 1
    void Line(const std::string& line, const std::string& origin)
    {
        Text += line + "\n";
        Origins.push_back(origin);
    }
};

const std::string& Required(const std::string& text, const char* field)
{
    if (Trimmed(text).empty())
        throw ETraverseError(std::string("Не задано: ") + field);
    return text;
}

TComposed Compose(const TTraverseEntry& entry)
{
    const bool closed = entry.Kind == TTraverseKind::Closed;
    TComposed book;
    book.Line("start\t" + Trimmed(Required(entry.StartX, "X начального пункта")) + "\t" +
                  Trimmed(Required(entry.StartY, "Y начального пункта")),
              "Начальный пункт");
    book.Line(std::string(closed ? "direction\t" : "from-direction\t") +
                  Trimmed(Required(entry.StartDirection, "дирекционный угол в начале")),
              "Дирекционный угол в начале");
    // The rows that are not wholly empty, numbered as the grid shows them.
    std::vector<std::size_t> filled;
    for (std::size_t i = 0; i < entry.Stations.size(); ++i)
        if (!Trimmed(entry.Stations[i][0]).empty() || !Trimmed(entry.Stations[i][1]).empty())
            filled.push_back(i);
    for (std::size_t k = 0; k < filled.size(); ++k) {
        const std::size_t i = filled[k];
        const std::string angle = Trimmed(entry.Stations[i][0]);
        const std::string length = Trimmed(entry.Stations[i][1]);
        const std::string origin = "Станция " + std::to_string(i + 1);
        if (angle.empty())
            throw ETraverseError(origin + ": не задан угол");
        const bool last = k + 1 == filled.size();
        if (length.empty() && (closed || !last))
            throw ETraverseError(origin + ": не задана длина стороны" +
                                 (closed ? "" : " (угол без длины бывает только на конечном пункте)"));
        book.Line(length.empty() ? angle : angle + "\t" + length, origin);
    }
    if (!closed) {
        book.Line("end\t" + Trimmed(Required(entry.EndX, "X конечного пункта")) + "\t" +
                      Trimmed(Required(entry.EndY, "Y конечного пункта")),
                  "Конечный пункт");
        book.Line("to-direction\t" + Trimmed(Required(entry.EndDirection, "дирекционный угол в конце")),
                  "Дирекционный угол в конце");
    }
    return book;
}

double ReadSetting(TSettingsStore& store, const char* key, double defaultValue, double low, double high)
{
    const std::string text = store.Read(key, "");
    if (text.empty())
        return defaultValue;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(value) || value < low || value > high)
        return defaultValue;
    return value;
}

std::string SettingText(double value)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

} // namespace

std::string TraverseFieldBook(const TTraverseEntry& entry) { return Compose(entry).Text; }

TTraverseInput ReadTraverseEntry(const TTraverseEntry& entry, char decimalSeparator)
{
    const TComposed book = Compose(entry);
    try {
        return ReadTraverse(book.Text, decimalSeparator, entry.Angles);
    } catch (const ECourseError& e) {
        // "Строка N: what" of the composed text becomes "<field>: what".
        const std::string message = e.what();
        const std::size_t colon = message.find(": ");
        const std::string what = colon == std::string::npos ? message : message.substr(colon + 2);
        const int line = e.Line();
        if (line >= 1 && static_cast<std::size_t>(line) <= book.Origins.size())
            throw ETraverseError(book.Origins[static_cast<std::size_t>(line - 1)] + ": " + what);
        throw ETraverseError(what);
    }
}

TTraverseDialogSettings LoadTraverseDialogSettings(TSettingsStore& store)
{
    TTraverseDialogSettings s;
    const TTraverseSettings defaults;
    s.Kind = store.Read(kTraverseKindKey, "closed") == "connecting" ? TTraverseKind::Connecting : TTraverseKind::Closed;
    s.Angles = store.Read(kTraverseAnglesKey, "right") == "left" ? TTraverseAngles::Left : TTraverseAngles::Right;
    const std::string rule = store.Read(kTraverseRuleKey, TraverseRuleName(defaults.Rule));
    for (const TTraverseRule r : {TTraverseRule::Compass, TTraverseRule::Transit, TTraverseRule::LeastSquares})
        if (rule == TraverseRuleName(r))
            s.Settings.Rule = r;
    s.Settings.AngleLimitSeconds = ReadSetting(store, kTraverseAngleLimitKey, defaults.AngleLimitSeconds, 0, 1e9);
    s.Settings.RelativeLimitN = ReadSetting(store, kTraverseRelativeLimitKey, defaults.RelativeLimitN, 1, 1e15);
    s.Settings.SigmaAngleSeconds = ReadSetting(store, kTraverseSigmaAngleKey, defaults.SigmaAngleSeconds, 0, 1e9);
    s.Settings.SigmaLengthMm = ReadSetting(store, kTraverseSigmaLengthMmKey, defaults.SigmaLengthMm, 0, 1e9);
    s.Settings.SigmaLengthPpm = ReadSetting(store, kTraverseSigmaLengthPpmKey, defaults.SigmaLengthPpm, 0, 1e9);
    return s;
}

void SaveTraverseDialogSettings(TSettingsStore& store, const TTraverseDialogSettings& s)
{
    store.Write(kTraverseKindKey, s.Kind == TTraverseKind::Connecting ? "connecting" : "closed");
    store.Write(kTraverseAnglesKey, s.Angles == TTraverseAngles::Left ? "left" : "right");
    store.Write(kTraverseRuleKey, TraverseRuleName(s.Settings.Rule));
    store.Write(kTraverseAngleLimitKey, SettingText(s.Settings.AngleLimitSeconds));
    store.Write(kTraverseRelativeLimitKey, SettingText(s.Settings.RelativeLimitN));
    store.Write(kTraverseSigmaAngleKey, SettingText(s.Settings.SigmaAngleSeconds));
    store.Write(kTraverseSigmaLengthMmKey, SettingText(s.Settings.SigmaLengthMm));
    store.Write(kTraverseSigmaLengthPpmKey, SettingText(s.Settings.SigmaLengthPpm));
}
