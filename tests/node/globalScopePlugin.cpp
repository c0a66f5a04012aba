// A plug-in as a devkit from before Maya 2018 builds it: MObject at global scope, so the entry points carry the old
// mangled names (_Z16initializePlugin7MObject). It is linked with the product's version script, beside a function
// that the script must hide.
class MObject {};
class MStatus {};

MStatus initializePlugin(MObject)
{
    return MStatus();
}

MStatus uninitializePlugin(MObject)
{
    return MStatus();
}

bool checkGPUMemoryAvailability(unsigned long)
{
    return true;
}

void printMemoryStat() {}

void notExported() {}

extern "C" {
char MApiVersion[] = "201700";
}
