#include "hostsim/ProjectStore.h"
#include "hostsim/TextLines.h"

#include <algorithm>
#include <cstdlib>

namespace hostsim {

void TProjectStore::Replace(TProjectData project)
{
    Rollback();
    FProject = std::move(project);
    Touch();
}

TMapObjectData& TProjectStore::Object(std::int32_t id)
{
    const auto it = FProject.Objects.find(id);
    if (it == FProject.Objects.end())
        throw EHostError(kHostInvalidArg, Format("Объект %d не найден", id));
    return it->second;
}

const TLayerData& TProjectStore::Layer(std::int32_t id) const
{
    const TLayerData* layer = FProject.FindLayer(id);
    if (!layer)
        throw EHostError(kHostInvalidArg, Format("Слой %d не найден", id));
    return *layer;
}

const TStyleData& TProjectStore::Style(std::int32_t id) const
{
    const TStyleData* style = FProject.FindStyle(id);
    if (!style)
        throw EHostError(kHostInvalidArg, Format("Стиль %d не найден", id));
    return *style;
}

std::int32_t TProjectStore::CreateObject(std::int32_t layerId)
{
    Layer(layerId);
    const std::int32_t id = FProject.Objects.empty() ? 1 : FProject.Objects.rbegin()->first + 1;
    FProject.Objects[id] = TMapObjectData{id, layerId, {}};
    Touch();
    return id;
}

std::int32_t TProjectStore::AddCommittedObject(TMapObjectData object)
{
    Layer(object.LayerId);
    std::int32_t last = FProject.Objects.empty() ? 0 : FProject.Objects.rbegin()->first;
    if (FSnapshot && !FSnapshot->empty())
        last = std::max(last, FSnapshot->rbegin()->first);
    object.Id = last + 1;
    if (FSnapshot)
        (*FSnapshot)[object.Id] = object;
    const std::int32_t id = object.Id;
    FProject.Objects[id] = std::move(object);
    Touch();
    return id;
}

void TProjectStore::BeginTransaction(const std::string& name)
{
    Rollback();
    FSnapshot = FProject.Objects;
    FTransactionName = name;
}

void TProjectStore::CommitTransaction()
{
    if (!FSnapshot)
        throw EHostError(kHostUnexpected, "Нет открытой транзакции");
    FSnapshot.reset();
    FCommitted.push_back(FTransactionName);
    FTransactionName.clear();
    Touch();
}

void TProjectStore::Rollback()
{
    if (!FSnapshot)
        return;
    FProject.Objects = std::move(*FSnapshot);
    FSnapshot.reset();
    FRolledBack.push_back(FTransactionName);
    FTransactionName.clear();
    Touch();
}

void TProjectStore::SetActiveLayer(std::int32_t layerId)
{
    if (layerId != 0)
        Layer(layerId);
    FProject.ActiveLayerId = layerId;
    Touch();
}

std::string TSettingsStore::Read(std::int32_t section, const std::string& key, const std::string& defaultValue) const
{
    const auto it = FValues.find({section, key});
    return it == FValues.end() ? defaultValue : it->second;
}

void TSettingsStore::Write(std::int32_t section, const std::string& key, const std::string& value)
{
    FValues[{section, key}] = value;
}

namespace {

std::string Escape(const std::string& s)
{
    std::string out;
    for (const char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

bool Unescape(const std::string& s, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i == s.size())
            return false;
        switch (s[i]) {
        case '\\': out += '\\'; break;
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return false;
        }
    }
    return true;
}

} // namespace

std::string TSettingsStore::ToText() const
{
    std::string text;
    for (const auto& [where, value] : FValues)
        text += Format("%d\t", where.first) + Escape(where.second) + "\t" + Escape(value) + "\n";
    return text;
}

void TSettingsStore::FromText(const std::string& text)
{
    std::map<std::pair<std::int32_t, std::string>, std::string> values;
    const std::vector<std::string> lines = TextLines(text);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const int number = static_cast<int>(n) + 1;
        std::string line = lines[n];
        if (line.empty())
            continue;
        const std::size_t t1 = line.find('\t');
        const std::size_t t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
        std::string key, value;
        char* stop = nullptr;
        const long section = t1 == std::string::npos ? 0 : std::strtol(line.c_str(), &stop, 10);
        if (t2 == std::string::npos || stop != line.c_str() + t1 || line.find('\t', t2 + 1) != std::string::npos ||
            !Unescape(line.substr(t1 + 1, t2 - t1 - 1), key) || !Unescape(line.substr(t2 + 1), value))
            throw EProjectFormat(Format("settings line %d: expected SECTION<TAB>KEY<TAB>VALUE", number));
        values[{static_cast<std::int32_t>(section), key}] = value;
    }
    FValues = std::move(values);
}

} // namespace hostsim
