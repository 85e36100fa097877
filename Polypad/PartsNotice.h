// What the window tells the user about a shape of several parts: the table holds one contour, so
// a fill puts the parts one after another and an update writes them back as one part. The fill
// says so in the status bar, and the update asks before it joins them.
#pragma once

#include <string>

// "" for one part or none; else the status bar's note, e.g. "Контур из 2 частей: в таблице они
// идут одна за другой".
std::string FilledPartsNote(long parts);

// The question before an update of rows filled from parts (more than one) of a shape.
std::string JoinPartsQuestion(long parts);
