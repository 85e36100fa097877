// The lines of a text file as the stand-in reads its project, settings and script files: a
// leading UTF-8 byte-order mark skipped, lines cut at LF, a CR before the LF dropped.
#pragma once

#include <string>
#include <vector>

namespace hostsim {

std::vector<std::string> TextLines(const std::string& text);

} // namespace hostsim
