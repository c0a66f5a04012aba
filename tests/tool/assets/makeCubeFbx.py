# Writes cube.fbx: a minimal binary FBX 7.4 file holding one quad cube of edge 2 around the origin.
import struct, sys

def prop(v):
    t, x = v
    if t == 'I': return b'I' + struct.pack('<i', x)
    if t == 'L': return b'L' + struct.pack('<q', x)
    if t == 'D': return b'D' + struct.pack('<d', x)
    if t == 'S':
        b = x.encode('latin1') if isinstance(x, str) else x
        return b'S' + struct.pack('<I', len(b)) + b
    if t == 'd':
        data = b''.join(struct.pack('<d', a) for a in x)
        return b'd' + struct.pack('<III', len(x), 0, len(data)) + data
    if t == 'i':
        data = b''.join(struct.pack('<i', a) for a in x)
        return b'i' + struct.pack('<III', len(x), 0, len(data)) + data
    raise ValueError(t)

def node(name, props, children, offset):
    # returns bytes of the node record placed at `offset`
    pbytes = b''.join(prop(p) for p in props)
    head_len = 13 + len(name)
    body = b''
    pos = offset + head_len + len(pbytes)
    for c in children:
        cb = node(*c, pos)
        body += cb
        pos += len(cb)
    if children:
        body += b'\0' * 13
    end = offset + head_len + len(pbytes) + len(body)
    return struct.pack('<IIIB', end, len(props), len(pbytes), len(name)) + name.encode() + pbytes + body

V = [(-1,-1,-1),(1,-1,-1),(1,1,-1),(-1,1,-1),(-1,-1,1),(1,-1,1),(1,1,1),(-1,1,1)]
Q = [(0,3,2,1),(4,5,6,7),(0,1,5,4),(1,2,6,5),(2,3,7,6),(3,0,4,7)]
verts = [c for v in V for c in v]
pvi = []
for q in Q:
    pvi += list(q[:-1]) + [~q[-1]]

top = [
 ('FBXHeaderExtension', [], [('FBXHeaderVersion', [('I', 1003)], []), ('FBXVersion', [('I', 7400)], [])]),
 ('GlobalSettings', [], [('Version', [('I', 1000)], [])]),
 ('Objects', [], [
    ('Geometry', [('L', 1000), ('S', 'cube\x00\x01Geometry'), ('S', 'Mesh')], [
        ('Vertices', [('d', verts)], []),
        ('PolygonVertexIndex', [('i', pvi)], []),
        ('GeometryVersion', [('I', 124)], []),
    ]),
    ('Model', [('L', 2000), ('S', 'cube\x00\x01Model'), ('S', 'Mesh')], [
        ('Version', [('I', 232)], []),
    ]),
 ]),
 ('Connections', [], [
    ('C', [('S', 'OO'), ('L', 1000), ('L', 2000)], []),
    ('C', [('S', 'OO'), ('L', 2000), ('L', 0)], []),
 ]),
]
out = b'Kaydara FBX Binary  \x00\x1a\x00' + struct.pack('<I', 7400)
for t in top:
    out += node(*t, len(out))
out += b'\0' * 13
out += b'\0' * 160  # footer padding, ignored by readers that stop at the null record
open(sys.argv[1], 'wb').write(out)
