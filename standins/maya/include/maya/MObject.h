#ifndef _MObject
#define _MObject

#include <maya/MTypes.h>
#include <maya/MFn.h>
#include <memory>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// A cheap handle; copies share the object they refer to.
class MObject {
public:
    MObject();
    MObject(const MObject& other);
    ~MObject();
    MObject& operator=(const MObject& other);

    bool isNull() const;
    MFn::Type apiType() const;
    bool hasFn(MFn::Type type) const;
    bool operator==(const MObject& other) const;
    bool operator!=(const MObject& other) const;

    static const MObject kNullObj;

private:
    friend struct mayaStandin::detail::Access;
    std::shared_ptr<mayaStandin::detail::Object> object_;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
