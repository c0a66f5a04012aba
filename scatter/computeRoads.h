// The scatter compute as the plug-in runs it: on the GPU road where a usable CUDA device is there, on the CPU road
// otherwise. Both roads are libraries beside the plug-in, loaded privately on the first compute; the plug-in then
// says once which road it takes and why.
#pragma once

#include "scatterCompute.h"

// The node's computeDevice: where a compute may run.
enum class ComputeDevice { automatic = 0, gpu = 1, cpu = 2 };

// The road libraries, beside the plug-in.
constexpr char kGpuRoadFile[] = "kyScatterPointsCuda.so.1";
constexpr char kCpuRoadFile[] = "kyScatterPointsCpu.so.1";

// Runs the compute where `device` allows. In automatic, a GPU without the memory for it hands the compute to the CPU
// and says so. Failures are reported where they happen; a road that cannot run is reported here.
ScatterStatus scatterOnRoad(ComputeDevice device, const ScatterMesh& mesh, const ScatterSettings& settings,
                            ScatterResult& result);
