#ifndef MAYA_STANDIN_HOST_H
#define MAYA_STANDIN_HOST_H

// A small host that loads plug-ins and drives their nodes the way Maya does:
// registration, node instances, plugs, connections, lazy evaluation, drawing in
// the legacy viewport and in Viewport 2.0.

#include <maya/M3dView.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>

#include <string>
#include <vector>

struct osmesa_context;

namespace mayaStandin {

// Plug-ins. loadPlugin returns the status of the plug-in's initializePlugin; when
// that fails, whatever the plug-in registered is dropped and the library closed.
// unloadPlugin deletes the plug-in's nodes first, then calls uninitializePlugin;
// when that fails the library stays loaded, else what it left registered is dropped.
MStatus loadPlugin(const std::string& libraryPath);
MStatus unloadPlugin(const std::string& libraryPath);

bool isNodeTypeRegistered(const std::string& typeName);
bool isNodeTypeRegistered(unsigned int typeId);
// Viewport 2.0's draw overrides, registered through MDrawRegistry per draw
// classification and registrant; a pair registers once. A registration made in a
// plug-in's initializePlugin or uninitializePlugin is the plug-in's, one made
// elsewhere stays until it is deregistered.
bool isDrawOverrideRegistered(const std::string& classification, const std::string& registrantId);
// In call order, one line per registry call: "register <name> <id>", with the
// draw classification after a space when one was given, and "deregister <id>" per
// MFnPlugin call; "registerDrawOverride <classification> <registrant>" and
// "deregisterDrawOverride <classification> <registrant>" per MDrawRegistry call.
// A call that failed ends in " failed".
std::vector<std::string> registryLog();
void clearRegistryLog();

// Nodes.
MObject createNode(const std::string& typeName, MStatus* status = nullptr);
MStatus deleteNode(const MObject& node);
MPxNode* userNode(const MObject& node);

// Plugs by long or short attribute name, compound children included.
MPlug findPlug(const MObject& node, const std::string& attributeName, MStatus* status = nullptr);
MStatus connect(const MPlug& source, const MPlug& destination);
MStatus disconnect(const MPlug& source, const MPlug& destination);
bool isDirty(const MPlug& plug);
// How many times compute has been called on the node.
int computeCount(const MObject& node);

// Drawing. Both roads draw into a Viewport with the projection and modelview
// matrices the caller made current in its GL context, so one scene drawn both ways
// gives the same picture.

// The legacy viewport: calls the locator's draw with an empty path, flat shaded, active.
MStatus draw(const MObject& locatorNode, M3dView& view);

// Off-screen GL viewport (OSMesa, RGBA, 24-bit depth).
class Viewport {
public:
    Viewport(int width, int height);
    ~Viewport();
    Viewport(const Viewport&) = delete;
    Viewport& operator=(const Viewport&) = delete;

    M3dView& view();
    bool valid() const;
    void makeCurrent();
    // RGBA, rows bottom-up as glReadPixels gives them.
    std::vector<unsigned char> readPixels();
    int width() const;
    int height() const;

private:
    osmesa_context* context_;
    int width_;
    int height_;
    std::vector<unsigned char> buffer_;
    M3dView view_;
};

// Viewport 2.0 on its OpenGL core-profile engine. The node gets its override from
// the first registration for the classification its type was registered with; the
// override is made on the node's first draw and kept until the node is deleted or
// that registration goes. Each draw calls prepareForDraw, handing back the user
// data of the draw before unless it was to be deleted after use, then, when
// hasUIDrawables() says so, addUIDrawables, and renders what the draw manager was
// given in call order. Plug-in code runs with no GL context current, as the engine
// runs no legacy GL. kNotFound: no override for the classification;
// kNotImplemented: the override does not support the core profile, or has a draw
// callback, which the stand-in does not run.
MStatus drawViewport2(const MObject& locatorNode, Viewport& viewport);
// The override drawViewport2 made for the node; null before its first draw.
MHWRender::MPxDrawOverride* drawOverride(const MObject& node);

// Fault injection. Names are "Class::method", e.g. "MFnMesh::getPoints". An armed
// fault counts the calls of its function made after it was armed and fails the
// (skip+1)-th with its code, once. When several fire on one call, the one armed
// first gives the call its status; all that fired are spent. A name that no call
// checks is refused with std::invalid_argument.
void failCall(const std::string& callName, MStatus::MStatusCode code = MStatus::kFailure, int skip = 0);
void clearFaults();

}  // namespace mayaStandin

#endif
