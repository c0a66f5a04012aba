// Maya's own process links the OpenMP runtime, so a plug-in that uses it can be unloaded while the runtime's
// pool threads live on. Loading it here, for good, gives this host the same footing.
#include <dlfcn.h>

namespace {

__attribute__((constructor)) void keepOpenMPRuntimeLoaded()
{
    dlopen("libgomp.so.1", RTLD_LAZY | RTLD_NODELETE);
}

}  // namespace
