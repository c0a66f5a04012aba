#ifndef _MDagPath
#define _MDagPath

#include <maya/MObject.h>
#include <maya/MStatus.h>

// The stand-in has no DAG hierarchy; locators are drawn with an empty path.
class MDagPath {
public:
    MDagPath();
    bool isValid(MStatus* ReturnStatus = NULL) const;
    MObject node(MStatus* ReturnStatus = NULL) const;

private:
    MObject node_;
};

#endif
