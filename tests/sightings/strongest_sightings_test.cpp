// SPDX-License-Identifier: GPL-3.0-or-later
#include "sightings/strongest_sightings.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace velmora {
namespace {

struct Seen {
    const char* latitude;
    const char* longitude;
    std::optional<int> signal;
    std::optional<int> rssi = std::nullopt;
};

// Where the one access point of `sightings` is placed, and its spread, computed by hand: the
// weights are 10^(dB/10), the RSSI before the signal; distances on a sphere of 6371008.8 m,
// 111195.08 m a degree, east-west shrunk by the cosine of the latitude.
TEST(AccessPointPosition, WeightedCentroidAndSpread) {
    const struct Row {
        const char* what;
        ApPosition position;
        std::vector<Seen> sightings;
        const char* latitude;
        const char* longitude;
        std::optional<double> radius;
    } rows[] = {
        // clang-format off
        {"one sighting", ApPosition::Weighted, {{"N10.5000000", "W20.2500000", 50}},
         "N10.5000000", "W20.2500000", 0.0},
        {"equal signals", ApPosition::Weighted,
         {{"N0.0000000", "E0.0000000", 60}, {"N0.0000000", "E0.0020000", 60}},
         "N0.0000000", "E0.0010000", 111.2},
        {"no signal counts only where none has one", ApPosition::Weighted,
         {{"N0.0000000", "E0.0000000", {}}, {"N0.0000000", "E0.0020000", {}}},
         "N0.0000000", "E0.0010000", 111.2},
        {"one dominant signal (RSSI -40 against -70, then an unread one)", ApPosition::Weighted,
         {{"N0.0000000", "E0.0000000", 10, -40}, {"N0.0000000", "E0.0100000", 90, -70},
          {"N1.0000000", "E1.0000000", {}}},
         "N0.0000000", "E0.0000100", 35.13},
        {"across the antimeridian", ApPosition::Weighted,
         {{"N60.0000000", "E179.9990000", 40}, {"N60.0000000", "W179.9990000", 40}},
         "N60.0000000", "E180.0000000", 55.6},
        {"strongest", ApPosition::Strongest,
         {{"N0.0000000", "E0.0000000", 60}, {"S1.0000000", "E0.0020000", 61}},
         "S1.0000000", "E0.0020000", std::nullopt},
        // clang-format on
    };
    const auto check = [&](const Row& row) {
        StrongestSightings strongest(row.position);
        for (const Seen& seen : row.sightings) {
            Sighting sighting;
            sighting.fields[WorkingRecord::Latitude] = seen.latitude;
            sighting.fields[WorkingRecord::Longitude] = seen.longitude;
            sighting.fields[WorkingRecord::BSSID] = "00:0c:41:aa:bb:01";
            sighting.fields[WorkingRecord::Time] = "12:00:00";
            sighting.extras.signal = seen.signal;
            sighting.extras.rssi = seen.rssi;
            strongest.add(sighting);
        }
        int pins = 0;
        strongest.finish([&](const Sighting& pin) {
            ++pins;
            EXPECT_EQ(pin.fields[WorkingRecord::Latitude], row.latitude) << row.what;
            EXPECT_EQ(pin.fields[WorkingRecord::Longitude], row.longitude) << row.what;
            ASSERT_EQ(pin.accessPoint->radiusM.has_value(), row.radius.has_value()) << row.what;
            if (row.radius) {
                EXPECT_NEAR(*pin.accessPoint->radiusM, *row.radius, 0.005) << row.what;
            }
        });
        EXPECT_EQ(pins, 1) << row.what;
    };
    for (const Row& row : rows) check(row);

    // The same where the C library writes numbers with a decimal comma, as the desktop program
    // runs in a German or French user's locale (made here from the system's locale sources
    // when it is not installed).
    test::TempDir dir;
    const int status = test::runInChild([&] {
        const std::string made = "localedef -i de_DE -f UTF-8 " + (dir / "de_DE.UTF-8").string();
        if (!setlocale(LC_NUMERIC, "de_DE.UTF-8") &&
            (std::system((made + " >/dev/null 2>&1").c_str()) != 0 ||
             setenv("LOCPATH", dir.path().c_str(), 1) != 0 ||
             !setlocale(LC_NUMERIC, "de_DE.UTF-8")))
            _exit(77);
        for (const Row& row : rows) check(row);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    });
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no locale with a decimal comma: localedef failed";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "under a decimal comma";
}

}  // namespace
}  // namespace velmora
