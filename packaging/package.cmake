# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package, made by `cpack -G DEB` (tools/package.sh) from what `cmake --install`
# puts under /usr. Its dependencies come from the executables through dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Velmora 2004 developers")
set(CPACK_PACKAGE_CONTACT "${VELMORA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "converter of wireless survey logs to pushpin files for map programs")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VELMORA_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELMORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VELMORA_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The registry a newer vendor list can be made from (data/README.md).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ieee-data)
# The extended description, below the summary line CPack puts first; CPack indents each line
# and marks the empty one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Velmora 2004 reads the text and summary logs a Wi-Fi scanner writes while
driving or walking a route, keeps every sighting that carries a GPS position
and shows what it kept: entries, entries without a position, WEP off and on,
infrastructure and ad-hoc locations.

It writes the sightings, or those of one network name, one MAC address or
a set of criteria, as semicolon-separated files a route-planning map program
imports, or as KML, GPX, GeoJSON and CSV map files, and shows them on a map.
The batch tool velmora-batch does the same from the command line.")
include(CPack)
