# Fails when any file of the toolkit-free core includes a Qt header.
file(GLOB_RECURSE candidates
  ${ROOT}/src/store/* ${ROOT}/src/camera/* ${ROOT}/src/telescope/*
  ${ROOT}/src/processing/* ${ROOT}/src/display/*
  ${ROOT}/src/app/state* ${ROOT}/src/app/clock* ${ROOT}/src/app/host*
  ${ROOT}/src/app/messages* ${ROOT}/src/app/data_root* ${ROOT}/src/app/command_rules*)
set(offenders "")
foreach(f IN LISTS candidates)
  get_filename_component(name "${f}" NAME)
  if(name MATCHES "_dialogs?\\.(h|cpp)$|_windows?\\.(h|cpp)$|_commands\\.(h|cpp)$|_ui\\.(h|cpp)$")
    continue()
  endif()
  file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]Q")
  if(hits)
    list(APPEND offenders "${f}")
  endif()
endforeach()
if(offenders)
  message(FATAL_ERROR "core files include Qt headers: ${offenders}")
endif()
message(STATUS "core is free of Qt headers")
