// SPDX-License-Identifier: GPL-3.0-or-later
#include "advanced/network_name.h"

#include "records/ascii.h"

namespace velmora {

bool isNamed(const RecordFields& fields, const RecordExtras& extras, const NetworkName& name) {
    return hasExactName(extras) == name.exact &&
           equalsUpperAscii(recordNameText(fields, extras), name.text);
}

}  // namespace velmora
