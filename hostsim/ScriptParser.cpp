#include "hostsim/ScriptParser.h"
#include "hostsim/TextLines.h"
#include "hostsim/ProjectData.h"

#include <map>
#include <utility>

namespace hostsim {

namespace {

// Allowed argument counts per verb.
const std::map<std::string, std::pair<std::size_t, std::size_t>>& Verbs()
{
    static const std::map<std::string, std::pair<std::size_t, std::size_t>> verbs = {
        {"open", {1, 1}},          {"select", {1, 2}},      {"clear-selection", {0, 0}}, {"command", {1, 1}},
        {"active-layer", {1, 1}},  {"click", {2, 3}},       {"double-click", {2, 3}}, {"click-map", {2, 2}},    {"right-click", {2, 3}}, {"menu-item", {1, 1}}, {"wheel", {3, 5}},    {"key", {1, 64}},
        {"type", {1, 1}},          {"wait", {0, 0}},        {"sleep", {1, 1}},           {"screenshot", {2, 2}},
        {"geometry", {1, 1}},      {"settings", {0, 0}},    {"transactions", {0, 0}},    {"live", {0, 0}}, {"selection", {0, 0}},
        {"status", {0, 0}}, {"checked", {1, 1}}, {"windows", {0, 0}},        {"expect-status", {1, 1}}, {"fail-call", {3, 3}},     {"fail-op", {3, 3}},
        {"clear-faults", {0, 0}},  {"view", {3, 3}},        {"echo", {0, 64}},
        {"select-stale", {1, 2}},  {"dialog", {1, 1}},      {"no-dialog", {0, 0}},       {"message-box", {1, 1}},
        {"clipboard-set", {1, 1}}, {"clipboard-file", {1, 1}}, {"clipboard", {0, 0}},
        {"generate", {3, 3}},      {"timer-start", {0, 0}}, {"timer", {1, 1}},           {"wait-idle-time", {1, 1}},
        {"max-dispatch-reset", {0, 0}}, {"max-dispatch", {0, 0}}, {"stay", {0, 0}},
    };
    return verbs;
}

} // namespace

std::vector<TScriptStep> ParseScript(const std::string& text)
{
    std::vector<TScriptStep> steps;
    const std::vector<std::string> lines = TextLines(text);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const int number = static_cast<int>(n) + 1;
        std::string line = lines[n];
        std::vector<std::string> words;
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
                ++i;
            if (i >= line.size())
                break;
            if (words.empty() && line[i] == '#')
                break;
            std::string word;
            if (line[i] == '"') {
                ++i;
                bool closed = false;
                while (i < line.size()) {
                    if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
                        word += line[i + 1];
                        i += 2;
                    } else if (line[i] == '"') {
                        ++i;
                        closed = true;
                        break;
                    } else {
                        word += line[i++];
                    }
                }
                if (!closed)
                    throw EProjectFormat(Format("script line %d: unbalanced quote", number));
            } else {
                while (i < line.size() && line[i] != ' ' && line[i] != '\t')
                    word += line[i++];
            }
            words.push_back(word);
        }
        if (words.empty())
            continue;
        const auto verb = Verbs().find(words[0]);
        if (verb == Verbs().end())
            throw EProjectFormat(Format("script line %d: unknown step \"%s\"", number, words[0].c_str()));
        const std::size_t args = words.size() - 1;
        if (args < verb->second.first || args > verb->second.second)
            throw EProjectFormat(Format("script line %d: wrong number of arguments for \"%s\"", number, words[0].c_str()));
        steps.push_back({number, words[0], std::vector<std::string>(words.begin() + 1, words.end())});
    }
    return steps;
}

} // namespace hostsim
