// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sightings/sighting.h"

namespace velmora {

class VendorList;

// What the map formats (KML, GPX, GeoJSON, CSV) write of one selected record: the values of
// its Streets and Trips line, as UTF-8 text and numbers. `Text` is std::string for a point that
// owns its texts (MapPoint), std::string_view for one that views them (MapPointView).
template <typename Text>
struct BasicMapPoint {
    // Signed decimal degrees as text, a valid JSON number ("-33.25", "0.0451234"): the item's
    // digits as they stand, leading zeros of the whole degrees dropped; zero has no sign.
    Text latitude;
    Text longitude;
    Text name;                  // item 3 (SSID), after the selection's upper-casing, UTF-8
    Text bssid;                 // item 5
    Text type;                  // item 4
    Text flags;                 // item 9
    std::optional<bool> wep;    // the counts' WEP on / WEP off test; nothing for neither
    std::vector<int> channels;  // from Channelbits, ascending
    std::optional<int> snr;
    std::optional<int> signal;
    std::optional<int> noise;
    // "YYYY-MM-DDTHH:MM:SSZ", or "HH:MM:SS" where the log gives no date (mapTime); empty where
    // the Time item is no time of day.
    Text time;
    std::optional<Text> vendor;                       // UTF-8
    const AccessPointSummary* accessPoint = nullptr;  // one pin per access point only
};

using MapPoint = BasicMapPoint<std::string>;
using MapPointView = BasicMapPoint<std::string_view>;

// The same point with texts of another kind: a view of a MapPoint, or a MapPoint of a view.
template <typename To, typename From>
BasicMapPoint<To> convertMapPoint(const BasicMapPoint<From>& point) {
    std::optional<To> vendor;
    if (point.vendor) vendor = To(*point.vendor);
    return {
        To(point.latitude), To(point.longitude), To(point.name), To(point.bssid),  To(point.type),
        To(point.flags),    point.wep,           point.channels, point.snr,        point.signal,
        point.noise,        To(point.time),      vendor,         point.accessPoint};
}

// The value of a coordinate item as the map formats write it (BasicMapPoint::latitude, with
// `positive` 'N' and `negative` 'S'; longitude with 'E' and 'W'), as a number; nothing for an
// item of another shape, which the map formats write as "0".
std::optional<double> coordinateDegrees(std::string_view item, char positive, char negative);

// The map point of a record; `vendors` may be null (then no vendor).
MapPoint describeRecord(const Sighting& record, const VendorList* vendors);

// Where describeRecordInto keeps the texts that are not the record's bytes as they stand:
// converted to UTF-8, signed, or put together.
struct MapPointStore {
    std::string latitude;
    std::string longitude;
    std::string name;
    std::string bssid;
    std::string type;
    std::string flags;
    std::string time;
    std::string vendor;
};

// describeRecord as a view of the record, the vendor list and `store`, valid while they are;
// `point`'s channels and `store`'s texts keep their room, so a sink that describes one record
// after another allocates nothing once they have grown.
void describeRecordInto(MapPointView& point, MapPointStore& store, const Sighting& record,
                        const VendorList* vendors);

// The log's single-byte text (Windows-1252; its five undefined bytes taken as the Latin-1
// characters of the same value) as UTF-8.
std::string windows1252ToUtf8(std::string_view text);

// The channels whose bits are set in a Channelbits item (hexadecimal), ascending: bits 1 to 14
// are channels 1 to 14; bits 15 to 31 the 5 GHz channels 36, 40, 44, 48, 52, 56, 60, 64, 149,
// 153, 157, 161, 38, 46, 54, 62, 34; other bits name no channel.
std::vector<int> channelsFromBits(std::string_view channelbits);

// "YYYY-MM-DDTHH:MM:SSZ" from a Time item ("12:01:00GMT") and a date ("2004-06-05"), or
// "HH:MM:SS" where `date` is empty (or no date). The Time item is "HH:MM:SS" (hours to 23,
// minutes and seconds to 59), perhaps followed by "GMT"; any other gives an empty text.
std::string mapTime(std::string_view time, std::string_view date);

}  // namespace velmora
