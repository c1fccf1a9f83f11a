# Fails when a file of src/<folder> includes a header of a folder that
# <folder> may not depend on. Run with -DROOT=<source tree> -P.
#
# The folders form layers: app and ui at the bottom (program state, host
# seam, shared widgets), then store, processing, display, camera, telescope,
# and indi and devices on top. app also holds the window and main(), which
# wire everything together, so it may include any folder. Anything a folder
# needs against that direction is named below, file by file, with its reason.
cmake_minimum_required(VERSION 3.25)

# QUILLON_MAY_<folder>: the folders (besides itself) <folder> may include.
set(QUILLON_MAY_app store camera telescope processing display ui indi devices sim)
set(QUILLON_MAY_ui app store indi)
set(QUILLON_MAY_store app ui)
set(QUILLON_MAY_processing app store ui)
set(QUILLON_MAY_display app store processing ui)
set(QUILLON_MAY_camera app store processing display ui)
set(QUILLON_MAY_telescope app store processing display camera indi ui)
set(QUILLON_MAY_indi app store telescope)
set(QUILLON_MAY_devices app camera telescope)

# The few includes against the layers, as "<file under src>|<header>".
set(QUILLON_FOLDER_DEP_EXCEPTIONS
  # Autofocus moves the focuser through the telescope link.
  "camera/autofocus.cpp|telescope/telescope_link.h"
  "camera/autofocus_session.cpp|telescope/telescope_link.h"
  # The camera opens the control box's port so self-guiding finds it ready.
  "camera/camera_controls.cpp|telescope/control_box.h"
  "camera/camera_controls.cpp|telescope/serial_port.h"
  # Self-guided exposures guide and dither the telescope between read-outs.
  "camera/exposure_loop.cpp|telescope/dither.h"
  "camera/exposure_loop.cpp|telescope/guiding.h"
  "camera/exposure_readout.cpp|telescope/guiding.h"
  # Auto-save tells an open guiding run the file its guided exposure went to.
  "store/autosave.cpp|telescope/guide_record.h"
  # The settings dialog holds the INDI link's settings page.
  "store/settings_dialog.cpp|indi/indi_telescope_link.h"
  # The information window shows the last guide step's offsets.
  "display/info_dialogs.cpp|telescope/guide_steps.h"
  # The Qt host opens the information window its seam promises.
  "ui/qt_host.cpp|display/info_window.h")

if(NOT ROOT)
  message(FATAL_ERROR "run as: cmake -DROOT=<source tree> -P check_folder_deps.cmake")
endif()

file(GLOB folders RELATIVE "${ROOT}/src" LIST_DIRECTORIES true "${ROOT}/src/*")
set(problems "")
set(used_exceptions "")
set(scanned 0)
set(checked 0)
foreach(folder IN LISTS folders)
  if(NOT IS_DIRECTORY "${ROOT}/src/${folder}")
    continue()
  endif()
  if(NOT DEFINED QUILLON_MAY_${folder})
    list(APPEND problems "src/${folder} has no entry (QUILLON_MAY_${folder}) in tests/check_folder_deps.cmake")
    continue()
  endif()
  file(GLOB_RECURSE files RELATIVE "${ROOT}/src" "${ROOT}/src/${folder}/*.cpp" "${ROOT}/src/${folder}/*.h")
  foreach(f IN LISTS files)
    math(EXPR scanned "${scanned} + 1")
    file(STRINGS "${ROOT}/src/${f}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" header "${line}")
      string(REGEX REPLACE "/.*$" "" target "${header}")
      math(EXPR checked "${checked} + 1")
      if(target STREQUAL folder OR target IN_LIST QUILLON_MAY_${folder})
        continue()
      endif()
      if("${f}|${header}" IN_LIST QUILLON_FOLDER_DEP_EXCEPTIONS)
        list(APPEND used_exceptions "${f}|${header}")
        continue()
      endif()
      list(APPEND problems "src/${f} includes ${header}: ${folder} may not depend on ${target}")
    endforeach()
  endforeach()
endforeach()

# An exception whose include has gone is removed from the list, so the list
# stays the true set of crossings.
foreach(e IN LISTS QUILLON_FOLDER_DEP_EXCEPTIONS)
  if(NOT e IN_LIST used_exceptions)
    list(APPEND problems "exception no longer needed (remove it): ${e}")
  endif()
endforeach()

if(scanned EQUAL 0)
  list(APPEND problems "no source files found under ${ROOT}/src")
endif()
if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "folder dependencies broken:\n  ${text}")
endif()
message(STATUS "folder dependencies hold (${checked} includes in ${scanned} files)")
