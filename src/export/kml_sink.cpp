// SPDX-License-Identifier: GPL-3.0-or-later
// KML 2.2: one Placemark per point, in a Folder per kind of pin, each styled by its kind, its
// values typed in ExtendedData (so GIS programs read them as columns) and shown by the style's
// balloon as a small table.
#include <string_view>
#include <utility>

#include "export/map_sinks.h"
#include "export/map_text.h"
#include "export/map_writers.h"
#include "records/flags.h"
#include "sightings/pin_palette.h"

namespace velmora {

namespace {

using namespace map_text;

// The schema of the points' values; the balloon names each field by its display name.
constexpr std::string_view kSchemaId = "point";

struct KmlField {
    std::string_view name;
    std::string_view type;  // KML's SimpleField type
    std::string_view shown;
};

// The fields written before the extras' values, and after them.
constexpr KmlField kFirstFields[] = {
    {"bssid", "string", "BSSID"}, {"type", "string", "Type"},         {"flags", "string", "Flags"},
    {"wep", "bool", "WEP"},       {"channels", "string", "Channels"},
};
constexpr KmlField kLastFields[] = {
    {"time", "string", "Time"},           {"vendor", "string", "Vendor"},
    {"sightings", "int", "Sightings"},    {"first_seen", "string", "First seen"},
    {"last_seen", "string", "Last seen"}, {"radius_m", "double", "Radius (m)"},
};

template <typename Value>
constexpr std::string_view kmlType(const std::optional<Value>&) {
    if constexpr (std::is_same_v<Value, int>)
        return "int";
    else if constexpr (std::is_same_v<Value, double>)
        return "double";
    else
        return "string";
}

// Calls fn(field) for every field in the order the points write them.
template <typename Fn>
void forEachField(Fn&& fn) {
    for (const KmlField& field : kFirstFields) fn(field);
    const MapPointView none;
    forEachMapValue(none, [&](std::string_view label, std::string_view title, const auto& value) {
        fn(KmlField{label, kmlType(value), title});
    });
    for (const KmlField& field : kLastFields) fn(field);
}

// A pushpin tinted by the style's colour (KML colours are aabbggrr), and a balloon that shows
// the point's name, its kind in the style's own words, and a row for each field. The kind is
// no field: the style and the folder say it.
std::string styles() {
    std::string balloon = "\n<table>\n";
    forEachField([&](const KmlField& field) {
        balloon += "<tr><td>";
        balloon += field.shown;
        balloon += "</td><td>$[";
        balloon += kSchemaId;
        balloon += '/';
        balloon += field.name;
        balloon += "]</td></tr>\n";
    });
    balloon += "</table>";
    std::string out;
    for (const PinStyle& style : kPinStyles) {
        static constexpr char kHex[] = "0123456789abcdef";
        std::string colour = "ff";
        for (const std::uint8_t c : {style.colour.blue, style.colour.green, style.colour.red}) {
            colour += kHex[c >> 4];
            colour += kHex[c & 15];
        }
        out += "<Style id=\"";
        out += style.id;
        out += "\"><IconStyle><color>";
        out += colour;
        out +=
            "</color><Icon><href>https://maps.google.com/mapfiles/kml/pushpin/wht-pushpin.png"
            "</href></Icon></IconStyle><BalloonStyle><text><![CDATA[<b>$[name]</b><br/>";
        out += style.label;
        out += balloon;
        out += "]]></text></BalloonStyle></Style>\n";
    }
    out += "<Schema name=\"";
    out += kSchemaId;
    out += "\" id=\"";
    out += kSchemaId;
    out += "\">\n";
    forEachField([&](const KmlField& field) {
        out += "<SimpleField type=\"";
        out += field.type;
        out += "\" name=\"";
        out += field.name;
        out += "\"><displayName>";
        out += field.shown;
        out += "</displayName></SimpleField>\n";
    });
    out += "</Schema>\n";
    return out;
}

// The pin's kind by the counts' tests on the record's Flags (pinKindOf): WEP on from the
// point's status, which was read from the item's bytes, and ad hoc from its last character,
// which its UTF-8 text ends in where it is ASCII and which is never ad hoc's otherwise.
PinKind kindOf(const MapPointView& point) {
    const bool wep = point.wep.value_or(false);
    if (flags::kCountedAdHoc(point.flags)) return wep ? PinKind::AdHocWepOn : PinKind::AdHocWepOff;
    return wep ? PinKind::WepOn : PinKind::WepOff;
}

char* openData(char* out, std::string_view name) {
    out = putText(out, "<SimpleData name=\"");
    out = putText(out, name);
    return putText(out, "\">");
}

char* putData(char* out, std::string_view name, std::string_view text) {
    if (text.empty()) return out;
    out = openData(out, name);
    out = putXml(out, text);
    return putText(out, "</SimpleData>");
}

class KmlWriter final : public MapPointWriter {
  public:
    explicit KmlWriter(std::string documentName) : documentName_(std::move(documentName)) {}

    void begin(std::string& out) override {
        out +=
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
            "<Document>\n"
            "<name>";
        appendXml(out, documentName_);
        out += "</name>\n";
        out += styles();
    }

    int groupCount() const override { return kPinKindCount; }
    int groupOf(const MapPointView& point) const override {
        return static_cast<int>(kindOf(point));
    }
    void beginGroup(std::string& out, int group) override {
        out += "<Folder><name>";
        out += kPinStyles[static_cast<std::size_t>(group)].label;
        out += "</name>\n";
    }
    void endGroup(std::string& out, int) override { out += "</Folder>\n"; }

    // The elements in the schema's order: name, TimeStamp or TimeSpan, styleUrl, ExtendedData,
    // Point. A value the point has not is left out.
    char* put(char* out, const MapPointView& point) override {
        const PinStyle& style = pinStyle(kindOf(point));
        out = putText(out, "<Placemark><name>");
        out = putXml(out, point.name);
        out = putText(out, "</name>");
        const AccessPointSummary* ap = point.accessPoint;
        if (ap && isFullTime(ap->firstSeen) && isFullTime(ap->lastSeen)) {
            out = putText(out, "<TimeSpan><begin>");
            out = putText(out, ap->firstSeen);
            out = putText(out, "</begin><end>");
            out = putText(out, ap->lastSeen);
            out = putText(out, "</end></TimeSpan>");
        } else if (!ap && isFullTime(point.time)) {
            out = putText(out, "<TimeStamp><when>");
            out = putText(out, point.time);
            out = putText(out, "</when></TimeStamp>");
        }
        out = putText(out, "<styleUrl>#");
        out = putText(out, style.id);
        out = putText(out, "</styleUrl>\n<ExtendedData><SchemaData schemaUrl=\"#");
        out = putText(out, kSchemaId);
        out = putText(out, "\">");
        out = putData(out, "bssid", point.bssid);
        out = putData(out, "type", point.type);
        out = putData(out, "flags", point.flags);
        if (point.wep) out = putData(out, "wep", std::string_view(*point.wep ? "1" : "0", 1));
        if (!point.channels.empty()) {
            out = openData(out, "channels");
            out = putChannels(out, point.channels, ";");
            out = putText(out, "</SimpleData>");
        }
        forEachMapValue(point, [&](std::string_view label, std::string_view, const auto& value) {
            if (!value) return;
            out = openData(out, label);
            out =
                putMapValue(out, value, [](char* to, std::string_view t) { return putXml(to, t); });
            out = putText(out, "</SimpleData>");
        });
        out = putData(out, "time", point.time);
        if (point.vendor) out = putData(out, "vendor", *point.vendor);
        if (ap) {
            out = openData(out, "sightings");
            out = putInt(out, static_cast<long long>(ap->sightings));
            out = putText(out, "</SimpleData>");
            out = putData(out, "first_seen", ap->firstSeen);
            out = putData(out, "last_seen", ap->lastSeen);
            if (ap->radiusM) {
                out = openData(out, "radius_m");
                out = putDecimal(out, *ap->radiusM);
                out = putText(out, "</SimpleData>");
            }
        }
        out = putText(out, "</SchemaData></ExtendedData>\n<Point><coordinates>");
        out = putText(out, point.longitude);
        *out++ = ',';
        out = putText(out, point.latitude);
        return putText(out, "</coordinates></Point></Placemark>\n");
    }

    void end(std::string& out) override { out += "</Document>\n</kml>\n"; }

  private:
    std::string documentName_;
};

}  // namespace

std::unique_ptr<MapPointWriter> makeKmlWriter(std::string documentName) {
    return std::make_unique<KmlWriter>(std::move(documentName));
}

std::unique_ptr<ExportSink> makeKmlSink(const VendorList* vendors, std::string documentName) {
    return makeMapSink(makeKmlWriter(std::move(documentName)), vendors);
}

}  // namespace velmora
