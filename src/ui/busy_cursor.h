// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace velmora {

// Shows the busy cursor over every window of the program for as long as it lives: a load, an
// export, a window filling its lists. It is restored on every way out, an exception included.
class BusyCursor {
  public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace velmora
