# KY_SANITIZE: sanitizers for everything the CPU build compiles, e.g. -DKY_SANITIZE="address;undefined".
# Include it after project(); scripts/ci-robustness injects it with CMAKE_PROJECT_INCLUDE.
include_guard(GLOBAL)

set(KY_SANITIZE "" CACHE STRING "Sanitizers for the CPU build, a list such as address;undefined (empty: none)")

if(KY_SANITIZE)
  # nvcc cannot build instrumented device code: a sanitized build is a CPU build.
  if(KY_BUILD_CUDA)
    message(STATUS "KY_SANITIZE is set: the CUDA flavour is left out")
  endif()
  set(KY_BUILD_CUDA OFF CACHE BOOL "Also build the CUDA flavour of the plug-in (needs nvcc)" FORCE)

  list(JOIN KY_SANITIZE "," _ky_sanitizers)
  # Any finding fails the run; frames stay readable in the reports.
  add_compile_options(-fsanitize=${_ky_sanitizers} -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${_ky_sanitizers})
  if("undefined" IN_LIST KY_SANITIZE)
    # Thrust binds references to null pointers by design: to its empty system tags (thrust/detail/reference.h) and
    # to the first element of an empty host range it copies. The null check goes; a real access through a null
    # pointer is left to the address sanitizer and the signal it raises. clang also checks such upcasts under
    # object-size, so there Thrust's own code is left out of the undefined-behaviour checks.
    add_compile_options(-fno-sanitize=null)
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
      set(_ky_ignorelist "${CMAKE_BINARY_DIR}/sanitizerIgnorelist.txt")
      file(WRITE "${_ky_ignorelist}" "[undefined]\nsrc:*/thrust/*\n")
      add_compile_options("-fsanitize-ignorelist=${_ky_ignorelist}")
    endif()
  endif()
  message(STATUS "Sanitizers: ${_ky_sanitizers}")
endif()
