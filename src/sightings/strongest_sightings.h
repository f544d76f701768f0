// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "sightings/sighting.h"

namespace velmora {

// Where one pin per access point stands: at the access point's strongest sighting, or at the
// centroid of its sightings weighted by their signal power.
enum class ApPosition { Strongest, Weighted };

// The rule of one pin per access point, for the exports and the map alike: of the sightings
// added, one per distinct upper-cased BSSID, in order of its first sighting, at its strongest
// sighting (highest RSSI where the log gives it, else highest signal; the first of equals; an
// unreadable one ranks lowest), with the
// access point's summary (its number of sightings, the times of its first and last).
//
// With ApPosition::Weighted the pin keeps the strongest sighting's values but stands at the
// weighted centroid of the access point's sightings. A sighting weighs its received power in
// linear units, 10^(dB/10), from the RSSI (dBm) where the log gives it, else from the signal
// number (decibels too, from another zero, which cancels: an access point's weights are only
// compared with each other). A sighting with no reading
// counts only where none of the access point's has one, then all equally; one whose position
// cannot be read not at all), with AccessPointSummary::radiusM. The centroid is taken with
// the longitudes unwrapped around the access point's first sighting, so sightings either side
// of the antimeridian average across it; the distances are measured on a sphere of the Earth's
// mean radius, locally flat (east-west degrees shrunk by the cosine of the centroid's
// latitude).
class StrongestSightings {
  public:
    explicit StrongestSightings(ApPosition position = ApPosition::Strongest);
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
