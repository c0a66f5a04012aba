// A devkit header and CUDA's runtime header cannot share a source: MTypes.h declares float2, float3 and the like as
// plain arrays where CUDA's vector_types.h declares structs. Maya code and CUDA code live in separate sources.
#include <maya/MObject.h>

#ifdef KY_BREAK_RULE
#include <cuda_runtime.h>
#endif

float3 corner = {1.0f, 2.0f, 3.0f};
