// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "sightings/sighting.h"

namespace velmora {

// The rule of one pin per access point, for the exports and the map alike: of the sightings
// added, one per distinct upper-cased BSSID, in order of its first sighting, at its strongest
// sighting (highest RSSI where the log gives it, else highest signal; the first of equals; an
// unreadable one ranks lowest), with the
// access point's summary (its number of sightings, the times of its first and last).
class StrongestSightings {
  public:
    StrongestSightings();
    ~StrongestSightings();
    StrongestSightings(const StrongestSightings&) = delete;
    StrongestSightings& operator=(const StrongestSightings&) = delete;

    // One sighting, in file order, with its extras (the signal ranks the sightings).
    void add(const Sighting& sighting);
    // Hands `take` the strongest sighting of each access point, with Sighting::accessPoint set;
    // the sighting's views are valid during the call only. Called once, after the last add().
    void finish(const std::function<void(const Sighting&)>& take);
    // The access points seen so far.
    std::uint64_t size() const;

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace velmora
