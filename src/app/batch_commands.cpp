#include "app/batch_commands.h"

namespace velmora::batch {

std::optional<std::string> Args::take() {
    if (done()) return std::nullopt;
    return words_[pos_++];
}

std::optional<std::string> Args::takeOption(const std::string& name) {
    if (done() || words_[pos_] != name) return std::nullopt;
    ++pos_;
    if (done()) throw UsageError{name + " needs a value"};
    return words_[pos_++];
}

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"convert-all", convertAll},
        {"locked", quickLocked},
        {"open", quickOpen},
        {"infrastructure", quickInfrastructure},
        {"adhoc", quickAdHoc},
        {"groups", apNameGroups},
        {"ap-name", apNameExport},
        {"aps", listAccessPoints},
        {"mac", exportMac},
        {"vendor", showVendor},
        {"matching", criteriaMatching},
        {"criteria", criteriaExport},
    };
    return table;
}

}  // namespace velmora::batch
