// Viewport 2.0: the draw registry, the devkit's override and draw manager classes,
// and the host's draw of a locator through the override registered for its
// classification.
//
// Locking: overrideMutex() guards the registrations and is never held while
// plug-in code runs or another lock is taken; a node's instance is guarded by the
// node's own mutex.

#include "graph.h"
#include "viewport2.h"

#include <maya/MColor.h>
#include <maya/MDagPath.h>
#include <maya/MDrawRegistry.h>
#include <maya/MPointArray.h>
#include <mayaStandin/host.h>

#include <GL/osmesa.h>

#include <algorithm>
#include <exception>

using mayaStandin::detail::injectedFault;

// ---- value classes

MColor::MColor() : r(0.0f), g(0.0f), b(0.0f), a(1.0f) {}
MColor::MColor(float rr, float gg, float bb, float aa) : r(rr), g(gg), b(bb), a(aa) {}

MUserData::MUserData(bool deleteAfterUse) : deleteAfterUse_(deleteAfterUse) {}
MUserData::~MUserData() = default;
bool MUserData::deleteAfterUse() { return deleteAfterUse_; }
void MUserData::setDeleteAfterUse(bool shouldDelete) { deleteAfterUse_ = shouldDelete; }

// Viewport 2.0's classes are defined where the devkit declares them.
OPENMAYA_MAJOR_NAMESPACE_OPEN
namespace MHWRender {

MFrameContext::MFrameContext() = default;
MFrameContext::~MFrameContext() = default;

// ---- MPxDrawOverride

MPxDrawOverride::MPxDrawOverride(const MObject&, GeometryDrawOverrideCb callback) : callback_(callback) {}
MPxDrawOverride::~MPxDrawOverride() = default;
::MHWRender::DrawAPI MPxDrawOverride::supportedDrawAPIs() const { return ::MHWRender::kOpenGL; }
bool MPxDrawOverride::hasUIDrawables() const { return false; }
MBoundingBox MPxDrawOverride::boundingBox(const MDagPath&, const MDagPath&) const { return MBoundingBox(); }
bool MPxDrawOverride::isBounded(const MDagPath&, const MDagPath&) const { return false; }
void MPxDrawOverride::addUIDrawables(const MDagPath&, MUIDrawManager&, const MFrameContext&, const MUserData*) {}

// ---- MUIDrawManager

MUIDrawManager::MUIDrawManager(mayaStandin::detail::UIDrawables* drawables) : drawables_(drawables) {}
MUIDrawManager::~MUIDrawManager() = default;

void MUIDrawManager::beginDrawable() {
    if (drawables_->open) mayaStandin::detail::hostError("MUIDrawManager::beginDrawable: a drawable is already open");
    drawables_->resetState();
    drawables_->open = true;
    drawables_->openedAt = drawables_->batches.size();
}

void MUIDrawManager::endDrawable() {
    if (!drawables_->open) mayaStandin::detail::hostError("MUIDrawManager::endDrawable: no drawable is open");
    drawables_->resetState();
    drawables_->open = false;
}

void MUIDrawManager::setColor(const MColor& color) {
    if (!drawables_->open) {
        mayaStandin::detail::hostError("MUIDrawManager::setColor outside a drawable is ignored");
        return;
    }
    const float rgba[4] = {color.r, color.g, color.b, color.a};
    std::copy(rgba, rgba + 4, drawables_->color);
}

void MUIDrawManager::setPointSize(float value) {
    if (!drawables_->open) {
        mayaStandin::detail::hostError("MUIDrawManager::setPointSize outside a drawable is ignored");
        return;
    }
    drawables_->pointSize = value;
}

void MUIDrawManager::line(const MPoint& startPoint, const MPoint& endPoint) {
    std::vector<double>* xyz = drawables_->vertices(mayaStandin::detail::UIDrawables::Primitive::kLines, "line");
    if (xyz) xyz->insert(xyz->end(), {startPoint.x, startPoint.y, startPoint.z, endPoint.x, endPoint.y, endPoint.z});
}

MStatus MUIDrawManager::points(const MPointArray& points, bool draw2D) {
    MStatus status;
    if (injectedFault("MUIDrawManager::points", status)) return status;
    if (draw2D) {
        mayaStandin::detail::hostError("MUIDrawManager::points: the stand-in draws no 2D points");
        return MS::kNotImplemented;
    }
    std::vector<double>* xyz = drawables_->vertices(mayaStandin::detail::UIDrawables::Primitive::kPoints, "points");
    if (!xyz) return MS::kFailure;
    for (unsigned int i = 0; i < points.length(); ++i) xyz->insert(xyz->end(), {points[i].x, points[i].y, points[i].z});
    return MS::kSuccess;
}

}  // namespace MHWRender
OPENMAYA_NAMESPACE_CLOSE

namespace mayaStandin {
namespace detail {

void UIDrawables::resetState() {
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    std::copy(white, white + 4, color);
    pointSize = 1.0f;
}

std::vector<double>* UIDrawables::vertices(Primitive primitive, const char* caller) {
    if (!open) {
        hostError(std::string("MUIDrawManager::") + caller + " outside a drawable is ignored");
        return nullptr;
    }
    const bool sameState = batches.size() > openedAt && batches.back().primitive == primitive &&
                           std::equal(color, color + 4, batches.back().color) && batches.back().pointSize == pointSize;
    if (!sameState) batches.push_back(Batch{primitive, {color[0], color[1], color[2], color[3]}, pointSize, {}});
    return &batches.back().xyz;
}

void UIDrawables::collect(MHWRender::MPxDrawOverride& override, const MHWRender::MFrameContext& frameContext,
                          const MUserData* data) {
    MHWRender::MUIDrawManager drawManager(this);
    override.addUIDrawables(MDagPath(), drawManager, frameContext, data);
    if (open) {
        hostError("addUIDrawables left a drawable open: it is not drawn");
        batches.resize(openedAt);
        open = false;
    }
}

namespace {

struct DrawOverrideRegistration {
    std::string classification;
    std::string registrant;
    MHWRender::MDrawRegistry::DrawOverrideCreator creator = nullptr;
    std::string pluginPath;  // empty when made outside every plug-in's entry points
    unsigned long serial = 0;
};

struct FrameContext : MHWRender::MFrameContext {};

std::mutex& overrideMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

std::vector<DrawOverrideRegistration>& registrations() {
    static auto* list = new std::vector<DrawOverrideRegistration>;
    return *list;
}

// The instances made from the given registrations go with them, while the code behind them is still loaded.
void releaseInstances(const std::vector<unsigned long>& serials) {
    if (serials.empty()) return;
    std::vector<std::shared_ptr<Node>> nodes;
    {
        std::lock_guard<std::mutex> lock(graphMutex());
        nodes = graph().nodes;
    }
    for (auto& node : nodes) {
        std::lock_guard<std::recursive_mutex> nodeLock(node->mutex);
        if (!node->drawOverride) continue;
        for (unsigned long serial : serials)
            if (node->drawOverride->registration == serial) node->drawOverride.reset();
    }
}

MStatus addRegistration(const std::string& classification, const std::string& registrant,
                        MHWRender::MDrawRegistry::DrawOverrideCreator creator) {
    if (classification.empty() || !creator) return MS::kInvalidParameter;
    static unsigned long serials = 0;
    const std::string* plugin = pluginInEntryPoint();
    std::lock_guard<std::mutex> lock(overrideMutex());
    for (const auto& r : registrations())
        if (r.classification == classification && r.registrant == registrant) return MS::kFailure;
    registrations().push_back({classification, registrant, creator, plugin ? *plugin : std::string(), ++serials});
    return MS::kSuccess;
}

MStatus removeRegistration(const std::string& classification, const std::string& registrant) {
    unsigned long serial = 0;
    {
        std::lock_guard<std::mutex> lock(overrideMutex());
        auto& list = registrations();
        for (auto it = list.begin(); it != list.end(); ++it)
            if (it->classification == classification && it->registrant == registrant) {
                serial = it->serial;
                list.erase(it);
                break;
            }
    }
    if (!serial) return MS::kFailure;
    releaseInstances({serial});
    return MS::kSuccess;
}

bool stillRegistered(unsigned long serial) {
    std::lock_guard<std::mutex> lock(overrideMutex());
    for (const auto& r : registrations())
        if (r.serial == serial) return true;
    return false;
}

// The node's override, made by the first registration for its type's classification (node lock held).
MStatus instantiateOverride(Node& node) {
    if (node.drawOverride) return MS::kSuccess;
    DrawOverrideRegistration found;
    {
        std::lock_guard<std::mutex> lock(overrideMutex());
        for (const auto& r : registrations())
            if (!found.serial && r.classification == node.type->classification) found = r;
    }
    if (!found.serial) {
        hostError("drawViewport2: no draw override is registered for " + node.name + " (classification \"" +
                  node.type->classification + "\")");
        return MS::kNotFound;
    }
    auto instance = std::make_shared<DrawOverrideInstance>();
    instance->registration = found.serial;
    try {
        instance->override.reset(found.creator(Access::make(node.shared_from_this())));
    } catch (...) {
        instance->override.reset();
    }
    if (!instance->override) {
        hostError("drawViewport2: the draw override creator of " + found.classification + " gave no override");
        return MS::kFailure;
    }
    // Deregistered while its creator ran: the instance goes now, with its code still loaded.
    if (!stillRegistered(found.serial)) return MS::kNotFound;
    node.drawOverride = instance;
    return MS::kSuccess;
}

// One frame of the override: prepareForDraw, then addUIDrawables (node lock held).
MStatus runOverride(DrawOverrideInstance& instance, UIDrawables& drawables, const std::string& nodeName) {
    MHWRender::MPxDrawOverride& override = *instance.override;
    if (instance.hasCallback()) {
        hostError("drawViewport2: the override of " + nodeName + " has a draw callback; the stand-in runs none");
        return MS::kNotImplemented;
    }
    if (!(override.supportedDrawAPIs() & MHWRender::kOpenGLCoreProfile)) {
        hostError("drawViewport2: the override of " + nodeName + " does not support the OpenGL core profile");
        return MS::kNotImplemented;
    }
    // The core-profile engine runs no legacy GL: plug-in code that tries draws nothing.
    OSMesaMakeCurrent(nullptr, nullptr, GL_UNSIGNED_BYTE, 0, 0);
    FrameContext frameContext;
    MUserData* data = override.prepareForDraw(MDagPath(), MDagPath(), frameContext, instance.data);
    if (data != instance.data) delete instance.data;
    instance.data = data;
    if (override.hasUIDrawables()) drawables.collect(override, frameContext, data);
    if (data && data->deleteAfterUse()) {
        delete data;
        instance.data = nullptr;
    }
    return MS::kSuccess;
}

}  // namespace

void dropPluginDrawOverrides(const std::string& pluginPath, const std::string& reason) {
    std::vector<unsigned long> dropped;
    {
        std::lock_guard<std::mutex> lock(overrideMutex());
        auto& list = registrations();
        for (auto it = list.begin(); it != list.end();) {
            if (it->pluginPath != pluginPath) {
                ++it;
                continue;
            }
            hostError(reason + ": dropping draw override " + it->classification + " " + it->registrant);
            dropped.push_back(it->serial);
            it = list.erase(it);
        }
    }
    releaseInstances(dropped);
}

}  // namespace detail

// ---- host: Viewport 2.0

bool isDrawOverrideRegistered(const std::string& classification, const std::string& registrantId) {
    std::lock_guard<std::mutex> lock(detail::overrideMutex());
    for (const auto& r : detail::registrations())
        if (r.classification == classification && r.registrant == registrantId) return true;
    return false;
}

MStatus drawViewport2(const MObject& locatorNode, Viewport& viewport) {
    std::shared_ptr<detail::Node> node = detail::sharedNode(locatorNode);
    if (!node || node->kind != MFn::kPluginLocatorNode) {
        detail::hostError("drawViewport2: not a live locator node");
        return MS::kInvalidParameter;
    }
    if (!viewport.valid()) {
        detail::hostError("drawViewport2: the viewport has no GL context");
        return MS::kFailure;
    }
    std::lock_guard<std::recursive_mutex> nodeLock(node->mutex);
    if (!node->alive) return MS::kInvalidParameter;
    detail::UIDrawables drawables;
    MStatus status;
    try {
        status = detail::instantiateOverride(*node);
        if (status) status = detail::runOverride(*node->drawOverride, drawables, node->name);
    } catch (const std::exception& e) {
        detail::hostError("drawViewport2 of " + node->name + " threw: " + e.what());
        status = MS::kFailure;
    } catch (...) {
        detail::hostError("drawViewport2 of " + node->name + " threw");
        status = MS::kFailure;
    }
    viewport.makeCurrent();
    if (status) detail::renderUIDrawables(drawables, viewport);
    return status;
}

MHWRender::MPxDrawOverride* drawOverride(const MObject& node) {
    std::shared_ptr<detail::Node> live = detail::sharedNode(node);
    if (!live) return nullptr;
    std::lock_guard<std::recursive_mutex> nodeLock(live->mutex);
    return live->drawOverride ? live->drawOverride->override.get() : nullptr;
}

}  // namespace mayaStandin

// ---- MDrawRegistry

OPENMAYA_MAJOR_NAMESPACE_OPEN
namespace MHWRender {

MStatus MDrawRegistry::registerDrawOverrideCreator(const MString& drawClassification, const MString& registrantId,
                                                   DrawOverrideCreator creator) {
    MStatus status;
    if (!injectedFault("MDrawRegistry::registerDrawOverrideCreator", status))
        status = mayaStandin::detail::addRegistration(drawClassification.asChar(), registrantId.asChar(), creator);
    mayaStandin::detail::appendLog(std::string("registerDrawOverride ") + drawClassification.asChar() + " " +
                                   registrantId.asChar() + (status ? "" : " failed"));
    return status;
}

MStatus MDrawRegistry::deregisterDrawOverrideCreator(const MString& drawClassification, const MString& registrantId) {
    MStatus status;
    if (!injectedFault("MDrawRegistry::deregisterDrawOverrideCreator", status))
        status = mayaStandin::detail::removeRegistration(drawClassification.asChar(), registrantId.asChar());
    mayaStandin::detail::appendLog(std::string("deregisterDrawOverride ") + drawClassification.asChar() + " " +
                                   registrantId.asChar() + (status ? "" : " failed"));
    return status;
}

}  // namespace MHWRender
OPENMAYA_NAMESPACE_CLOSE
