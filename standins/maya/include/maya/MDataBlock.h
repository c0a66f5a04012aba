#ifndef _MDataBlock
#define _MDataBlock

#include <maya/MDataHandle.h>
#include <maya/MPlug.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MDataBlock {
public:
    // inputValue evaluates connected or dirty attributes; outputValue does not.
    MDataHandle inputValue(const MObject& attribute, MStatus* ReturnStatus = NULL);
    MDataHandle outputValue(const MObject& attribute, MStatus* ReturnStatus = NULL);
    MStatus setClean(const MPlug& plug);
    MStatus setClean(const MObject& attribute);

private:
    friend struct mayaStandin::detail::Access;
    explicit MDataBlock(mayaStandin::detail::Node* node);
    mayaStandin::detail::Node* node_;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
