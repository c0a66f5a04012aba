// Loading and unloading plug-in libraries.

#include "internal.h"

#include <mayaStandin/host.h>

#include <dlfcn.h>

#include <exception>
#include <map>
#include <string>
#include <typeinfo>

namespace mayaStandin {
namespace {

typedef MStatus (*EntryPoint)(MObject);

struct LoadedPlugin {
    void* library = nullptr;
    MObject object;
};

std::mutex& pluginMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

std::map<std::string, LoadedPlugin>& plugins() {
    static auto* loaded = new std::map<std::string, LoadedPlugin>;
    return *loaded;
}

// Maya finds an entry point by its mangled C++ name alone, which carries the namespace the devkit declares MObject
// in: a plug-in built against another devkit's namespace, or none, does not load. The Itanium ABI mangles a function
// as "_Z", the length of its name, the name, then its parameter types as type_info spells them.
EntryPoint findEntryPoint(void* library, const std::string& function) {
    const std::string symbol = "_Z" + std::to_string(function.size()) + function + typeid(MObject).name();
    return reinterpret_cast<EntryPoint>(dlsym(library, symbol.c_str()));
}

MStatus callEntryPoint(EntryPoint entry, const MObject& object, const std::string& path, const std::string& what) {
    // Registries without a plug-in object (MDrawRegistry) learn from this whose registration they are given.
    struct InEntryPoint {
        explicit InEntryPoint(const std::string& plugin) : outer(detail::pluginInEntryPoint()) {
            detail::pluginInEntryPoint() = &plugin;
        }
        ~InEntryPoint() { detail::pluginInEntryPoint() = outer; }
        const std::string* outer;
    } scope(path);
    try {
        return entry(object);
    } catch (const std::exception& e) {
        detail::hostError(what + " threw: " + e.what());
    } catch (...) {
        detail::hostError(what + " threw");
    }
    return MS::kFailure;
}

}  // namespace

namespace detail {

const std::string*& pluginInEntryPoint() {
    thread_local const std::string* current = nullptr;
    return current;
}

}  // namespace detail

MStatus loadPlugin(const std::string& libraryPath) {
    std::lock_guard<std::mutex> lock(pluginMutex());
    if (plugins().count(libraryPath)) {
        detail::hostError("loadPlugin: " + libraryPath + " is already loaded");
        return MS::kFailure;
    }
    void* library = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        detail::hostError("loadPlugin: " + std::string(reason ? reason : libraryPath));
        return MS::kFailure;
    }
    EntryPoint initialize = findEntryPoint(library, "initializePlugin");
    if (!initialize) {
        detail::hostError("loadPlugin: " + libraryPath + " has no initializePlugin");
        dlclose(library);
        return MS::kFailure;
    }

    auto pluginObject = std::make_shared<detail::PluginObject>();
    pluginObject->path = libraryPath;
    LoadedPlugin entry;
    entry.library = library;
    entry.object = detail::Access::make(pluginObject);

    MStatus status = callEntryPoint(initialize, entry.object, libraryPath, libraryPath + ": initializePlugin");
    if (!status) {
        // Nothing of a plug-in that failed to load may outlive its code.
        for (const MObject& node : detail::pluginNodes(libraryPath)) deleteNode(node);
        detail::dropPluginDrawOverrides(libraryPath, libraryPath + ": initializePlugin failed");
        detail::dropPluginTypes(libraryPath, libraryPath + ": initializePlugin failed");
        pluginObject->loaded = false;
        dlclose(library);
        return status;
    }
    plugins()[libraryPath] = entry;
    return status;
}

MStatus unloadPlugin(const std::string& libraryPath) {
    std::lock_guard<std::mutex> lock(pluginMutex());
    auto it = plugins().find(libraryPath);
    if (it == plugins().end()) {
        detail::hostError("unloadPlugin: " + libraryPath + " is not loaded");
        return MS::kFailure;
    }
    for (const MObject& node : detail::pluginNodes(libraryPath)) deleteNode(node);

    EntryPoint uninitialize = findEntryPoint(it->second.library, "uninitializePlugin");
    MStatus status;
    if (uninitialize)
        status = callEntryPoint(uninitialize, it->second.object, libraryPath, libraryPath + ": uninitializePlugin");
    if (!status) return status;  // its node types are still registered, so its code stays

    detail::dropPluginDrawOverrides(libraryPath, libraryPath + ": uninitializePlugin left it registered");
    detail::dropPluginTypes(libraryPath, libraryPath + ": uninitializePlugin left it registered");
    auto* pluginObject = detail::Access::as<detail::PluginObject>(it->second.object, MFn::kPlugin);
    pluginObject->loaded = false;
    dlclose(it->second.library);
    plugins().erase(it);
    return status;
}

}  // namespace mayaStandin
