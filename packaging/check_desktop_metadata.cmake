# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the desktop entry and the AppStream metainfo through their validators, and checks that
# they name one component.
#   cmake -DDESKTOP= -DMETAINFO= -P check_desktop_metadata.cmake
find_program(DESKTOP_VALIDATE desktop-file-validate)
find_program(APPSTREAMCLI appstreamcli)
if(NOT DESKTOP_VALIDATE OR NOT APPSTREAMCLI)
  message("SKIPPED: desktop-file-validate or appstreamcli not found "
          "(packages desktop-file-utils, appstream)")
  return()
endif()
execute_process(COMMAND ${DESKTOP_VALIDATE} ${DESKTOP}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
# It prints hints and warnings too; any output is a finding.
if(NOT rc EQUAL 0 OR out OR err)
  message(FATAL_ERROR "desktop-file-validate ${DESKTOP} (${rc}):\n${out}${err}")
endif()
execute_process(COMMAND ${APPSTREAMCLI} validate --no-net ${METAINFO}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR out MATCHES "(^|\n)[EW]: ")
  message(FATAL_ERROR "appstreamcli validate --no-net ${METAINFO} (${rc}):\n${out}${err}")
endif()

get_filename_component(desktop_name ${DESKTOP} NAME)
file(READ ${METAINFO} metainfo)
string(REGEX MATCH "<id>([^<]*)</id>" _ "${metainfo}")
if(NOT "${CMAKE_MATCH_1}.desktop" STREQUAL desktop_name
   OR NOT metainfo MATCHES "<launchable type=\"desktop-id\">${desktop_name}</launchable>")
  message(FATAL_ERROR "the metainfo's id ${CMAKE_MATCH_1} is not the desktop entry ${desktop_name}")
endif()
file(READ ${DESKTOP} desktop)
if(NOT desktop MATCHES "\nExec=[^\n]* %f\n" OR NOT desktop MATCHES "\nMimeType=text/plain;\n")
  message(FATAL_ERROR "${DESKTOP} does not open a plain-text log given to it")
endif()
