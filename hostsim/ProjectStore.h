// The object store of an open project with its transactions. BeginTransaction takes a snapshot
// of the map objects; CommitTransaction keeps the changes and logs the transaction's name; a
// transaction begun and not committed is rolled back to the snapshot at the next
// BeginTransaction or when the project closes. Changes outside any transaction apply directly.
// Plain C++; EHostError carries the HRESULT the COM layer reports.
#pragma once

#include "hostsim/ProjectData.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace hostsim {

// A failure the Host reports to its caller: an HRESULT (as a signed 32-bit value) and a message.
class EHostError : public Exception {
public:
    EHostError(std::int32_t code, const std::string& message) : Exception(message), FCode(code) {}
    std::int32_t Code() const { return FCode; }

private:
    std::int32_t FCode;
};

inline constexpr std::int32_t kHostInvalidArg = static_cast<std::int32_t>(0x80070057);
inline constexpr std::int32_t kHostUnexpected = static_cast<std::int32_t>(0x8000FFFF);
inline constexpr std::int32_t kHostAccessDenied = static_cast<std::int32_t>(0x80070005);

class TProjectStore {
public:
    TProjectStore() = default;
    explicit TProjectStore(TProjectData project) : FProject(std::move(project)) {}

    const TProjectData& Project() const { return FProject; }
    // Another project: an open transaction is rolled back first; the logs carry on.
    void Replace(TProjectData project);

    // Raises EHostError for an unknown id.
    TMapObjectData& Object(std::int32_t id);
    const TLayerData& Layer(std::int32_t id) const;
    const TStyleData& Style(std::int32_t id) const;
    bool HasObject(std::int32_t id) const { return FProject.Objects.count(id) != 0; }

    // A new empty object in the layer, with the next free id.
    std::int32_t CreateObject(std::int32_t layerId);
    // Adds the object (its Id is set to the next free one) as committed by someone else: an
    // open transaction's rollback keeps it. Returns the id.
    std::int32_t AddCommittedObject(TMapObjectData object);

    void BeginTransaction(const std::string& name);
    void CommitTransaction();
    // Undoes an open transaction; nothing without one.
    void Rollback();
    bool InTransaction() const { return FSnapshot.has_value(); }
    const std::vector<std::string>& CommittedTransactions() const { return FCommitted; }
    // Transactions rolled back so far (for tests and the script's log).
    const std::vector<std::string>& RolledBackTransactions() const { return FRolledBack; }

    void SetActiveLayer(std::int32_t layerId);

    // Bumped by every change, so that views know to redraw.
    unsigned Revision() const { return FRevision; }
    void Touch() { ++FRevision; }

private:
    TProjectData FProject;
    std::optional<std::map<std::int32_t, TMapObjectData>> FSnapshot;
    std::string FTransactionName;
    std::vector<std::string> FCommitted;
    std::vector<std::string> FRolledBack;
    unsigned FRevision = 0;
};

// The settings store: strings by (section, key), kept as text "SECTION<TAB>KEY<TAB>VALUE" per line
// with \\, \t, \n, \r escaped.
class TSettingsStore {
public:
    std::string Read(std::int32_t section, const std::string& key, const std::string& defaultValue) const;
    void Write(std::int32_t section, const std::string& key, const std::string& value);

    std::string ToText() const;
    // Replaces the contents; raises EProjectFormat "settings line N: ..." on a malformed line.
    void FromText(const std::string& text);

    const std::map<std::pair<std::int32_t, std::string>, std::string>& Values() const { return FValues; }

private:
    std::map<std::pair<std::int32_t, std::string>, std::string> FValues;
};

} // namespace hostsim
