"""Scatter points where a painted texture says: a plane whose UVs span it, a file texture of an image, and a scatter
node that reads the texture at each point's UV as its density map and finds the radius for a point count.

Run in Maya's Script Editor (Python tab). The plug-in must be on MAYA_PLUG_IN_PATH, or give its full path to
cmds.loadPlugin. Set IMAGE to a picture of your own (PNG, JPEG, TIFF, EXR: white is full density, black no points);
left empty, the script writes a picture of a winding light path on a dark ground next to the scene and uses that.
Any other texture node (a ramp, a noise) connected to densityTexture works too: the node bakes it at
densityTextureResolution texels a side.
"""
import math
import os
import tempfile

import maya.api.OpenMaya as om
import maya.cmds as cmds

PLUGIN = "kyScatterPoints"
IMAGE = ""  # a painted density texture; "" writes a picture of a path
UV_SET = ""  # "" reads the mesh's current UV set
CHANNEL = "luminance"  # or "red", "green", "blue", "alpha"
POINT_COUNT = 3000  # the node searches the radius for this many points; 0 uses RADIUS instead
RADIUS = 0.05
STRICT_RADIUS = True


def path_picture(path, size=256):
    """A grey picture: a light sine-shaped path across a dark ground, written through MImage."""
    image = om.MImage()
    image.create(size, size, 4, om.MImage.kByte)
    pixels = bytearray(size * size * 4)
    for y in range(size):
        for x in range(size):
            centre = 0.5 + 0.3 * math.sin(2.0 * math.pi * x / size)
            light = max(0.0, 1.0 - abs(y / float(size) - centre) / 0.12)
            grey = int(round(255 * (0.05 + 0.95 * light)))
            pixels[4 * (y * size + x):4 * (y * size + x) + 4] = bytes((grey, grey, grey, 255))
    image.setPixels(pixels, size, size)
    image.writeToFile(path, "png")
    return path


if not cmds.pluginInfo(PLUGIN, query=True, loaded=True):
    cmds.loadPlugin(PLUGIN)

image_path = IMAGE or path_picture(os.path.join(tempfile.gettempdir(), "kyScatterPath.png"))
transform = cmds.polyPlane(name="texturedPlane#", width=4, height=4, subdivisionsX=4, subdivisionsY=4)[0]
shape = cmds.listRelatives(transform, shapes=True, fullPath=True)[0]

file_node = cmds.shadingNode("file", asTexture=True, name="densityFile#")
cmds.setAttr(file_node + ".fileTextureName", image_path, type="string")

scatter = cmds.createNode("kyScatterPoints", name="scatterPoints#")
cmds.setAttr(scatter + ".radius", RADIUS)
cmds.setAttr(scatter + ".pointCount", POINT_COUNT)
cmds.setAttr(scatter + ".strictRadius", STRICT_RADIUS)
cmds.setAttr(scatter + ".densityMap", True)
cmds.setAttr(scatter + ".densitySource", 1)  # texture
cmds.setAttr(scatter + ".densityUVSet", UV_SET, type="string")
cmds.setAttr(scatter + ".densityChannel", ["luminance", "red", "green", "blue", "alpha"].index(CHANNEL))
cmds.connectAttr(file_node + ".outColor", scatter + ".densityTexture")
cmds.connectAttr(shape + ".outMesh", scatter + ".inMesh")

display_shape = cmds.createNode("kyDisplayPoints", name="displayPointsShape#", parent=transform)
cmds.setAttr(display_shape + ".pointSize", 3)
cmds.connectAttr(scatter + ".outPoints", display_shape + ".inPoints")

cmds.select(transform)
print("%s scatters about %d points by the %s of %s, at radius %g" % (
    scatter, POINT_COUNT, CHANNEL, image_path, cmds.getAttr(scatter + ".radiusUsed")))
