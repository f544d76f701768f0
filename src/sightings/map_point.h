// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/record_extras.h"
#include "sightings/sighting.h"

namespace velmora {

class VendorList;

// The type of a map point's value of an extras kind (records/record_extras.h).
template <ExtrasKind kind, typename Text>
struct MapValueOf;
template <typename Text>
struct MapValueOf<ExtrasKind::Int, Text> {
    using type = std::optional<int>;
};
template <typename Text>
struct MapValueOf<ExtrasKind::Decimal, Text> {
    using type = std::optional<double>;
};
template <typename Text>
struct MapValueOf<ExtrasKind::Text, Text> {
    using type = std::optional<Text>;
};

// The extras table's rows by their map column: a Value row is a member of the map point.
#define VELMORA_MAP_VALUE_Value(member, kind) \
    typename MapValueOf<ExtrasKind::kind, Text>::type member{};
#define VELMORA_MAP_VALUE_Signal(member, kind)
#define VELMORA_MAP_VALUE_Time(member, kind)
#define VELMORA_MAP_VALUE_Channels(member, kind)
#define VELMORA_MAP_VALUE_Name(member, kind)
#define VELMORA_MAP_VALUE_MEMBER(member, kind, label, title, map) \
    VELMORA_MAP_VALUE_##map(member, kind)

// What the map formats (KML, GPX, GeoJSON, CSV) write of one selected record: the values of
// its Streets and Trips line, as UTF-8 text and numbers. `Text` is std::string for a point that
// owns its texts (MapPoint), std::string_view for one that views them (MapPointView).
template <typename Text>
struct BasicMapPoint {
    // Signed decimal degrees as text, a valid JSON number ("-33.25", "0.0451234"): the item's
    // digits as they stand, leading zeros of the whole degrees dropped; zero has no sign.
    Text latitude;
    Text longitude;
    Text name;                // item 3 (SSID), after the selection's upper-casing, UTF-8
    Text bssid;               // item 5
    Text type;                // item 4
    Text flags;               // item 9
    std::optional<bool> wep;  // the counts' WEP on / WEP off test; nothing for neither
    // The sighting's channel where the log gives it (any band), else from Channelbits,
    // ascending.
    std::vector<int> channels;
    std::optional<int> snr;
    std::optional<int> signal;
    std::optional<int> noise;
    // "YYYY-MM-DDTHH:MM:SSZ", or "HH:MM:SS" where the log gives no date (mapTime); empty where
    // the Time item is no time of day.
    Text time;
    std::optional<Text> vendor;                       // UTF-8
    const AccessPointSummary* accessPoint = nullptr;  // one pin per access point only
    // The other extras values the map files write as they stand (rssi, auth, altitude,
    // accuracy); forEachMapValue gives them with the three above.
    VELMORA_EXTRAS_FIELDS(VELMORA_MAP_VALUE_MEMBER)
};

using MapPoint = BasicMapPoint<std::string>;
using MapPointView = BasicMapPoint<std::string_view>;

// Calls fn(label, title, value) for each of the point's extras values in table order: `value`
// is a std::optional of int, double or the point's text, nothing where the log gives none.
template <typename Point, typename Fn>
void forEachMapValue(Point& point, Fn&& fn) {
#define VELMORA_MAP_VISIT_Value(member, label, title) \
    fn(std::string_view(label), std::string_view(title), point.member);
#define VELMORA_MAP_VISIT_Signal VELMORA_MAP_VISIT_Value
#define VELMORA_MAP_VISIT_Time(member, label, title)
#define VELMORA_MAP_VISIT_Channels(member, label, title)
#define VELMORA_MAP_VISIT_Name(member, label, title)
#define VELMORA_MAP_VISIT(member, kind, label, title, map) \
    VELMORA_MAP_VISIT_##map(member, label, title)
    VELMORA_EXTRAS_FIELDS(VELMORA_MAP_VISIT)
#undef VELMORA_MAP_VISIT
#undef VELMORA_MAP_VISIT_Value
#undef VELMORA_MAP_VISIT_Signal
#undef VELMORA_MAP_VISIT_Time
#undef VELMORA_MAP_VISIT_Channels
#undef VELMORA_MAP_VISIT_Name
}

// The same point with texts of another kind: a view of a MapPoint, or a MapPoint of a view.
template <typename To, typename From>
BasicMapPoint<To> convertMapPoint(const BasicMapPoint<From>& point) {
    BasicMapPoint<To> to;
    to.latitude = To(point.latitude);
    to.longitude = To(point.longitude);
    to.name = To(point.name);
    to.bssid = To(point.bssid);
    to.type = To(point.type);
    to.flags = To(point.flags);
    to.wep = point.wep;
    to.channels = point.channels;
    to.time = To(point.time);
    if (point.vendor) to.vendor = To(*point.vendor);
    to.accessPoint = point.accessPoint;
#define VELMORA_MAP_COPY_Value(member) \
    if (point.member) to.member = *point.member;
#define VELMORA_MAP_COPY_Signal VELMORA_MAP_COPY_Value
#define VELMORA_MAP_COPY_Time(member)
#define VELMORA_MAP_COPY_Channels(member)
#define VELMORA_MAP_COPY_Name(member)
#define VELMORA_MAP_COPY(member, kind, label, title, map) VELMORA_MAP_COPY_##map(member)
    VELMORA_EXTRAS_FIELDS(VELMORA_MAP_COPY)
#undef VELMORA_MAP_COPY
#undef VELMORA_MAP_COPY_Value
#undef VELMORA_MAP_COPY_Signal
#undef VELMORA_MAP_COPY_Time
#undef VELMORA_MAP_COPY_Channels
#undef VELMORA_MAP_COPY_Name
    return to;
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
