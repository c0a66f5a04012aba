"""Poisson-disk points over a polygon mesh: the kyScatterPoints node's compute, numpy in, numpy out.

The compute runs on the same roads as the Maya plug-in and the ``kyscatter`` tool (the GPU where one is usable,
the CPU otherwise), which this package carries, so the same mesh and settings give the same points, bit for bit.
"""

import numbers
import os

import numpy as np

from . import _core

__all__ = ["Points", "scatter", "attach", "read_mesh", "write_usd"]

_DEVICES = ("auto", "gpu", "cpu")


class Points:
    """Points scattered over a mesh, in the order of the node's point record.

    ``positions`` is a (K, 3) float32 array; ``radius`` the radius the points were computed with;
    ``compute_seconds`` how long the compute (or the count search) took, inside the call. With surface data:
    ``normals`` (K, 3), ``rotations`` (K, 3, degrees, rotation order XYZ, turning +Y onto the normal), ``ids`` (K,),
    the points' candidate numbers, ``face_ids`` (K,), the polygon each lies on, ``barycentric`` (K, 3), its weights
    of its triangle's corners, and ``triangle_vertices`` (K, 3), those corners' vertex numbers. Without, these are
    None.
    """

    __slots__ = ("positions", "radius", "compute_seconds", "normals", "rotations", "ids", "face_ids", "barycentric",
                 "triangle_vertices")

    def __init__(self, positions, radius, normals=None, rotations=None, ids=None, face_ids=None, barycentric=None,
                 triangle_vertices=None, compute_seconds=None):
        self.positions = positions
        self.radius = radius
        self.compute_seconds = compute_seconds
        self.normals = normals
        self.rotations = rotations
        self.ids = ids
        self.face_ids = face_ids
        self.barycentric = barycentric
        self.triangle_vertices = triangle_vertices

    @property
    def has_surface_data(self):
        return self.triangle_vertices is not None

    def __len__(self):
        return len(self.positions)

    def __repr__(self):
        extra = ", surface data" if self.has_surface_data else ""
        return f"<kyscatter.Points: {len(self)} points at radius {self.radius:g}{extra}>"


def _array(name, value, kinds, dtype):
    """`value` as a contiguous array of `dtype`; a TypeError where its elements are not of `kinds`."""
    try:
        array = np.asarray(value)
    except (TypeError, ValueError) as error:
        raise TypeError(f"{name}: expected an array of numbers ({error})") from None
    if array.dtype.kind not in kinds:
        wanted = "integers" if kinds == "iu" else "numbers"
        raise TypeError(f"{name}: expected {wanted}, got an array of {array.dtype}")
    if array.dtype.kind in "iu" and array.size and (array.min() < -2**31 or array.max() >= 2**31):
        raise ValueError(f"{name}: an index beyond the range of a 32-bit vertex number")
    return np.ascontiguousarray(array, dtype=dtype)


def _vertices(vertices):
    array = _array("vertices", vertices, "fiu", np.float32)
    if array.ndim != 2 or array.shape[1] != 3:
        raise ValueError(f"vertices: expected an (N, 3) array, got shape {array.shape}")
    return array


def _is_pair(faces):
    """Whether faces are (face_vertex_counts, face_vertex_indices) rather than two triangles: two flat sequences, the
    indices longer than the counts, as every polygon has at least three corners."""
    if not isinstance(faces, (tuple, list)) or len(faces) != 2:
        return False
    first, second = (np.asarray(part, dtype=object) for part in faces)
    return first.ndim == 1 and second.ndim == 1 and len(first) != len(second)


def _faces(faces):
    """(counts, connects) from an (M, 3) array of triangles or a pair (face vertex counts, face vertex indices)."""
    if _is_pair(faces):
        counts = _array("faces: face_vertex_counts", faces[0], "iu", np.int32)
        connects = _array("faces: face_vertex_indices", faces[1], "iu", np.int32)
        return counts, connects
    triangles = _array("faces", faces, "iu", np.int32)
    if triangles.ndim != 2 or triangles.shape[1] != 3:
        raise ValueError(f"faces: expected an (M, 3) array of triangles or a pair (face_vertex_counts, "
                         f"face_vertex_indices), got shape {triangles.shape}")
    return np.full(len(triangles), 3, dtype=np.int32), triangles.reshape(-1)


def _integer(name, value):
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name}: expected an integer, got {type(value).__name__}")
    return int(value)


def _number(name, value):
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name}: expected a number, got {type(value).__name__}")
    return float(value)


def _request(radius, count, strict, stable, seed, passes, candidates, box, exact_count, surface_data, device):
    request = _core.Request()
    if radius is not None:
        request.radius = _number("radius", radius)
    if count is not None:
        request.count = _integer("count", count)
    request.exact = bool(exact_count)
    request.strict = bool(strict)
    request.stable = bool(stable)
    request.seed = _integer("seed", seed)
    request.passes = _integer("passes", passes)
    request.candidates = _integer("candidates", candidates)
    if box is not None:
        values = _array("box", box, "fiu", np.float64).reshape(-1)
        request.box = [float(v) for v in values]
    request.surface_data = bool(surface_data)
    if not isinstance(device, str):
        raise TypeError(f"device: expected one of {', '.join(_DEVICES)}, got {type(device).__name__}")
    request.device = device
    return request


def scatter(vertices, faces, *, radius=None, count=None, strict=False, stable=False, seed=_core.default_seed,
            passes=_core.default_passes, candidates=_core.default_candidates, box=None, density=None,
            exact_count=False, surface_data=False, device="auto"):
    """Scatters points over a mesh, as a kyScatterPoints node with these attributes would.

    vertices: (N, 3) floats. faces: an (M, 3) integer array of triangles, or a pair (face_vertex_counts,
    face_vertex_indices) of polygons as Maya and USD store them, triangulated as the node triangulates them.
    radius: the spacing; count (the node's pointCount): search the radius that gives this many points, within 1 %,
    or exactly with exact_count=True; neither: a radius for some 30,000 points, as the kyscatter tool takes.
    strict (strictRadius): no two points closer than the radius. stable (stableLayout): an edit of the mesh moves
    only the points near it. seed, passes, candidates (candidateCount): the node's. box: the grid box, min x y z,
    max x y z. density: weights in [0, 1] per vertex (N,) or per face vertex (one per face vertex index; per vertex
    where the counts are equal). surface_data: normals, rotations, ids, face ids and where each point lies.
    device: "auto" (the GPU where a usable one is there, the CPU otherwise), "gpu" or "cpu".

    Returns Points. Raises ValueError or TypeError on bad input, with the node's or the tool's message. The compute
    releases the GIL: calls from several threads run at once.
    """
    vertex_array = _vertices(vertices)
    counts, connects = _faces(faces)
    weights = None
    if density is not None:
        weights = _array("density", density, "fiu", np.float32)
        if weights.ndim != 1:
            raise ValueError(f"density: expected one weight per vertex or per face vertex, got shape {weights.shape}")
    request = _request(radius, count, strict, stable, seed, passes, candidates, box, exact_count, surface_data,
                       device)
    return Points(**_core.scatter(vertex_array, counts, connects, weights, request))


def attach(points, vertices):
    """The points carried onto the same mesh deformed, as the kyAttachPoints node carries them.

    points: Points scattered with surface_data=True; vertices: the mesh's vertices moved, (N, 3), the same
    vertices in the same order. Each point keeps its weights of its triangle's vertices and stands on the moved
    triangle: new positions, normals and rotations; its ids, face ids and weights stay.
    """
    if not isinstance(points, Points):
        raise TypeError(f"points: expected kyscatter.Points, got {type(points).__name__}")
    if not points.has_surface_data:
        raise ValueError("points have no triangle_vertices: scatter them with surface_data=True")
    vertex_array = _vertices(vertices)
    triangles = np.ascontiguousarray(points.triangle_vertices, dtype=np.int32)
    weights = np.ascontiguousarray(points.barycentric, dtype=np.float64)
    placed = _core.attach(vertex_array, triangles, weights)
    return Points(placed["positions"].astype(np.float32), points.radius, placed["normals"], placed["rotations"],
                  points.ids, points.face_ids, points.barycentric, points.triangle_vertices)


def read_mesh(path, *, colors=False):
    """Reads a mesh file as the kyscatter tool does (OBJ, PLY, STL, FBX, glTF, ...), the file's transforms applied.

    Returns (vertices, faces): faces is an (M, 3) array where every face is a triangle, else a pair
    (face_vertex_counts, face_vertex_indices). With colors=True, (vertices, faces, colors): the vertex colours as
    RGBA per face vertex, (F, 4) float32, as the tool reads them for --density; a file without them is refused.
    """
    path = os.fspath(path)
    if not os.path.exists(path):
        raise FileNotFoundError(f"cannot read '{path}': no such file")
    vertices, counts, connects, corner_colors = _core.read_mesh(path, bool(colors))
    faces = connects.reshape(-1, 3) if np.all(counts == 3) else (counts, connects)
    return (vertices, faces, corner_colors) if colors else (vertices, faces)


def write_usd(path, points, *, instancer=False, prototypes=(), up_axis="Y"):
    """Writes the points as USD: .usda, .usdc or .usd by the path's extension. Needs usd-core (kyscatter[usd]).

    A UsdGeom.Points (positions; normals and ids where the points have surface data; a constant width of the
    radius), or with instancer=True a UsdGeom.PointInstancer (positions, orientations from the rotations, ids,
    protoIndices, and `prototypes`, the paths of the prims to instance, as its prototypes; without, a sphere of half
    the radius under the instancer). up_axis: "Y", as Maya, or "Z", which stands the Y-up points up in the stage.
    """
    from ._usd import write_usd as write

    return write(path, points, instancer=instancer, prototypes=prototypes, up_axis=up_axis)
