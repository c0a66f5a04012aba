# The CPU build compiles each .cu source through a generated .cpp that includes the CUDA stand-in first,
# so the same source serves nvcc and g++ unchanged.
function(ky_cpu_sources out_var)
  set(result)
  foreach(source IN LISTS ARGN)
    get_filename_component(abs "${source}" ABSOLUTE)
    get_filename_component(ext "${source}" EXT)
    if(ext STREQUAL ".cu")
      file(RELATIVE_PATH rel "${PROJECT_SOURCE_DIR}" "${abs}")
      string(REPLACE "/" "_" tag "${rel}")
      set(wrapper "${PROJECT_BINARY_DIR}/cpu-wrappers/${tag}.cpp")
      file(CONFIGURE OUTPUT "${wrapper}" CONTENT "#include <hostRuntime.h>\n#include \"${abs}\"\n")
      set_source_files_properties("${wrapper}" PROPERTIES OBJECT_DEPENDS "${abs}")
      list(APPEND result "${wrapper}")
    else()
      list(APPEND result "${abs}")
    endif()
  endforeach()
  set(${out_var} "${result}" PARENT_SCOPE)
endfunction()

# Device code without contraction or fast math, so each kernel's arithmetic matches the CPU build's operation for operation.
set(KY_CUDA_FLAGS -fmad=false -prec-div=true -prec-sqrt=true -ftz=false)
# The CPU build keeps to plain IEEE single precision as well: no contraction into fused multiply-adds.
set(KY_CPU_FLAGS -ffp-contract=off -fno-fast-math)
