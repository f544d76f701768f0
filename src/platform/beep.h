// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace velmora {

// The platform's alert beep.
//
// Test seam: every beep is counted; after setSilent(true) none is sounded.
class Beep {
  public:
    static void beep();

    static void setSilent(bool silent);
    static int count();
    static void resetCount();
};

}  // namespace velmora
