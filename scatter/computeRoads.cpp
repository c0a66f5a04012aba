#include "computeRoads.h"

#include <dlfcn.h>
#include <unistd.h>

#include <iostream>
#include <new>
#include <string>

#include "../roads/scatterRoad.h"
#include "gpuBudget.h"

namespace {

// One road library, loaded and asked whether it can compute here.
class LoadedRoad {
public:
    LoadedRoad(const std::string& folder, const char* file);
    LoadedRoad(const LoadedRoad&) = delete;
    LoadedRoad& operator=(const LoadedRoad&) = delete;
    ~LoadedRoad()
    {
        if (library_ != nullptr)
            dlclose(library_);
    }

    bool usable() const { return usable_; }
    const ScatterRoad& road() const { return *road_; }
    // What the road computes on, or why it cannot.
    const std::string& description() const { return description_; }

private:
    bool open(const std::string& path);

    void* library_ = nullptr;
    const ScatterRoad* road_ = nullptr;
    bool usable_ = false;
    std::string description_;
};

LoadedRoad::LoadedRoad(const std::string& folder, const char* file)
{
    const std::string path = folder + "/" + file;
    if (access(path.c_str(), F_OK) != 0) {
        description_ = std::string("no ") + file + " beside the plug-in";
        return;
    }
    if (open(path))
        usable_ = road_->probe(description_);
}

bool LoadedRoad::open(const std::string& path)
{
    library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        const char* reason = dlerror();
        description_ = "cannot load " + path + ": " + (reason != nullptr ? reason : "unknown reason");
        return false;
    }
    using Entry = const ScatterRoad* (*)();
    const auto entry = reinterpret_cast<Entry>(dlsym(library_, "kyScatterRoad"));
    const ScatterRoad* road = entry != nullptr ? entry() : nullptr;
    if (road == nullptr || road->version != kScatterRoadVersion || road->settingsSize != sizeof(ScatterSettings) ||
        road->resultSize != sizeof(ScatterResult)) {
        description_ = path + " is not a compute road of this plug-in's version";
        dlclose(library_);
        library_ = nullptr;
        return false;
    }
    road_ = road;
    return true;
}

// The folder the plug-in was loaded from, where its roads are.
std::string pluginFolder()
{
    Dl_info info;
    if (dladdr(reinterpret_cast<const void*>(&pluginFolder), &info) == 0 || info.dli_fname == nullptr)
        return ".";
    const std::string path = info.dli_fname;
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Both roads, loaded on the first compute of the session and kept until the plug-in is unloaded.
struct Roads {
    Roads() : folder(pluginFolder()), gpu(folder, kGpuRoadFile), cpu(folder, kCpuRoadFile) { announce(); }
    void announce() const;

    std::string folder;
    LoadedRoad gpu;
    LoadedRoad cpu;
};

void Roads::announce() const
{
    if (gpu.usable())
        std::cout << "kyScatterPoints: computing on the GPU: " << gpu.description() << std::endl;
    else if (cpu.usable())
        std::cout << "kyScatterPoints: no usable CUDA device (" << gpu.description() << "); computing on the CPU with "
                  << cpu.description() << std::endl;
    else
        std::cerr << "ERROR kyScatterPoints: no road can compute: GPU: " << gpu.description()
                  << "; CPU: " << cpu.description() << std::endl;
}

Roads& roads()
{
    static Roads instance;
    return instance;
}

// A road that cannot compute here fails the compute with `refusal` and its reason.
ScatterStatus runOn(const LoadedRoad& road, const char* refusal, const ScatterMesh& mesh,
                    const ScatterSettings& settings, ScatterResult& result)
{
    if (!road.usable()) {
        std::cerr << "ERROR " << refusal << " (" << road.description() << "); no points computed" << std::endl;
        return ScatterStatus::failed;
    }
    return road.road().scatterPoints(mesh, settings, result, nullptr);
}

const char kNoGpu[] = "computeDevice is gpu, but there is no usable CUDA device";
const char kNoCpu[] = "the CPU road cannot compute";

// The GPU road where it can, the CPU road where it cannot or where the GPU lacks the memory for this compute.
ScatterStatus runAutomatic(const Roads& r, const ScatterMesh& mesh, const ScatterSettings& settings,
                           ScatterResult& result)
{
    if (!r.gpu.usable())
        return runOn(r.cpu, kNoCpu, mesh, settings, result);
    ScatterStatus status = ScatterStatus::notEnoughMemory;
    try {
        status = r.gpu.road().scatterPoints(mesh, settings, result, nullptr);
    } catch (const std::bad_alloc&) {
        // A failed device allocation: the same shortage, met later.
    }
    if (status != ScatterStatus::notEnoughMemory || !r.cpu.usable())
        return status;
    std::cout << "kyScatterPoints: the GPU has too little free memory for this compute; computing it on the CPU"
              << std::endl;
    return r.cpu.road().scatterPoints(mesh, settings, result, nullptr);
}

// The road that answers the budget questions: the one an automatic compute takes.
const LoadedRoad* budgetRoad()
{
    const Roads& r = roads();
    if (r.gpu.usable())
        return &r.gpu;
    return r.cpu.usable() ? &r.cpu : nullptr;
}

}  // namespace

ScatterStatus scatterOnRoad(ComputeDevice device, const ScatterMesh& mesh, const ScatterSettings& settings,
                            ScatterResult& result)
{
    const Roads& r = roads();
    switch (device) {
    case ComputeDevice::gpu:
        return runOn(r.gpu, kNoGpu, mesh, settings, result);
    case ComputeDevice::cpu:
        return runOn(r.cpu, kNoCpu, mesh, settings, result);
    case ComputeDevice::automatic:
        break;
    }
    return runAutomatic(r, mesh, settings, result);
}

bool checkGPUMemoryAvailability(unsigned long bytes)
{
    const LoadedRoad* road = budgetRoad();
    return road != nullptr && road->road().checkGPUMemoryAvailability(bytes);
}

void printMemoryStat()
{
    if (const LoadedRoad* road = budgetRoad())
        road->road().printMemoryStat();
}
