"""Stand cones on points that follow a deforming mesh: scatter once on its rest shape, carry the points onto every frame.

Run in Maya's Script Editor (Python tab) with a skinned or blend-shaped polygon mesh selected (a mesh with a deformer
on it). The plug-in must be on MAYA_PLUG_IN_PATH, or give its full path to cmds.loadPlugin.

The scatter node reads the deformer chain's original shape (the hidden "...ShapeOrig" mesh), so it computes once and
stays clean while the animation plays. With surfaceData on it records each point's triangle vertices and weights;
the attach node puts every point at the same weights of the same three vertices of the deformed mesh on each frame,
and stands it on the deformed triangle (normal, rotation, aimDirection). The point ids stay with their points, so the
instancer keeps each cone on its point.
"""
import maya.cmds as cmds

PLUGIN = "kyScatterPoints"
RADIUS = 0.25  # no two points closer than this, with the strict radius on
CONE_HEIGHT = 0.4 * RADIUS

if not cmds.pluginInfo(PLUGIN, query=True, loaded=True):
    cmds.loadPlugin(PLUGIN)  # prints "kyScatterPoints initialized"

selection = cmds.ls(selection=True, long=True) or []
shapes = cmds.listRelatives(selection, shapes=True, type="mesh", noIntermediate=True, fullPath=True) or \
    cmds.ls(selection, type="mesh", noIntermediate=True, long=True)
if not shapes:
    raise RuntimeError("Select a skinned or blend-shaped polygon mesh first.")
shape = shapes[0]
transform = cmds.listRelatives(shape, parent=True, fullPath=True)[0]
# The plug at the front of the deformer chain, on the original shape: its mesh is the rest shape.
front = cmds.deformableShape(shape, originalGeometry=True) or []
if not front or not front[0]:
    raise RuntimeError("%s has no deformer: skin it or give it a blend shape first." % shape)
rest = front[0].split(".")[0]

scatter = cmds.createNode("kyScatterPoints", name="scatterPoints#")
cmds.setAttr(scatter + ".radius", RADIUS)
cmds.setAttr(scatter + ".strictRadius", True)  # cones never overlap at their bases
cmds.setAttr(scatter + ".passes", 20)          # fill the surface more fully than the default five
cmds.setAttr(scatter + ".surfaceData", True)   # what the attach needs: triangleVertices and barycentric
# Object space on both sides: the rest shape's outMesh here, the deformed shape's below.
cmds.connectAttr(rest + ".outMesh", scatter + ".inMesh")
# The mesh's box children are doubles, the node's are floats: Maya converts them one by one, not as compounds.
for bound in ("Min", "Max", "Size"):
    for axis in "XYZ":
        cmds.connectAttr("%s.boundingBox%s%s" % (rest, bound, axis), "%s.boundingBox%s%s" % (scatter, bound, axis))

attach = cmds.createNode("kyAttachPoints", name="attachPoints#")
cmds.connectAttr(scatter + ".outPoints", attach + ".inPoints")
cmds.connectAttr(shape + ".outMesh", attach + ".inMesh")  # the deformed mesh, same vertices, every frame

# The instanced object: a cone along +Y with its base at its origin, hidden itself.
cone = cmds.polyCone(name="attachedCone#", radius=0.3 * CONE_HEIGHT, height=CONE_HEIGHT, axis=(0, 1, 0))[0]
cmds.move(0, CONE_HEIGHT / 2.0, 0, cone + ".vtx[*]", relative=True)
cmds.hide(cone)

# The points are in the mesh's object space: the instancer lives under the mesh's transform and follows it.
instancer = cmds.createNode("instancer", name="attachedInstancer#", parent=transform)
cmds.connectAttr(cone + ".matrix", instancer + ".inputHierarchy[0]")
cmds.connectAttr(attach + ".outPoints", instancer + ".inputPoints")
cmds.setAttr(instancer + ".rotationAngleUnits", 0)  # degrees
cmds.setAttr(instancer + ".rotationOrder", 0)       # XYZ

cmds.select(transform)
print("Instanced %s on %s, scattered on %s with radius %g: %s -> %s -> %s"
      % (cone, shape, rest, RADIUS, scatter, attach, instancer))
