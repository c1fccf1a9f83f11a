# Proves that check_folder_deps.cmake fails on each kind of fault: each case
# copies the real src tree into WORK, breaks it one way and expects the check
# to fail naming the fault. Run with -DROOT=<source tree> -DWORK=<scratch> -P.
cmake_minimum_required(VERSION 3.25)

# case name | file to write (under src) | its contents | expected message
set(cases
  "camera_includes_guiding|camera/new_probe.cpp|#include \"telescope/guide_steps.h\"|src/camera/new_probe.cpp includes telescope/guide_steps.h: camera may not depend on telescope"
  "processing_includes_camera|processing/new_probe.h|  #  include \"camera/readout.h\"|src/processing/new_probe.h includes camera/readout.h: processing may not depend on camera"
  "store_includes_sim|store/new_probe.cpp|#include \"sim/sim.h\"|store may not depend on sim"
  "new_folder|extra/new_probe.cpp|#include \"app/state.h\"|src/extra has no entry"
  "stale_exception|camera/autofocus_session.cpp|#include \"camera/autofocus_session.h\"|exception no longer needed [(]remove it[)]: camera/autofocus_session.cpp.telescope/telescope_link.h")

set(failures "")
foreach(c IN LISTS cases)
  string(REPLACE "|" ";" fields "${c}")
  list(GET fields 0 name)
  list(GET fields 1 file)
  list(GET fields 2 contents)
  list(SUBLIST fields 3 -1 rest)
  list(JOIN rest "|" expected)
  set(tree "${WORK}/${name}")
  file(REMOVE_RECURSE "${tree}")
  file(COPY "${ROOT}/src" DESTINATION "${tree}")
  file(WRITE "${tree}/src/${file}" "${contents}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${tree} -P ${CMAKE_CURRENT_LIST_DIR}/check_folder_deps.cmake
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(rc EQUAL 0)
    list(APPEND failures "${name}: the check passed")
  elseif(NOT "${err}" MATCHES "${expected}")
    list(APPEND failures "${name}: expected '${expected}' in:\n${err}")
  endif()
  file(REMOVE_RECURSE "${tree}")
endforeach()

# And the unbroken tree passes.
execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${ROOT} -P ${CMAKE_CURRENT_LIST_DIR}/check_folder_deps.cmake
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  list(APPEND failures "the source tree itself fails:\n${err}")
endif()

if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "${text}")
endif()
list(LENGTH cases count)
message(STATUS "the folder check caught all ${count} faults")
