// What the traverse dialog holds as the user types it: the texts of its fields and of its grid of
// stations, and the choices and limits that are remembered in the Host's settings. Platform-free:
// the fields become a field book that the traverse's own reader reads (Traverse.h), so the dialog
// accepts exactly what coordtable --traverse accepts, and the settings go through TSettingsStore.
#pragma once

#include "Polypad/FormSettings.h"
#include "Polypad/Traverse.h"

#include <array>
#include <string>
#include <vector>

struct TTraverseEntry {
    TTraverseKind Kind = TTraverseKind::Closed;
    TTraverseAngles Angles = TTraverseAngles::Right;
    std::string StartX, StartY;
    // Closed: the first course's direction; connecting: the known side arriving at the start.
    std::string StartDirection;
    std::string EndX, EndY, EndDirection; // connecting only
    // Angle and length per station; a last row of an angle alone is the end station's angle.
    // Rows left wholly empty are skipped.
    std::vector<std::array<std::string, 2>> Stations;
};

// The field book of the entry. A station with its length empty before another station, or an
// angle alone in a closed traverse, is refused (ECourseError "Станция N: …"), as are empty known
// points and directions (ECourseError naming the field).
std::string TraverseFieldBook(const TTraverseEntry& entry);

// The traverse of the entry: ReadTraverse of its field book, with the reader's "Строка N" turned
// into the field or station it came from.
TTraverseInput ReadTraverseEntry(const TTraverseEntry& entry, char decimalSeparator);

// The dialog's remembered choices: kind, angle kind, rule, limits and a priori errors.
struct TTraverseDialogSettings {
    TTraverseKind Kind = TTraverseKind::Closed;
    TTraverseAngles Angles = TTraverseAngles::Right;
    TTraverseSettings Settings;
};

// Reads every key; a stored text that does not convert leaves its default.
TTraverseDialogSettings LoadTraverseDialogSettings(TSettingsStore& store);
void SaveTraverseDialogSettings(TSettingsStore& store, const TTraverseDialogSettings& settings);

extern const char* const kTraverseKindKey;
extern const char* const kTraverseAnglesKey;
extern const char* const kTraverseRuleKey;
extern const char* const kTraverseAngleLimitKey;
extern const char* const kTraverseRelativeLimitKey;
extern const char* const kTraverseSigmaAngleKey;
extern const char* const kTraverseSigmaLengthMmKey;
extern const char* const kTraverseSigmaLengthPpmKey;
