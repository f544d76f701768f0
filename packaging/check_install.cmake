# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a scratch prefix, checks the installed tree, and runs the installed
# batch tool (through its link in bin) on a sample log from a scratch folder.
#   cmake -DBUILD_DIR= -DPREFIX= -DBINDIR= -DAPPDIR= -DAPP_ID= -DDATADIR= -DWITH_UI= -DSAMPLE=
#         -P check_install.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}\n${err}")
endif()

set(files ${APPDIR}/velmora-batch ${APPDIR}/vlident.txt)
set(links ${BINDIR}/velmora-batch)
if(WITH_UI)
  list(APPEND files ${APPDIR}/velmora ${APPDIR}/help.html ${APPDIR}/screenshots/form1-loaded.png
       ${DATADIR}/applications/${APP_ID}.desktop ${DATADIR}/icons/hicolor/16x16/apps/velmora.png
       ${DATADIR}/icons/hicolor/48x48/apps/velmora.png)
  list(APPEND links ${BINDIR}/velmora)
endif()
foreach(file ${files} ${links})
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${PREFIX}/${file}")
  endif()
endforeach()
foreach(link ${links})
  file(READ_SYMLINK ${PREFIX}/${link} target)
  if(IS_ABSOLUTE "${target}")
    message(FATAL_ERROR "${link} points to an absolute path: ${target}")
  endif()
endforeach()

# Started through the link, the tool must still find vlident.txt beside its real executable.
set(work ${PREFIX}/run)
file(MAKE_DIRECTORY ${work}/out)
execute_process(
  COMMAND ${PREFIX}/${BINDIR}/velmora-batch --out ${work}/out ${SAMPLE}
          convert-all vendor 00:0C:41:00:00:00
  WORKING_DIRECTORY ${work}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "installed velmora-batch failed (${rc}):\n${out}\n${err}")
endif()
get_filename_component(title ${SAMPLE} NAME)
foreach(line
    "Source File Type: NS1 Text Export"
    "Total Number Of Source Entries: 27"
    "Non-GPS Dropped Entries: 3"
    "WEP OFF Entries: 17"
    "WEP ON Entries: 10"
    "AP Locatiions: 15"
    "Ad-Hoc Locations: 12"
    "Cisco-Linksys, LLC")
  string(FIND "${out}" "${line}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "installed velmora-batch did not print \"${line}\":\n${out}")
  endif()
endforeach()
if(NOT EXISTS ${work}/out/FullConvert_${title})
  message(FATAL_ERROR "installed velmora-batch wrote no FullConvert_${title}:\n${out}")
endif()
file(REMOVE_RECURSE ${PREFIX})
