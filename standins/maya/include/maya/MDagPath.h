#ifndef _MDagPath
#define _MDagPath

#include <maya/MObject.h>
#include <maya/MStatus.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// The stand-in has no DAG hierarchy; locators are drawn with an empty path.
class MDagPath {
public:
    MDagPath();
    bool isValid(MStatus* ReturnStatus = NULL) const;
    MObject node(MStatus* ReturnStatus = NULL) const;

private:
    MObject node_;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
