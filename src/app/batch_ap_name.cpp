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
    // The window lists only upper-cased groups; the command takes a name as typed.
    const std::string group = toUpperAscii(*name);
    const auto target =
        exportTarget(context, "ap-name", apNameFileName(group, context.style.format));
    if (!target) return 1;
    const auto workingFile = context.files.output1();
    if (countUniqueAccessPoints(workingFile, group) == 0) {
        context.err << "velmora-batch: ap-name: no network group \"" << group << "\"\n";
        return 1;
    }
    exportApNameGroup(workingFile, *target, group, exportStyle(context));
    context.out << target->string() << '\n';
    return 0;
}

}  // namespace velmora::batch
