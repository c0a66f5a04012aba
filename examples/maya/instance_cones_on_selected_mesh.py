"""Stand a small cone on every scattered point of the selected polygon mesh, along the surface, with Maya's instancer.

Run in Maya's Script Editor (Python tab) with a mesh selected. The plug-in must be on MAYA_PLUG_IN_PATH,
or give its full path to cmds.loadPlugin.

The scatter node's surface data gives every point a `rotation` (degrees, rotation order XYZ) that turns the instance's
+Y axis onto the surface normal, an `aimDirection` (the normal), an `id` that stays with the point, and the polygon
(`faceId`) and triangle weights (`barycentric`) it lies on. The instancer reads `position`, `rotation`,
`aimDirection` and `id` by these names.
"""
import maya.cmds as cmds

PLUGIN = "kyScatterPoints"
RADIUS = 0.25  # no two points closer than this, with the strict radius on
CONE_HEIGHT = 0.4 * RADIUS

if not cmds.pluginInfo(PLUGIN, query=True, loaded=True):
    cmds.loadPlugin(PLUGIN)  # prints "kyScatterPoints initialized"

selection = cmds.ls(selection=True, long=True) or []
shapes = cmds.listRelatives(selection, shapes=True, type="mesh", fullPath=True) or \
    cmds.ls(selection, type="mesh", long=True)
if not shapes:
    raise RuntimeError("Select a polygon mesh first.")
shape = shapes[0]
transform = cmds.listRelatives(shape, parent=True, fullPath=True)[0]

scatter = cmds.createNode("kyScatterPoints", name="scatterPoints#")
cmds.setAttr(scatter + ".radius", RADIUS)
cmds.setAttr(scatter + ".strictRadius", True)  # cones never overlap at their bases
cmds.setAttr(scatter + ".passes", 20)          # fill the surface more fully than the default five
cmds.setAttr(scatter + ".surfaceData", True)   # rotation, aimDirection, id, faceId, barycentric
cmds.connectAttr(shape + ".outMesh", scatter + ".inMesh")
# The mesh's box children are doubles, the node's are floats: Maya converts them one by one, not as compounds.
for bound in ("Min", "Max", "Size"):
    for axis in "XYZ":
        cmds.connectAttr("%s.boundingBox%s%s" % (shape, bound, axis), "%s.boundingBox%s%s" % (scatter, bound, axis))

# The instanced object: a cone along +Y with its base at its origin, hidden itself.
cone = cmds.polyCone(name="scatterCone#", radius=0.3 * CONE_HEIGHT, height=CONE_HEIGHT, axis=(0, 1, 0))[0]
cmds.move(0, CONE_HEIGHT / 2.0, 0, cone + ".vtx[*]", relative=True)
cmds.hide(cone)

# The points are in the mesh's object space: the instancer lives under the mesh's transform and follows it.
instancer = cmds.createNode("instancer", name="scatterInstancer#", parent=transform)
cmds.connectAttr(cone + ".matrix", instancer + ".inputHierarchy[0]")
cmds.connectAttr(scatter + ".outPoints", instancer + ".inputPoints")
cmds.setAttr(instancer + ".rotationAngleUnits", 0)  # degrees
cmds.setAttr(instancer + ".rotationOrder", 0)       # XYZ

cmds.select(transform)
print("Instanced %s on %s with radius %g: %s -> %s" % (cone, shape, RADIUS, scatter, instancer))
