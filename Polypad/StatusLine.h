// The two panels of the window's status bar: the command hints on the left and the contour's
// figures on the right. The figures line is the one the user reads and copies, so it is never
// cut: where the bar is too narrow for it beside the hints, the line takes shorter labels, and
// where even that does not fit, the hint panel gives way.
//
// Platform-free: the window measures texts in the bar's font and passes the measure in.
#pragma once

#include <functional>
#include <string>

// The figures line with short labels ("Периметр: 140.794" becomes "P 140.794"); the numbers and
// their order are kept. A line it does not recognise comes back as it is.
std::string CompactFiguresLine(const std::string& line);

struct TStatusPanels {
    int HintWidth = 0;    // the left panel; the figures take the rest of the bar
    std::string Figures;  // the text the figures panel shows
};

// Lays out a bar barWidth wide for the figures line: the full line while the hints keep a third
// of the bar, else the short one while they do, else whichever of the two fits the whole bar
// (the full one first), the hints left with what remains. textWidth gives the width a text needs
// in its panel, borders included.
TStatusPanels ArrangeStatusPanels(const std::string& figures, int barWidth,
                                 const std::function<int(const std::string&)>& textWidth);
