#!/usr/bin/env python3
# Writes the fuzzer's seed corpus: one file per kind of input, in the byte layout scatterCase::decode reads
# (little-endian 16-bit choices, raw 32-bit floats where a style asks for any bit pattern).
# Usage: fuzz/makeSeeds.py fuzz/corpus
import struct, os, sys
out = sys.argv[1]
def u16(v): return struct.pack('<H', v & 0xffff)
def f32(x): return struct.pack('<f', x)
def f32bits(b): return struct.pack('<I', b)
def integer(v, lo, hi): return u16(v - lo)             # decoder: lo + bits16 % (hi-lo+1)
def unit(x): return u16(round(x * 65535))
def between(x, lo, hi): return unit((x - lo) / (hi - lo))
def mesh(style, verts, polys, coord):
    b = integer(style, 0, 7) + integer(len(verts), 3, 16)
    for v in verts:
        for c in v: b += coord(c)
    b += integer(len(polys), 0, 10)
    for p in polys:
        b += integer(len(p), 3, 6)
        for i in p: b += integer(i, 0, len(verts) - 1)
    return b
lattice = lambda c: integer(int(c), -4, 4)
ordinary = lambda c: between(c, -10.0, 10.0)
small = lambda c: between(c, -1e-3, 1e-3)
raw = lambda c: f32(c)
cube = [(-1,-1,-1),(1,-1,-1),(1,1,-1),(-1,1,-1),(-1,-1,1),(1,-1,1),(1,1,1),(-1,1,1)]
quads = [(0,3,2,1),(4,5,6,7),(0,1,5,4),(2,3,7,6),(1,2,6,5),(0,4,7,3)]
unset = integer(0, 0, 3)
seeds = {
  'latticeCubeWholeCells': mesh(1, cube, quads, lattice) + integer(2, 0, 3) + integer(7, 1, 60) + integer(-1, -4, 4) + unset,
  'pentagonFan': mesh(0, [(0,0,0),(3,0.5,0),(4,1,3),(1,-0.5,5),(-2,0.2,2)], [(0,1,2,3,4)], ordinary) + integer(0,0,3) + between(-1.0,-2.0,1.0) + unset,
  'smallQuad': mesh(2, [(-5e-4,0,-5e-4),(5e-4,0,-5e-4),(5e-4,1e-4,5e-4),(-5e-4,0,5e-4)], [(0,1,2),(0,2,3)], small) + integer(0,0,3) + between(-1.5,-2.0,1.0) + unset,
  'notFiniteVertex': mesh(7, [(0,0,0),(1,0,0),(float('nan'),1,0)], [(0,1,2)], raw) + integer(0,0,3) + between(0.0,-2.0,1.0) + unset,
  'tetrahedronInBox': mesh(0, [(0,0,0),(2,0,0),(0,2,0),(0,0,2)], [(0,1,2),(0,1,3),(0,2,3),(1,2,3)], ordinary) + integer(1,0,3) + between(-1.2,-2.0,1.0) + integer(2,0,3) + b''.join(between(c,-10.0,10.0) for c in (-1,3,-1,3,-1,3)),
  'boxNotFinite': mesh(0, [(0,0,0),(2,0,0),(0,2,0)], [(0,1,2)], ordinary) + integer(0,0,3) + between(-1.0,-2.0,1.0) + integer(3,0,3) + b''.join(f32(c) for c in (0,0,float('inf'),1,1,1)),
  'radiusNotFinite': mesh(0, [(0,0,0),(2,0,0),(0,2,0)], [(0,1,2)], ordinary) + integer(3,0,3) + f32(float('nan')) + unset,
  'noFaces': mesh(0, [(0,0,0),(1,0,0),(0,1,0)], [], ordinary) + integer(0,0,3) + between(0.0,-2.0,1.0) + unset,
  'degenerateOnly': mesh(1, [(1,1,1),(1,1,1),(2,2,2)], [(0,1,2),(0,0,1)], lattice) + integer(0,0,3) + between(0.0,-2.0,1.0) + unset,
}
# The stable layout, turned on by the byte after the box.
for name in ('latticeCubeWholeCells', 'tetrahedronInBox', 'pentagonFan'):
    seeds[name + 'Stable'] = seeds[name] + b'\x01'
os.makedirs(out, exist_ok=True)
for name, data in seeds.items():
    open(os.path.join(out, name), 'wb').write(data)
