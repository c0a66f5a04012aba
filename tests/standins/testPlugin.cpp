// A small plug-in for the stand-in's own tests: a node that copies its input to
// its output and sums a compound, and a locator that draws one point in the legacy
// viewport; in Viewport 2.0 it is drawn by whatever override a test registers for
// its classification.

#include <maya/MFnCompoundAttribute.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnPlugin.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MPxLocatorNode.h>
#include <maya/MPxNode.h>

#include <GL/gl.h>

class stCopyNode : public MPxNode {
public:
    MStatus compute(const MPlug& plug, MDataBlock& block) override;
    static void* creator() { return new stCopyNode; }
    static MStatus initialize();

    static MTypeId id;
    static MObject payload, input, box, boxX, boxY, failMode, output, boxSum, label;
};

MTypeId stCopyNode::id(0x7F001);
MObject stCopyNode::payload, stCopyNode::input, stCopyNode::box, stCopyNode::boxX, stCopyNode::boxY,
    stCopyNode::failMode, stCopyNode::output, stCopyNode::boxSum, stCopyNode::label;

MStatus stCopyNode::compute(const MPlug& plug, MDataBlock& block) {
    MStatus status;
    if (plug == boxSum) {
        float sum = block.inputValue(boxX).asFloat() + block.inputValue(boxY).asFloat();
        block.outputValue(boxSum).asFloat() = sum;
        block.setClean(plug);
        return MS::kSuccess;
    }
    if (plug != output) return MS::kUnknownParameter;
    MDataHandle in = block.inputValue(input, &status);
    if (!status) return status;
    MDataHandle out = block.outputValue(output, &status);
    if (!status) return status;
    // Written before the failure check, so a failing compute has touched its output.
    out.asFloat() = in.asFloat();
    if (block.inputValue(failMode).asInt() != 0) return MS::kFailure;
    block.setClean(plug);
    return MS::kSuccess;
}

MStatus stCopyNode::initialize() {
    MStatus status;
    MFnTypedAttribute tAttr;
    MFnNumericAttribute nAttr;
    MFnCompoundAttribute cAttr;

    payload = tAttr.create("payload", "pl", MFnData::kDynArrayAttrs, MObject::kNullObj, &status);
    if (!status) return status;
    addAttribute(payload);

    label = tAttr.create("label", "lb", MFnData::kString, MObject::kNullObj, &status);
    if (!status) return status;
    addAttribute(label);

    input = nAttr.create("input", "in", MFnNumericData::kFloat, 0.0);
    nAttr.setMin(-100.0);
    nAttr.setMax(100.0);
    addAttribute(input);

    boxX = nAttr.create("boxX", "bxx", MFnNumericData::kFloat, 0.0);
    boxY = nAttr.create("boxY", "bxy", MFnNumericData::kFloat, 0.0);
    box = cAttr.create("box", "bx");
    cAttr.addChild(boxX);
    cAttr.addChild(boxY);
    addAttribute(box);

    failMode = nAttr.create("failMode", "fm", MFnNumericData::kInt, 0.0);
    addAttribute(failMode);

    output = nAttr.create("output", "out", MFnNumericData::kFloat, 0.0);
    nAttr.setWritable(false);
    nAttr.setStorable(false);
    addAttribute(output);

    boxSum = nAttr.create("boxSum", "bs", MFnNumericData::kFloat, 0.0);
    nAttr.setWritable(false);
    addAttribute(boxSum);

    attributeAffects(input, output);
    attributeAffects(failMode, output);
    attributeAffects(box, boxSum);
    return MS::kSuccess;
}

class stDrawNode : public MPxLocatorNode {
public:
    void draw(M3dView& view, const MDagPath& path, M3dView::DisplayStyle style,
              M3dView::DisplayStatus status) override;
    bool isBounded() const override { return true; }
    MBoundingBox boundingBox() const override { return MBoundingBox(MPoint(1, 1, 1), MPoint(-1, -1, -1)); }
    static void* creator() { return new stDrawNode; }
    static MStatus initialize();

    static MTypeId id;
    static MObject position, pointSize;
};

MTypeId stDrawNode::id(0x7F002);
MObject stDrawNode::position, stDrawNode::pointSize;

void stDrawNode::draw(M3dView& view, const MDagPath&, M3dView::DisplayStyle, M3dView::DisplayStatus) {
    MFnDagNode fn(thisMObject());
    float x = 0.0f;
    int size = 1;
    fn.findPlug(position).getValue(x);
    fn.findPlug(pointSize).getValue(size);
    view.beginGL();
    glPushAttrib(GL_CURRENT_BIT);
    glPointSize(static_cast<float>(size));
    glColor3f(0.0f, 1.0f, 0.0f);
    glBegin(GL_POINTS);
    glVertex3f(x, 0.25f, 0.0f);
    glEnd();
    glPopAttrib();
    view.endGL();
}

MStatus stDrawNode::initialize() {
    MFnNumericAttribute nAttr;
    position = nAttr.create("position", "p", MFnNumericData::kFloat, 0.0);
    addAttribute(position);
    pointSize = nAttr.create("pointSize", "ps", MFnNumericData::kInt, 4.0);
    nAttr.setMin(1.0);
    nAttr.setMax(10.0);
    addAttribute(pointSize);
    return MS::kSuccess;
}

MStatus initializePlugin(MObject obj) {
    MFnPlugin plugin(obj, "stand-in tests", "1.0", "Any");
    const MString classification("drawdb/geometry/stDrawNode");
    MStatus status = plugin.registerNode("stDrawNode", stDrawNode::id, stDrawNode::creator, stDrawNode::initialize,
                                         MPxNode::kLocatorNode, &classification);
    if (!status) return status;
    return plugin.registerNode("stCopyNode", stCopyNode::id, stCopyNode::creator, stCopyNode::initialize);
}

MStatus uninitializePlugin(MObject obj) {
    MFnPlugin plugin(obj);
    MStatus status = plugin.deregisterNode(stDrawNode::id);
    if (!status) return status;
    return plugin.deregisterNode(stCopyNode::id);
}
