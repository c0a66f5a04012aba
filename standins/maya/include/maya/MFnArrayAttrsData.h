#ifndef _MFnArrayAttrsData
#define _MFnArrayAttrsData

#include <maya/MDoubleArray.h>
#include <maya/MFnData.h>
#include <maya/MIntArray.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>
#include <maya/MVectorArray.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFnArrayAttrsData : public MFnData {
public:
    enum Type { kInvalid, kVectorArray, kDoubleArray, kIntArray, kStringArray, kLast };

    MFnArrayAttrsData();
    MFnArrayAttrsData(const MObject& object, MStatus* ReturnStatus = NULL);
    virtual ~MFnArrayAttrsData();

    virtual MFn::Type type() const;

    MObject create(MStatus* ReturnStatus = NULL);
    unsigned int count() const;
    MStringArray list(MStatus* ReturnStatus = NULL) const;
    // True, with the channel's type, when the record has a channel of that name; false and kInvalid otherwise.
    bool checkArrayExist(const MString attrName, MFnArrayAttrsData::Type& arrayType, MStatus* ReturnStatus = NULL);

    // Creates the channel when missing. The returned array refers to the data
    // object's storage: appending to it changes the data.
    MVectorArray vectorArray(const MString& name, MStatus* ReturnStatus = NULL);
    // Fails with kInvalidParameter when there is no vector channel of that name.
    MVectorArray getVectorData(const MString& name, MStatus* ReturnStatus = NULL);
    // The same for channels of doubles.
    MDoubleArray doubleArray(const MString& name, MStatus* ReturnStatus = NULL);
    MDoubleArray getDoubleData(const MString& name, MStatus* ReturnStatus = NULL);
    // And for channels of ints and of strings. A name that a channel of another type holds is refused with
    // kInvalidParameter, by the creating calls as well.
    MIntArray intArray(const MString attrName, MStatus* ReturnStatus = NULL);
    MIntArray getIntData(const MString attrName, MStatus* ReturnStatus = NULL);
    MStringArray stringArray(const MString attrName, MStatus* ReturnStatus = NULL);
    MStringArray getStringData(const MString attrName, MStatus* ReturnStatus = NULL);
};

OPENMAYA_NAMESPACE_CLOSE

#endif
