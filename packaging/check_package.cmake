# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package of a build (or takes the one VELMORA_DEB names), unpacks it into a
# scratch root, checks its files and control fields, and runs the unpacked programs.
#   cmake -DBUILD_DIR= -DSCRATCH= -DWITH_UI= -DWITH_MAN= -DAPP_ID= -DSAMPLE=
#         -P check_package.cmake
find_program(DPKG_DEB dpkg-deb)
if(NOT DPKG_DEB)
  message("SKIPPED: dpkg-deb not found")
  return()
endif()
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})

if(DEFINED ENV{VELMORA_DEB})
  set(deb $ENV{VELMORA_DEB})
else()
  get_filename_component(cmake_bin ${CMAKE_COMMAND} DIRECTORY)
  find_program(CPACK cpack HINTS ${cmake_bin})
  find_program(SHLIBDEPS dpkg-shlibdeps)
  if(NOT CPACK OR NOT SHLIBDEPS)
    message("SKIPPED: cpack or dpkg-shlibdeps not found")
    return()
  endif()
  execute_process(COMMAND ${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${SCRATCH}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  file(GLOB deb ${SCRATCH}/velmora_*.deb)
  if(NOT rc EQUAL 0 OR NOT deb)
    message(FATAL_ERROR "cpack -G DEB failed (${rc}):\n${out}\n${err}")
  endif()
endif()

function(control field var)
  execute_process(COMMAND ${DPKG_DEB} -f ${deb} ${field} OUTPUT_VARIABLE value
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(${var} "${value}" PARENT_SCOPE)
endfunction()
control(Package name)
control(Depends depends)
control(Recommends recommends)
control(Maintainer maintainer)
if(NOT name STREQUAL "velmora" OR NOT recommends MATCHES "ieee-data" OR NOT maintainer)
  message(FATAL_ERROR "control fields: Package ${name}, Recommends ${recommends}, "
                      "Maintainer ${maintainer}")
endif()
# The dependencies are those of the executables, found by dpkg-shlibdeps.
set(needed libc6 libstdc\\+\\+6 libsqlite3-0 zlib1g)
if(WITH_UI)
  list(APPEND needed libqt6widgets6)
endif()
foreach(package ${needed})
  if(NOT depends MATCHES "(^|, )${package}( |,|$)")
    message(FATAL_ERROR "Depends lacks ${package}: ${depends}")
  endif()
endforeach()

set(root ${SCRATCH}/root)
execute_process(COMMAND ${DPKG_DEB} -x ${deb} ${root} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dpkg-deb -x ${deb} failed: ${err}")
endif()

# Exactly these files in the program's folder: no build tool or test program ships.
set(app usr/lib/velmora)
set(expected velmora-batch vlident.txt)
set(files usr/bin/velmora-batch usr/share/doc/velmora/copyright
    usr/share/doc/velmora/changelog.Debian.gz)
if(WITH_UI)
  list(APPEND expected velmora help.html screenshots)
  list(APPEND files usr/bin/velmora ${app}/screenshots/form1-loaded.png
       usr/share/applications/${APP_ID}.desktop usr/share/metainfo/${APP_ID}.metainfo.xml
       usr/share/icons/hicolor/16x16/apps/velmora.png
       usr/share/icons/hicolor/256x256/apps/velmora.png)
endif()
if(WITH_MAN)
  list(APPEND files usr/share/man/man1/velmora-batch.1.gz)
  if(WITH_UI)
    list(APPEND files usr/share/man/man1/velmora.1.gz)
  endif()
endif()
file(GLOB shipped RELATIVE ${root}/${app} ${root}/${app}/*)
list(SORT shipped)
list(SORT expected)
if(NOT shipped STREQUAL expected)
  message(FATAL_ERROR "/${app} holds ${shipped}, not ${expected}")
endif()
foreach(file ${files})
  if(NOT EXISTS ${root}/${file})
    message(FATAL_ERROR "not in the package: /${file}")
  endif()
endforeach()
file(READ ${root}/usr/share/doc/velmora/copyright copyright)
if(NOT copyright MATCHES "^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/"
   OR NOT copyright MATCHES "\nLicense: GPL-3\\+\n")
  message(FATAL_ERROR "the copyright file is not a GPL-3+ machine-readable one")
endif()

# The unpacked batch tool, through its link, finds its vendor list and loads a sample.
set(work ${SCRATCH}/run)
file(MAKE_DIRECTORY ${work}/out)
execute_process(
  COMMAND ${root}/usr/bin/velmora-batch --out ${work}/out ${SAMPLE} convert-all
          vendor 00:0C:41:00:00:00
  WORKING_DIRECTORY ${work} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
get_filename_component(title ${SAMPLE} NAME)
if(NOT rc EQUAL 0 OR NOT out MATCHES "Total Number Of Source Entries: 27\n"
   OR NOT out MATCHES "Cisco-Linksys, LLC\n" OR NOT EXISTS ${work}/out/FullConvert_${title})
  message(FATAL_ERROR "the packaged velmora-batch failed (${rc}):\n${out}\n${err}")
endif()
if(WITH_UI)
  execute_process(COMMAND ${root}/usr/bin/velmora --version
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "^velmora [0-9.]+\n$")
    message(FATAL_ERROR "the packaged velmora --version failed (${rc}):\n${out}\n${err}")
  endif()
  # The unpacked window program, run by whoever runs the test (root in CI) and stopped after a
  # few seconds, keeps its working files in the user's data folder, never in its own.
  set(ENV{QT_QPA_PLATFORM} offscreen)
  set(ENV{XDG_DATA_HOME} ${work}/data)
  set(ENV{XDG_CONFIG_HOME} ${work}/config)
  execute_process(COMMAND ${root}/usr/bin/velmora ${SAMPLE} TIMEOUT 10
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc MATCHES "^(0|.*timeout.*)$")
    message(FATAL_ERROR "the packaged velmora LOG failed (${rc}):\n${out}\n${err}")
  endif()
  file(GLOB shipped RELATIVE ${root}/${app} ${root}/${app}/*)
  list(SORT shipped)
  if(NOT shipped STREQUAL expected OR NOT EXISTS ${work}/data/velmora/output1)
    file(GLOB kept RELATIVE ${work} ${work}/data/velmora/*)
    message(FATAL_ERROR "after velmora LOG, /${app} holds ${shipped} (not ${expected}) and "
                        "the data folder ${kept}")
  endif()
endif()
file(REMOVE_RECURSE ${root} ${work})
