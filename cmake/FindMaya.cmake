# Finds the Maya API in a Maya installation: MAYA_LOCATION (a variable or the environment) is its root, with the
# headers under include/maya and the libraries under lib/. Defines the imported target Maya::Maya with Autodesk's
# Linux compile definitions and the system's OpenGL.
set(_maya_roots "${MAYA_LOCATION}" "$ENV{MAYA_LOCATION}")
find_path(MAYA_INCLUDE_DIR maya/MFnPlugin.h PATHS ${_maya_roots} PATH_SUFFIXES include NO_DEFAULT_PATH)
set(_maya_library_vars)
foreach(_maya_lib IN ITEMS OpenMaya OpenMayaUI OpenMayaRender Foundation)
  find_library(MAYA_${_maya_lib}_LIBRARY ${_maya_lib} PATHS ${_maya_roots} PATH_SUFFIXES lib NO_DEFAULT_PATH)
  list(APPEND _maya_library_vars MAYA_${_maya_lib}_LIBRARY)
endforeach()
find_package(OpenGL QUIET)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Maya REQUIRED_VARS MAYA_INCLUDE_DIR ${_maya_library_vars} OPENGL_FOUND)

if(Maya_FOUND AND NOT TARGET Maya::Maya)
  set(_maya_libraries)
  foreach(_maya_var IN LISTS _maya_library_vars)
    list(APPEND _maya_libraries "${${_maya_var}}")
  endforeach()
  add_library(Maya::Maya INTERFACE IMPORTED)
  set_target_properties(Maya::Maya PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${MAYA_INCLUDE_DIR}"
    INTERFACE_COMPILE_DEFINITIONS "LINUX;LINUX_64;_BOOL;REQUIRE_IOSTREAM"
    INTERFACE_LINK_LIBRARIES "${_maya_libraries};OpenGL::GL")
endif()
mark_as_advanced(MAYA_INCLUDE_DIR ${_maya_library_vars})
