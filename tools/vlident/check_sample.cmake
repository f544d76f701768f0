# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the generator on a sample registry and compares its output with the expected list.
execute_process(COMMAND ${GENERATOR} ${INPUT} ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make_vlident failed: ${status}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${EXPECTED}
  RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "${OUTPUT} differs from ${EXPECTED}")
endif()
