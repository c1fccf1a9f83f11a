# Which layer each source file belongs to: the toolkit-free core or the Qt
# layer. The build (CMakeLists.txt) and the check that the core includes no
# Qt header (tests/check_core_no_qt.cmake) both take it from here, so the two
# can never disagree.
#
# In the subsystem folders the name decides: *_dialog(s), *_window(s),
# *_commands and *_ui files are Qt, the rest is core. src/app holds both
# layers, so each of its files is named below; a file named nowhere stops the
# configuration (and fails the check) instead of landing in a layer by chance.

set(QUILLON_SUBSYSTEM_FOLDERS app store camera telescope processing display)
# Stems (file names without extension) of the core files in src/app; the
# state module is every state* file.
set(QUILLON_APP_CORE clock command_rules data_root host installed messages text_field wait)
set(QUILLON_APP_CORE_REGEX "^state(_[a-z0-9_]+)?$")
# Stems of the Qt files in src/app, and the program's main.
set(QUILLON_APP_UI command_table control_bar main_frame quillon_app quillon_window status_bar)
set(QUILLON_APP_PROGRAM main)
set(QUILLON_QT_STEM_REGEX "_dialogs?$|_windows?$|_commands$|_ui$")

# Sets <out> to core, ui, program or unknown for a file of a subsystem folder.
function(quillon_layer_of path out)
  get_filename_component(stem "${path}" NAME_WE)
  set(layer core)
  if(stem MATCHES "${QUILLON_QT_STEM_REGEX}")
    set(layer ui)
  elseif(path MATCHES "/src/app/[^/]+$")
    if(stem IN_LIST QUILLON_APP_CORE OR stem MATCHES "${QUILLON_APP_CORE_REGEX}")
      set(layer core)
    elseif(stem IN_LIST QUILLON_APP_UI)
      set(layer ui)
    elseif(stem IN_LIST QUILLON_APP_PROGRAM)
      set(layer program)
    else()
      set(layer unknown)
    endif()
  endif()
  set(${out} ${layer} PARENT_SCOPE)
endfunction()

# Globs the files matching <patterns> (e.g. "*.cpp") in the subsystem folders
# under <root> and sets <prefix>_core, <prefix>_ui, <prefix>_program and
# <prefix>_unknown in the caller.
function(quillon_classify root patterns prefix)
  set(globs "")
  foreach(folder IN LISTS QUILLON_SUBSYSTEM_FOLDERS)
    foreach(pattern IN LISTS patterns)
      list(APPEND globs "${root}/src/${folder}/${pattern}")
    endforeach()
  endforeach()
  if(CMAKE_SCRIPT_MODE_FILE)
    file(GLOB_RECURSE files ${globs})
  else()
    file(GLOB_RECURSE files CONFIGURE_DEPENDS ${globs})
  endif()
  foreach(layer core ui program unknown)
    set(${layer} "")
  endforeach()
  foreach(f IN LISTS files)
    quillon_layer_of("${f}" layer)
    list(APPEND ${layer} "${f}")
  endforeach()
  foreach(layer core ui program unknown)
    set(${prefix}_${layer} "${${layer}}" PARENT_SCOPE)
  endforeach()
endfunction()
