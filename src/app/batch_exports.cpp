// SPDX-License-Identifier: GPL-3.0-or-later
#include <ostream>

#include "app/batch_commands.h"
#include "export/main_exports.h"

namespace velmora::batch {

namespace {
int runExport(Context& context, MainExport kind) {
    const auto path = runMainExport(kind, context.files.output1(), context.outFolder,
                                    context.logFileName, exportStyle(context));
    context.out << path.string() << '\n';
    return 0;
}
}  // namespace

int convertAll(Context& c, Args&) {
    return runExport(c, MainExport::ConvertAll);
}
int quickLocked(Context& c, Args&) {
    return runExport(c, MainExport::Locked);
}
int quickOpen(Context& c, Args&) {
    return runExport(c, MainExport::Open);
}
int quickInfrastructure(Context& c, Args&) {
    return runExport(c, MainExport::Infrastructure);
}
int quickAdHoc(Context& c, Args&) {
    return runExport(c, MainExport::AdHoc);
}

}  // namespace velmora::batch
