// SPDX-License-Identifier: GPL-3.0-or-later
#include <ostream>

#include "advanced/ap_name.h"
#include "app/batch_commands.h"
#include "records/working_record.h"

namespace velmora::batch {

int apNameGroups(Context& context, Args&) {
    for (const NetworkGroup& group : readNetworkGroups(context.files.output1()))
        context.out << group.name << '\t' << group.uniqueAccessPoints << '\n';
    return 0;
}

int apNameExport(Context& context, Args& args) {
    const auto name = args.take();
    if (!name) throw UsageError{"ap-name needs a NAME"};
    // The window lists only upper-cased groups; the command takes a name as typed, an exact
    // name (UTF-8) as the log has it.
    const std::string group = toUpperAscii(*name);
    const auto workingFile = context.files.output1();
    const std::vector<NetworkGroup> groups = readNetworkGroups(workingFile);
    const NetworkGroup* found = findNetworkGroup(groups, group);
    const auto target = exportTarget(context, "ap-name",
                                     found ? apNameFileName(*found, groups, context.style.format)
                                           : apNameFileName(group, context.style.format));
    if (!target) return 1;
    if (!found) {
        context.err << "velmora-batch: ap-name: no network group \"" << group << "\"\n";
        return 1;
    }
    exportApNameGroup(workingFile, *target, found->key(), exportStyle(context));
    context.out << target->string() << '\n';
    return 0;
}

}  // namespace velmora::batch
