"""Scatter points over the selected polygon mesh and show them in the viewport.

Run in Maya's Script Editor (Python tab) with a mesh selected. The plug-in must be on MAYA_PLUG_IN_PATH,
or give its full path to cmds.loadPlugin.
"""
import maya.cmds as cmds

PLUGIN = "kyScatterPoints"
RADIUS = 0.25  # minimum distance between points in neighbouring cells, in object units (at least 0.001)
SEED = 1234  # any int; another seed draws other candidates, so another set of points
PASSES = 5  # 1 to 1000: how many times every still-empty cell offers its next candidate; more fill more cells
CANDIDATE_COUNT = 1000000  # 1,000 to 1,073,741,823 candidates; at most that many points, about 40 bytes each on the GPU
STRICT_RADIUS = False  # True: no two points closer than RADIUS anywhere, at the cost of a few points

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
# The values above are the node's defaults except the radius; each of these attributes is keyable and recomputes the
# points when it changes. A candidate count the GPU cannot hold makes the compute fail with "Not enough memory on GPU".
cmds.setAttr(scatter + ".seed", SEED)
cmds.setAttr(scatter + ".passes", PASSES)
cmds.setAttr(scatter + ".candidateCount", CANDIDATE_COUNT)
cmds.setAttr(scatter + ".strictRadius", STRICT_RADIUS)
# The points are made in the mesh's object space: use outMesh and parent the display under the mesh's
# transform so that they follow it. (worldMesh[0] works too; then leave the display at the world origin.)
cmds.connectAttr(shape + ".outMesh", scatter + ".inMesh")
# The mesh's bounding box sets the grid; the node widens it to the mesh in any case. The mesh's box children are
# doubles and the node's are floats: Maya refuses to connect the two compounds, but converts child by child.
for bound in ("Min", "Max", "Size"):
    for axis in "XYZ":
        cmds.connectAttr("%s.boundingBox%s%s" % (shape, bound, axis), "%s.boundingBox%s%s" % (scatter, bound, axis))

display_shape = cmds.createNode("kyDisplayPoints", name="displayPointsShape#", parent=transform)
cmds.setAttr(display_shape + ".pointSize", 3)
cmds.connectAttr(scatter + ".outPoints", display_shape + ".inPoints")

cmds.select(transform)
print("Scattered points on %s with radius %g: %s -> %s" % (shape, RADIUS, scatter, display_shape))
