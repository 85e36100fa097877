#include "Polypad/StatusLine.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace {

// The labels of the figures line and their short forms, longest first where one contains another.
const std::array<std::pair<std::string_view, std::string_view>, 7> kShortLabels{{
    {"Вершин: ", "N "},
    {"Периметр: ", "P "},
    {"Площадь: ", "S "},
    {"Длина: ", "L "},
    {"Невязка: ", ""},
    {" (против часовой)", " (против ч.)"},
    {" (по часовой)", " (по ч.)"},
}};

} // namespace

std::string CompactFiguresLine(const std::string& line)
{
    std::string out = line;
    for (const auto& [label, shorter] : kShortLabels) {
        for (std::size_t at = out.find(label); at != std::string::npos; at = out.find(label, at + shorter.size()))
            out.replace(at, label.size(), shorter);
    }
    return out;
}

TStatusPanels ArrangeStatusPanels(const std::string& figures, int barWidth,
                                 const std::function<int(const std::string&)>& textWidth)
{
    const int width = std::max(barWidth, 0);
    const int forFigures = width - width / 3;
    const std::string compact = CompactFiguresLine(figures);
    const int fullNeeds = textWidth(figures);
    const int compactNeeds = textWidth(compact);
    auto laid = [&](const std::string& text, int needs) {
        return TStatusPanels{std::max(width - needs, 0), text};
    };
    if (fullNeeds <= forFigures)
        return laid(figures, fullNeeds);
    if (compactNeeds <= forFigures)
        return laid(compact, compactNeeds);
    if (fullNeeds <= width)
        return laid(figures, fullNeeds);
    return laid(compact, compactNeeds);
}
