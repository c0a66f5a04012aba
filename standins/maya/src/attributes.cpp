// Attribute function sets. Attributes are shared objects; the function sets
// only look at them or change their settings.

#include "internal.h"

#include <maya/MFnAttribute.h>
#include <maya/MFnCompoundAttribute.h>
#include <maya/MFnEnumAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnTypedAttribute.h>

#include <memory>

using mayaStandin::detail::Access;
using mayaStandin::detail::Attribute;
using mayaStandin::detail::injectedFault;
using mayaStandin::detail::setStatus;

namespace mayaStandin {
namespace detail {

Attribute* attributeOf(const MObject& object) {
    Object* raw = Access::get(object).get();
    if (!raw) return nullptr;
    if (raw->kind != MFn::kNumericAttribute && raw->kind != MFn::kTypedAttribute &&
        raw->kind != MFn::kCompoundAttribute && raw->kind != MFn::kEnumAttribute)
        return nullptr;
    return static_cast<Attribute*>(raw);
}

bool isIntegerType(MFnNumericData::Type type) {
    switch (type) {
    case MFnNumericData::kBoolean:
    case MFnNumericData::kByte:
    case MFnNumericData::kChar:
    case MFnNumericData::kShort:
    case MFnNumericData::kInt: return true;
    default: return false;
    }
}

double readNumber(const Value& value, const Attribute& attribute) {
    if (attribute.numericType == MFnNumericData::kFloat) return value.f;
    if (attribute.numericType == MFnNumericData::kDouble) return value.d;
    return value.i;
}

void writeNumber(Value& value, const Attribute& attribute, double number) {
    if (attribute.numericType == MFnNumericData::kFloat) {
        value.f = static_cast<float>(number);
    } else if (attribute.numericType == MFnNumericData::kDouble) {
        value.d = number;
    } else if (attribute.numericType == MFnNumericData::kBoolean) {
        value.i = number != 0.0 ? 1 : 0;
    } else {
        value.i = static_cast<int>(number);
    }
}

}  // namespace detail
}  // namespace mayaStandin

namespace {

Attribute* attachedAttribute(const MObject& object, MFn::Type kind, MStatus* ReturnStatus) {
    Attribute* attribute = mayaStandin::detail::attributeOf(object);
    if (!attribute || (kind != MFn::kAttribute && attribute->kind != kind)) {
        setStatus(ReturnStatus, MS::kInvalidParameter);
        return nullptr;
    }
    setStatus(ReturnStatus, MS::kSuccess);
    return attribute;
}

std::shared_ptr<Attribute> newAttribute(MFn::Type kind, const MString& fullName, const MString& briefName) {
    auto attribute = std::make_shared<Attribute>(kind);
    attribute->name = fullName.asChar();
    attribute->shortName = briefName.asChar();
    return attribute;
}

bool supportedNumericType(MFnNumericData::Type type) {
    return mayaStandin::detail::isIntegerType(type) || type == MFnNumericData::kFloat ||
           type == MFnNumericData::kDouble;
}

}  // namespace

// ---- MFnAttribute

MFnAttribute::MFnAttribute() = default;
MFnAttribute::MFnAttribute(const MObject& attribute, MStatus* ReturnStatus) {
    if (attachedAttribute(attribute, MFn::kAttribute, ReturnStatus)) object_ = attribute;
}
MFnAttribute::~MFnAttribute() = default;
MFn::Type MFnAttribute::type() const { return MFn::kAttribute; }

namespace {

bool getFlag(const MObject& object, bool Attribute::*flag, MStatus* ReturnStatus) {
    Attribute* a = attachedAttribute(object, MFn::kAttribute, ReturnStatus);
    return a ? a->*flag : false;
}

}  // namespace

bool MFnAttribute::isKeyable(MStatus* ReturnStatus) const { return getFlag(object_, &Attribute::keyable, ReturnStatus); }
bool MFnAttribute::isStorable(MStatus* ReturnStatus) const { return getFlag(object_, &Attribute::storable, ReturnStatus); }
bool MFnAttribute::isReadable(MStatus* ReturnStatus) const { return getFlag(object_, &Attribute::readable, ReturnStatus); }
bool MFnAttribute::isWritable(MStatus* ReturnStatus) const { return getFlag(object_, &Attribute::writable, ReturnStatus); }
bool MFnAttribute::isHidden(MStatus* ReturnStatus) const { return getFlag(object_, &Attribute::hidden, ReturnStatus); }
bool MFnAttribute::isUsedAsColor(MStatus* ReturnStatus) const {
    return getFlag(object_, &Attribute::usedAsColor, ReturnStatus);
}

MString MFnAttribute::name(MStatus* ReturnStatus) const {
    Attribute* a = attachedAttribute(object_, MFn::kAttribute, ReturnStatus);
    return a ? MString(a->name.c_str()) : MString();
}

MString MFnAttribute::shortName(MStatus* ReturnStatus) const {
    Attribute* a = attachedAttribute(object_, MFn::kAttribute, ReturnStatus);
    return a ? MString(a->shortName.c_str()) : MString();
}

namespace {

// A colour's flags are its children's too.
MStatus setFlag(const MObject& object, bool Attribute::*flag, bool state) {
    MStatus status;
    Attribute* a = attachedAttribute(object, MFn::kAttribute, &status);
    if (a) a->*flag = state;
    if (a && a->isFloat3())
        for (auto& child : a->children) (*child).*flag = state;
    return status;
}

}  // namespace

MStatus MFnAttribute::setKeyable(bool state) {
    MStatus status;
    if (injectedFault("MFnAttribute::setKeyable", status)) return status;
    return setFlag(object_, &Attribute::keyable, state);
}
MStatus MFnAttribute::setStorable(bool state) { return setFlag(object_, &Attribute::storable, state); }
MStatus MFnAttribute::setReadable(bool state) { return setFlag(object_, &Attribute::readable, state); }
MStatus MFnAttribute::setWritable(bool state) { return setFlag(object_, &Attribute::writable, state); }
MStatus MFnAttribute::setHidden(bool state) { return setFlag(object_, &Attribute::hidden, state); }
MStatus MFnAttribute::setUsedAsColor(bool state) {
    MStatus status;
    Attribute* a = attachedAttribute(object_, MFn::kAttribute, &status);
    if (!a) return status;
    // Maya takes only a three-float attribute as a colour.
    if (state && !a->isFloat3()) return MS::kInvalidParameter;
    a->usedAsColor = state;
    return MS::kSuccess;
}

// ---- MFnTypedAttribute

MFnTypedAttribute::MFnTypedAttribute() = default;
MFnTypedAttribute::MFnTypedAttribute(const MObject& attribute, MStatus* ReturnStatus) {
    if (attachedAttribute(attribute, MFn::kTypedAttribute, ReturnStatus)) object_ = attribute;
}
MFnTypedAttribute::~MFnTypedAttribute() = default;
MFn::Type MFnTypedAttribute::type() const { return MFn::kTypedAttribute; }

MObject MFnTypedAttribute::create(const MString& fullName, const MString& briefName, MFnData::Type type,
                                  const MObject& defaultData, MStatus* ReturnStatus) {
    MStatus status;
    if (injectedFault("MFnTypedAttribute::create", status)) {
        setStatus(ReturnStatus, status);
        return MObject();
    }
    if (fullName.length() == 0 || type <= MFnData::kInvalid || type >= MFnData::kLast ||
        !mayaStandin::detail::matchesDataType(defaultData, type)) {
        setStatus(ReturnStatus, MS::kInvalidParameter);
        return MObject();
    }
    auto attribute = newAttribute(MFn::kTypedAttribute, fullName, briefName);
    attribute->dataType = type;
    attribute->defaultData = defaultData;
    object_ = Access::make(attribute);
    setStatus(ReturnStatus, MS::kSuccess);
    return object_;
}

MFnData::Type MFnTypedAttribute::attrType(MStatus* ReturnStatus) const {
    Attribute* a = attachedAttribute(object_, MFn::kTypedAttribute, ReturnStatus);
    return a ? a->dataType : MFnData::kInvalid;
}

MStatus MFnTypedAttribute::getDefault(MObject& defaultData) {
    MStatus status;
    Attribute* a = attachedAttribute(object_, MFn::kTypedAttribute, &status);
    if (a) defaultData = a->defaultData;
    return status;
}

MStatus MFnTypedAttribute::setDefault(const MObject& defaultData) {
    MStatus status;
    Attribute* a = attachedAttribute(object_, MFn::kTypedAttribute, &status);
    if (!a) return status;
    if (!mayaStandin::detail::matchesDataType(defaultData, a->dataType)) return MS::kInvalidParameter;
    a->defaultData = defaultData;
    return MS::kSuccess;
}

// ---- MFnNumericAttribute

MFnNumericAttribute::MFnNumericAttribute() = default;
MFnNumericAttribute::MFnNumericAttribute(const MObject& attribute, MStatus* ReturnStatus) {
    if (attachedAttribute(attribute, MFn::kNumericAttribute, ReturnStatus)) object_ = attribute;
}
MFnNumericAttribute::~MFnNumericAttribute() = default;
MFn::Type MFnNumericAttribute::type() const { return MFn::kNumericAttribute; }

MObject MFnNumericAttribute::create(const MString& fullName, const MString& briefName,
                                    MFnNumericData::Type unitType, double defaultValue, MStatus* ReturnStatus) {
    if (fullName.length() == 0 || !supportedNumericType(unitType)) {
        setStatus(ReturnStatus, supportedNumericType(unitType) ? MS::kInvalidParameter : MS::kNotImplemented);
        return MObject();
    }
    auto attribute = newAttribute(MFn::kNumericAttribute, fullName, briefName);
    attribute->numericType = unitType;
    attribute->defaultValue = defaultValue;
    object_ = Access::make(attribute);
    setStatus(ReturnStatus, MS::kSuccess);
    return object_;
}

MObject MFnNumericAttribute::createColor(const MString& fullName, const MString& briefName, MStatus* ReturnStatus) {
    if (fullName.length() == 0) {
        setStatus(ReturnStatus, MS::kInvalidParameter);
        return MObject();
    }
    auto colour = newAttribute(MFn::kNumericAttribute, fullName, briefName);
    colour->numericType = MFnNumericData::k3Float;
    colour->usedAsColor = true;
    for (const char* suffix : {"R", "G", "B"}) {
        const std::string lower(1, static_cast<char>(suffix[0] - 'A' + 'a'));
        auto child = newAttribute(MFn::kNumericAttribute, MString((std::string(fullName.asChar()) + suffix).c_str()),
                                  MString((std::string(briefName.asChar()) + lower).c_str()));
        child->numericType = MFnNumericData::kFloat;
        child->parent = colour.get();
        colour->children.push_back(child);
    }
    object_ = Access::make(colour);
    setStatus(ReturnStatus, MS::kSuccess);
    return object_;
}

MStatus MFnNumericAttribute::setDefault(float value1, float value2, float value3) {
    MStatus status;
    Attribute* a = attachedAttribute(object_, MFn::kNumericAttribute, &status);
    if (!a) return status;
    if (!a->isFloat3()) return MS::kInvalidParameter;
    const float values[3] = {value1, value2, value3};
    for (int k = 0; k < 3; ++k) a->children[static_cast<size_t>(k)]->defaultValue = values[k];
    return MS::kSuccess;
}

MFnNumericData::Type MFnNumericAttribute::unitType(MStatus* ReturnStatus) const {
    Attribute* a = attachedAttribute(object_, MFn::kNumericAttribute, ReturnStatus);
    return a ? a->numericType : MFnNumericData::kInvalid;
}

namespace {

MStatus setNumber(const MObject& object, double Attribute::*member, bool Attribute::*flag, double value) {
    MStatus status;
    Attribute* a = attachedAttribute(object, MFn::kNumericAttribute, &status);
    if (!a) return status;
    a->*member = value;
    if (flag) a->*flag = true;
    return MS::kSuccess;
}

MStatus getNumber(const MObject& object, double Attribute::*member, bool Attribute::*flag, double& value) {
    MStatus status;
    Attribute* a = attachedAttribute(object, MFn::kNumericAttribute, &status);
    if (!a) return status;
    if (flag && !(a->*flag)) return MS::kFailure;
    value = a->*member;
    return MS::kSuccess;
}

bool hasNumber(const MObject& object, bool Attribute::*flag, MStatus* ReturnStatus) {
    Attribute* a = attachedAttribute(object, MFn::kNumericAttribute, ReturnStatus);
    return a ? a->*flag : false;
}

}  // namespace

MStatus MFnNumericAttribute::setDefault(int value) { return setDefault(static_cast<double>(value)); }
MStatus MFnNumericAttribute::setDefault(float value) { return setDefault(static_cast<double>(value)); }
MStatus MFnNumericAttribute::setDefault(double value) {
    return setNumber(object_, &Attribute::defaultValue, nullptr, value);
}
MStatus MFnNumericAttribute::getDefault(double& value) {
    return getNumber(object_, &Attribute::defaultValue, nullptr, value);
}
MStatus MFnNumericAttribute::setMin(double value) {
    return setNumber(object_, &Attribute::minValue, &Attribute::hasMin, value);
}
MStatus MFnNumericAttribute::setMax(double value) {
    return setNumber(object_, &Attribute::maxValue, &Attribute::hasMax, value);
}
MStatus MFnNumericAttribute::setSoftMin(double value) {
    return setNumber(object_, &Attribute::softMinValue, &Attribute::hasSoftMin, value);
}
MStatus MFnNumericAttribute::setSoftMax(double value) {
    return setNumber(object_, &Attribute::softMaxValue, &Attribute::hasSoftMax, value);
}
MStatus MFnNumericAttribute::getMin(double& value) const {
    return getNumber(object_, &Attribute::minValue, &Attribute::hasMin, value);
}
MStatus MFnNumericAttribute::getMax(double& value) const {
    return getNumber(object_, &Attribute::maxValue, &Attribute::hasMax, value);
}
MStatus MFnNumericAttribute::getSoftMin(double& value) const {
    return getNumber(object_, &Attribute::softMinValue, &Attribute::hasSoftMin, value);
}
MStatus MFnNumericAttribute::getSoftMax(double& value) const {
    return getNumber(object_, &Attribute::softMaxValue, &Attribute::hasSoftMax, value);
}
bool MFnNumericAttribute::hasMin(MStatus* ReturnStatus) const {
    return hasNumber(object_, &Attribute::hasMin, ReturnStatus);
}
bool MFnNumericAttribute::hasMax(MStatus* ReturnStatus) const {
    return hasNumber(object_, &Attribute::hasMax, ReturnStatus);
}
bool MFnNumericAttribute::hasSoftMin(MStatus* ReturnStatus) const {
    return hasNumber(object_, &Attribute::hasSoftMin, ReturnStatus);
}
bool MFnNumericAttribute::hasSoftMax(MStatus* ReturnStatus) const {
    return hasNumber(object_, &Attribute::hasSoftMax, ReturnStatus);
}

// ---- MFnEnumAttribute

MFnEnumAttribute::MFnEnumAttribute() = default;
MFnEnumAttribute::MFnEnumAttribute(MObject& attribute, MStatus* ReturnStatus) {
    if (attachedAttribute(attribute, MFn::kEnumAttribute, ReturnStatus)) object_ = attribute;
}
MFnEnumAttribute::~MFnEnumAttribute() = default;
MFn::Type MFnEnumAttribute::type() const { return MFn::kEnumAttribute; }

MObject MFnEnumAttribute::create(const MString& fullName, const MString& briefName, short defaultValue,
                                 MStatus* ReturnStatus) {
    MStatus status;
    if (injectedFault("MFnEnumAttribute::create", status)) {
        setStatus(ReturnStatus, status);
        return MObject();
    }
    if (fullName.length() == 0) {
        setStatus(ReturnStatus, MS::kInvalidParameter);
        return MObject();
    }
    auto attribute = newAttribute(MFn::kEnumAttribute, fullName, briefName);
    attribute->numericType = MFnNumericData::kShort;
    attribute->defaultValue = defaultValue;
    object_ = Access::make(attribute);
    setStatus(ReturnStatus, MS::kSuccess);
    return object_;
}

MStatus MFnEnumAttribute::addField(const MString& fieldString, short index) {
    MStatus status;
    Attribute* a = attachedAttribute(object_, MFn::kEnumAttribute, &status);
    if (!a) return status;
    for (const auto& [value, name] : a->fields)
        if (value == index || name == fieldString.asChar()) return MS::kInvalidParameter;
    a->fields.emplace_back(index, fieldString.asChar());
    return MS::kSuccess;
}

MString MFnEnumAttribute::fieldName(short index, MStatus* ReturnStatus) const {
    Attribute* a = attachedAttribute(object_, MFn::kEnumAttribute, ReturnStatus);
    if (!a) return MString();
    for (const auto& [value, name] : a->fields)
        if (value == index) return MString(name.c_str());
    setStatus(ReturnStatus, MS::kInvalidParameter);
    return MString();
}

// ---- MFnCompoundAttribute

MFnCompoundAttribute::MFnCompoundAttribute() = default;
MFnCompoundAttribute::MFnCompoundAttribute(const MObject& attribute, MStatus* ReturnStatus) {
    if (attachedAttribute(attribute, MFn::kCompoundAttribute, ReturnStatus)) object_ = attribute;
}
MFnCompoundAttribute::~MFnCompoundAttribute() = default;
MFn::Type MFnCompoundAttribute::type() const { return MFn::kCompoundAttribute; }

MObject MFnCompoundAttribute::create(const MString& fullName, const MString& briefName, MStatus* ReturnStatus) {
    if (fullName.length() == 0) {
        setStatus(ReturnStatus, MS::kInvalidParameter);
        return MObject();
    }
    object_ = Access::make(newAttribute(MFn::kCompoundAttribute, fullName, briefName));
    setStatus(ReturnStatus, MS::kSuccess);
    return object_;
}

MStatus MFnCompoundAttribute::addChild(const MObject& child) {
    MStatus status;
    Attribute* parent = attachedAttribute(object_, MFn::kCompoundAttribute, &status);
    if (!parent) return status;
    Attribute* c = mayaStandin::detail::attributeOf(child);
    // A child has one parent, and a compound already on a node type is fixed.
    if (!c || c == parent || c->parent || c->index >= 0 || parent->index >= 0) return MS::kInvalidParameter;
    for (Attribute* up = parent->parent; up; up = up->parent)
        if (up == c) return MS::kInvalidParameter;
    parent->children.push_back(std::static_pointer_cast<Attribute>(Access::get(child)));
    c->parent = parent;
    return MS::kSuccess;
}

unsigned int MFnCompoundAttribute::numChildren(MStatus* ReturnStatus) const {
    Attribute* a = attachedAttribute(object_, MFn::kCompoundAttribute, ReturnStatus);
    return a ? static_cast<unsigned int>(a->children.size()) : 0u;
}

MObject MFnCompoundAttribute::child(unsigned int index, MStatus* ReturnStatus) const {
    Attribute* a = attachedAttribute(object_, MFn::kCompoundAttribute, ReturnStatus);
    if (!a) return MObject();
    if (index >= a->children.size()) {
        setStatus(ReturnStatus, MS::kInvalidParameter);
        return MObject();
    }
    return Access::make(a->children[index]);
}
