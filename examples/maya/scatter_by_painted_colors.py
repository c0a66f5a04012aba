"""Scatter points where a colour set says: a plane whose colour set ramps from black to white, and a scatter node
that reads it as its density map and finds the radius for a point count.

Run in Maya's Script Editor (Python tab). The plug-in must be on MAYA_PLUG_IN_PATH, or give its full path to
cmds.loadPlugin. To paint the weights yourself instead, set PAINT_YOURSELF to True, run, then paint the plane with
Mesh Display > Paint Vertex Color Tool (white: full density, black: no points); the points follow as you paint.
"""
import maya.api.OpenMaya as om
import maya.cmds as cmds

PLUGIN = "kyScatterPoints"
COLOR_SET = "density"  # the colour set the node reads; "" would read the mesh's current one
CHANNEL = "luminance"  # or "red", "green", "blue", "alpha"
POINT_COUNT = 2000  # the node searches the radius for this many points (within 1 %); 0 uses RADIUS instead
RADIUS = 0.05
STRICT_RADIUS = True  # no two points closer than the radius, and spacing of radius / sqrt(weight) where it is less
PAINT_YOURSELF = False

if not cmds.pluginInfo(PLUGIN, query=True, loaded=True):
    cmds.loadPlugin(PLUGIN)

transform = cmds.polyPlane(name="densityPlane#", width=4, height=1, subdivisionsX=64, subdivisionsY=16)[0]
shape = cmds.listRelatives(transform, shapes=True, fullPath=True)[0]
cmds.polyColorSet(shape, create=True, colorSet=COLOR_SET, representation="RGBA")
cmds.polyColorSet(shape, currentColorSet=True, colorSet=COLOR_SET)
mesh = om.MFnMesh(om.MSelectionList().add(shape).getDagPath(0))
points = mesh.getPoints(om.MSpace.kObject)
if PAINT_YOURSELF:
    greys = [1.0] * len(points)  # white everywhere until painted: the points of no map
else:
    greys = [(p.x + 2.0) / 4.0 for p in points]  # black at the left end, white at the right
mesh.setVertexColors([om.MColor((g, g, g, 1.0)) for g in greys], list(range(len(points))))
cmds.setAttr(shape + ".displayColors", True)

scatter = cmds.createNode("kyScatterPoints", name="scatterPoints#")
cmds.setAttr(scatter + ".radius", RADIUS)
cmds.setAttr(scatter + ".pointCount", POINT_COUNT)
cmds.setAttr(scatter + ".strictRadius", STRICT_RADIUS)
cmds.setAttr(scatter + ".densityMap", True)
cmds.setAttr(scatter + ".densityColorSet", COLOR_SET, type="string")
cmds.setAttr(scatter + ".densityChannel", ["luminance", "red", "green", "blue", "alpha"].index(CHANNEL))
cmds.connectAttr(shape + ".outMesh", scatter + ".inMesh")

display_shape = cmds.createNode("kyDisplayPoints", name="displayPointsShape#", parent=transform)
cmds.setAttr(display_shape + ".pointSize", 3)
cmds.connectAttr(scatter + ".outPoints", display_shape + ".inPoints")

cmds.select(transform)
how_many = "about %d points" % POINT_COUNT if POINT_COUNT > 0 else "points"
print("%s scatters %s by the %s of colour set '%s', at radius %g" % (
    scatter, how_many, CHANNEL, COLOR_SET, cmds.getAttr(scatter + ".radiusUsed")))
