# Installs the build into a fresh temporary prefix and checks what a desktop
# user gets: the program, its help, the menu entry and icon, the camera's
# udev rule with the configured ids, and (INDI_DRIVER on) the INDI driver
# with the driver file that lists it under CCDs.
#   cmake -DBUILD=<build dir> -DWORK=<scratch dir> -DVENDOR=<hex> -DPRODUCT=<hex> [-DINDI_DRIVER=ON]
#         -P install_test.cmake
set(prefix "${WORK}/prefix")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${prefix}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "install failed (${result}):\n${output}")
endif()

set(expected
  bin/quillon
  share/doc/quillon/quillon_help.html
  share/applications/quillon.desktop
  share/icons/hicolor/scalable/apps/quillon.svg
  lib/udev/rules.d/70-quillon-camera.rules)
if(INDI_DRIVER)
  list(APPEND expected bin/indi_zq1_ccd share/indi/indi_zq1_ccd.xml)
endif()
foreach(f IN LISTS expected)
  if(NOT EXISTS "${prefix}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
# Nothing else lands in the prefix.
file(GLOB_RECURSE installed RELATIVE "${prefix}" "${prefix}/*")
list(SORT installed)
set(sorted ${expected})
list(SORT sorted)
if(NOT installed STREQUAL sorted)
  message(FATAL_ERROR "installed files differ:\n  got ${installed}\n  expected ${sorted}")
endif()

execute_process(COMMAND test -x "${prefix}/bin/quillon" RESULT_VARIABLE not_executable)
if(NOT not_executable EQUAL 0)
  message(FATAL_ERROR "bin/quillon is not executable")
endif()

if(INDI_DRIVER)
  execute_process(COMMAND test -x "${prefix}/bin/indi_zq1_ccd" RESULT_VARIABLE not_executable)
  if(NOT not_executable EQUAL 0)
    message(FATAL_ERROR "bin/indi_zq1_ccd is not executable")
  endif()
  # INDI clients read <driversList><devGroup group="CCDs"><device ...><driver
  # name="...">program</driver>: the device name the driver gives itself.
  file(READ "${prefix}/share/indi/indi_zq1_ccd.xml" drivers)
  string(REGEX MATCH "<driversList>.*<devGroup group=\"CCDs\">.*<device label=\"ZQ1 CCD\"[^>]*>.*<driver name=\"ZQ1 CCD\">indi_zq1_ccd</driver>.*</devGroup>.*</driversList>" listed "${drivers}")
  if(listed STREQUAL "")
    message(FATAL_ERROR "the INDI driver file does not list indi_zq1_ccd under CCDs:\n${drivers}")
  endif()
  find_program(XMLLINT xmllint)
  if(XMLLINT)
    execute_process(COMMAND ${XMLLINT} --noout "${prefix}/share/indi/indi_zq1_ccd.xml"
      RESULT_VARIABLE result ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "the INDI driver file is not well-formed XML:\n${output}")
    endif()
  endif()
endif()

# The menu entry names a program and an icon that were installed.
file(READ "${prefix}/share/applications/quillon.desktop" entry)
foreach(line "Exec=quillon" "Icon=quillon" "Type=Application")
  string(FIND "${entry}" "\n${line}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "desktop entry lacks ${line}")
  endif()
endforeach()
string(REGEX MATCH "\nCategories=[^\n]*Education;[^\n]*" categories "${entry}")
string(FIND "${categories}" "Science;" science)
if(categories STREQUAL "" OR science EQUAL -1)
  message(FATAL_ERROR "desktop entry is not under Education and Science")
endif()
find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
  execute_process(COMMAND ${VALIDATE} "${prefix}/share/applications/quillon.desktop"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  # Hints are advice; errors and warnings fail.
  if(NOT result EQUAL 0 OR output MATCHES "error:|warning:")
    message(FATAL_ERROR "desktop-file-validate:\n${output}")
  endif()
  message(STATUS "desktop-file-validate: ${output}")
else()
  message(WARNING "desktop-file-validate not found; the entry was not validated")
endif()

# The udev rule matches the configured ids on the USB device and its HID node,
# for the logged-in user.
file(STRINGS "${prefix}/lib/udev/rules.d/70-quillon-camera.rules" rules REGEX "^[^#]")
list(LENGTH rules count)
if(NOT count EQUAL 2)
  message(FATAL_ERROR "expected two udev rules, got ${count}: ${rules}")
endif()
foreach(rule IN LISTS rules)
  foreach(part "==\"${VENDOR}\"" "==\"${PRODUCT}\"" "TAG+=\"uaccess\"" "MODE=\"0660\"")
    string(FIND "${rule}" "${part}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "udev rule lacks ${part}: ${rule}")
    endif()
  endforeach()
  if(rule MATCHES "@")
    message(FATAL_ERROR "udev rule not configured: ${rule}")
  endif()
endforeach()
string(FIND "${rules}" "SUBSYSTEM==\"usb\"" usb)
string(FIND "${rules}" "SUBSYSTEM==\"hidraw\"" hid)
if(usb EQUAL -1 OR hid EQUAL -1)
  message(FATAL_ERROR "udev rules must cover the usb device and the hidraw node: ${rules}")
endif()

file(REMOVE_RECURSE "${WORK}")
