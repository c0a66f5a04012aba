// The devkit declares its classes in a versioned namespace and names them at global scope by using-declarations: a
// class of the same name declared at global scope before a devkit header clashes with them. A source names the
// devkit's header instead.
#ifdef KY_BREAK_RULE
class MObject;
#endif
#include <maya/MObject.h>

bool isNull(const MObject& object)
{
    return object.isNull();
}
