#ifndef MAYA_STANDIN_INTERNAL_H
#define MAYA_STANDIN_INTERNAL_H

#include <maya/MDataBlock.h>
#include <maya/MColor.h>
#include <maya/MDataHandle.h>
#include <maya/MFloatPoint.h>
#include <maya/MFloatVector.h>
#include <maya/MFnData.h>
#include <maya/MFnNumericData.h>
#include <maya/MObject.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MVector.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace mayaStandin {
namespace detail {

struct Object : std::enable_shared_from_this<Object> {
    explicit Object(MFn::Type k) : kind(k) {}
    virtual ~Object() = default;
    const MFn::Type kind;
};

struct Attribute : Object {
    explicit Attribute(MFn::Type k) : Object(k) {}
    ~Attribute() override {
        for (auto& child : children) child->parent = nullptr;
    }

    bool isNumeric() const { return kind == MFn::kNumericAttribute || kind == MFn::kEnumAttribute; }
    bool isTyped() const { return kind == MFn::kTypedAttribute; }
    bool isCompound() const { return kind == MFn::kCompoundAttribute; }
    // A colour: numeric, with three float children.
    bool isFloat3() const { return kind == MFn::kNumericAttribute && numericType == MFnNumericData::k3Float; }

    std::string name;
    std::string shortName;
    bool readable = true;
    bool writable = true;
    bool storable = true;
    bool keyable = false;
    bool hidden = false;
    bool usedAsColor = false;

    MFnNumericData::Type numericType = MFnNumericData::kInvalid;
    double defaultValue = 0.0;
    bool hasMin = false, hasMax = false, hasSoftMin = false, hasSoftMax = false;
    double minValue = 0.0, maxValue = 0.0, softMinValue = 0.0, softMaxValue = 0.0;

    std::vector<std::pair<short, std::string>> fields;  // an enum's named values

    MFnData::Type dataType = MFnData::kInvalid;
    MObject defaultData;

    std::vector<std::shared_ptr<Attribute>> children;
    Attribute* parent = nullptr;  // set while the parent holds this child

    // The node type the attribute was added to, by serial number, and its slot there.
    unsigned long ownerSerial = 0;
    int index = -1;
};

// One value slot per attribute of a node; the attribute's kind picks the field.
struct Value {
    MFloatVector f3;  // a k3Float attribute's children, as inputValue last read them
    bool b = false;
    float f = 0.0f;
    int i = 0;
    short s = 0;
    double d = 0.0;
    MObject data;
};

struct NodeType {
    std::string name;
    unsigned int id = 0;
    MCreatorFunction creator = nullptr;
    MInitializeFunction initializer = nullptr;
    MPxNode::Type kind = MPxNode::kDependNode;
    std::string classification;  // given to registerNode; picks the type's Viewport 2.0 draw override
    std::string pluginPath;
    unsigned long serial = 0;
    std::vector<std::shared_ptr<Attribute>> attributes;  // by index, descendants included
    std::vector<std::vector<int>> affects;               // index -> affected indexes
    std::vector<char> affected;                          // index is the target of an affects
};

struct Node : Object {
    explicit Node(MFn::Type k) : Object(k) {}
    std::shared_ptr<NodeType> type;
    std::string name;
    MPxNode* user = nullptr;
    std::atomic<bool> alive{true};

    std::recursive_mutex mutex;  // held while the node is evaluated, drawn or written
    std::vector<Value> values;
    std::vector<char> computing;
    std::vector<char> dirty;  // guarded by graphMutex()
    std::atomic<int> computeCount{0};
    std::shared_ptr<DrawOverrideInstance> drawOverride;  // Viewport 2.0's, made on the first draw; guarded by mutex
};

// A colour set: its colours and, per face-vertex, the index of one of them (-1: none).
struct ColorSet {
    std::string name;
    std::vector<MColor> colors;
    std::vector<int> faceVertexIds;
};

// A UV set: its UVs and, per face-vertex, the index of one of them (-1: none). A polygon has UVs at all its
// face-vertices or at none.
struct UVSet {
    std::string name;
    std::vector<float> u, v;
    std::vector<int> faceVertexIds;
};

struct MeshData : Object {
    MeshData() : Object(MFn::kMeshData) {}
    bool hasMesh = false;
    std::vector<MFloatPoint> points;
    std::vector<int> counts;
    std::vector<int> connects;
    std::vector<ColorSet> colorSets;
    std::string currentColorSet;  // empty: none
    std::vector<UVSet> uvSets;
    std::string currentUVSet;
};

// The value of a string attribute.
struct StringData : Object {
    StringData() : Object(MFn::kStringData) {}
    MString text;
};

struct ArrayAttrsData : Object {
    ArrayAttrsData() : Object(MFn::kDynArrayAttrsData) {}
    template <typename T>
    using Channels = std::vector<std::pair<std::string, std::shared_ptr<std::vector<T>>>>;
    Channels<MVector> vectors;
    Channels<double> doubles;
    Channels<int> ints;
    Channels<MString> strings;
};

struct PluginObject : Object {
    PluginObject() : Object(MFn::kPlugin) {}
    std::string path;
    bool loaded = true;
};

struct Access {
    static const std::shared_ptr<Object>& get(const MObject& object) { return object.object_; }
    static MObject make(std::shared_ptr<Object> object) {
        MObject result;
        result.object_ = std::move(object);
        return result;
    }
    template <typename T>
    static T* as(const MObject& object, MFn::Type kind) {
        Object* raw = object.object_.get();
        return raw && raw->kind == kind ? static_cast<T*>(raw) : nullptr;
    }
    static Node*& instance(MPxNode& node) { return node.instance_; }
    static Node* instance(const MPxNode& node) { return node.instance_; }
    static MDataBlock block(Node* node) { return MDataBlock(node); }
    static Node* node(const MDataBlock& block) { return block.node_; }
    static MDataHandle handle(Value* value, Attribute* attribute) {
        MDataHandle result;
        result.value_ = value;
        result.attribute_ = attribute;
        return result;
    }
};

// Faults and status helpers.
bool injectedFault(const char* callName, MStatus& status);
inline void setStatus(MStatus* target, const MStatus& status) {
    if (target) *target = status;
}
void hostError(const std::string& message);

// Object lookups.
Attribute* attributeOf(const MObject& object);
Node* liveNodeOf(const MObject& object);
bool isNodeKind(MFn::Type kind);
bool belongsTo(const Attribute& attribute, const Node& node);

// Typed storage: null data, or data of the attribute's type (any, for kAny).
bool matchesDataType(const MObject& data, MFnData::Type type);

// Numeric storage.
bool isIntegerType(MFnNumericData::Type type);
double readNumber(const Value& value, const Attribute& attribute);
void writeNumber(Value& value, const Attribute& attribute, double number);

// Registry, locked by graphMutex().
std::mutex& graphMutex();
NodeType*& typeBeingRegistered();
unsigned long nextTypeSerial();
MStatus registerNodeType(const std::string& pluginPath, const std::string& name, unsigned int id,
                         MCreatorFunction creator, MInitializeFunction initializer, MPxNode::Type kind,
                         const std::string& classification);
MStatus deregisterNodeType(const std::string& pluginPath, unsigned int id);
// Removes whatever node types the plug-in still has registered, saying why.
void dropPluginTypes(const std::string& pluginPath, const std::string& reason);
void appendLog(const std::string& line);
std::vector<MObject> pluginNodes(const std::string& pluginPath);
// The plug-in whose initializePlugin or uninitializePlugin runs on this thread; null outside them.
const std::string*& pluginInEntryPoint();
// Removes whatever draw overrides the plug-in still has registered, and their instances, saying why.
void dropPluginDrawOverrides(const std::string& pluginPath, const std::string& reason);

// Evaluation. The caller holds nothing; pull locks the node itself.
MStatus pull(Node& node, Attribute& attribute);
// Maya's built-in texture nodes (textures.cpp), registered once before the first node is made.
void registerBuiltinTypes();
MStatus setPlugValue(Node& node, Attribute& attribute, double number, const MObject* data);

}  // namespace detail
}  // namespace mayaStandin

#endif
