# Writes tube.obj and tubeBent.obj: an open tube of radius 0.5 along +Y from 0 to 4, 20 quads round and 12 along,
# wound so that its normals face out, and the same tube with every vertex moved: twisted a quarter turn about its
# axis over its length, then bent a quarter circle towards +X. Same vertices, same order, same polygons.
import math

RINGS, SEGMENTS, RADIUS, LENGTH = 12, 20, 0.5, 4.0
BEND, TWIST = math.pi / 2, math.pi / 2


def rest():
    for j in range(RINGS + 1):
        for i in range(SEGMENTS):
            angle = 2 * math.pi * i / SEGMENTS
            yield RADIUS * math.cos(angle), LENGTH * j / RINGS, RADIUS * math.sin(angle)


def bent(x, y, z):
    along = y / LENGTH
    turn = TWIST * along
    x, z = x * math.cos(turn) - z * math.sin(turn), x * math.sin(turn) + z * math.cos(turn)
    arc = LENGTH / BEND
    angle = BEND * along
    return arc - (arc - x) * math.cos(angle), (arc - x) * math.sin(angle), z


def faces():
    def vertex(j, i):
        return j * SEGMENTS + i % SEGMENTS + 1
    for j in range(RINGS):
        for i in range(SEGMENTS):
            yield vertex(j, i), vertex(j + 1, i), vertex(j + 1, i + 1), vertex(j, i + 1)


def write(path, title, points):
    with open(path, "w") as obj:
        obj.write("# %s\n" % title)
        for p in points:
            obj.write("v %.5f %.5f %.5f\n" % tuple(0.0 if abs(c) < 5e-6 else c for c in p))
        for f in faces():
            obj.write("f %d %d %d %d\n" % f)


write("tube.obj", "An open tube along +Y, 20 quads round and 12 along (makeTubes.py).", rest())
write("tubeBent.obj", "tube.obj twisted a quarter turn and bent a quarter circle (makeTubes.py).",
      (bent(*p) for p in rest()))
