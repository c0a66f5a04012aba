"""Bad input raises ValueError or TypeError with the node's or the tool's message; nothing takes the interpreter
down."""

import pathlib
import re

import numpy as np
import pytest

import kyscatter
from conftest import ASSETS

SQUARE = np.array([[0, 0, 0], [1, 0, 0], [1, 0, 1], [0, 0, 1]], dtype=np.float32)
TRIANGLES = np.array([[0, 1, 2], [0, 2, 3]])


def nan_vertex():
    vertices = SQUARE.copy()
    vertices[2, 1] = np.nan
    return vertices


@pytest.mark.parametrize("vertices, faces, keywords, error, message", [
    (SQUARE[:, :2], TRIANGLES, {}, ValueError, "vertices: expected an (N, 3) array, got shape (4, 2)"),
    ([["a", "b", "c"]], TRIANGLES, {}, TypeError, "vertices: expected numbers"),
    (nan_vertex(), TRIANGLES, {}, ValueError, "vertices: vertex 2 has a coordinate that is not a finite number"),
    (SQUARE, TRIANGLES.astype(float), {}, TypeError, "faces: expected integers, got an array of float64"),
    (SQUARE, [[0, 1, 9]], {}, ValueError, "faces: face vertex 2 is vertex 9, but there are 4 vertices"),
    (SQUARE, [[0, 1, -1]], {}, ValueError, "faces: face vertex 2 is vertex -1, but there are 4 vertices"),
    (SQUARE, np.zeros((0, 3), dtype=int), {}, ValueError, "faces: the mesh has no faces"),
    (SQUARE, ([4, 2], [0, 1, 2, 3, 0, 1]), {}, ValueError, "faces: face 1 has 2 vertices; a face needs at least 3"),
    (SQUARE, ([4], [0, 1, 2]), {}, ValueError,
     "faces: the face vertex counts add up to 4, but there are 3 face vertex indices"),
    (SQUARE, TRIANGLES, {"radius": 0}, ValueError, "radius: must be greater than 0, got 0"),
    (SQUARE, TRIANGLES, {"radius": 1e-4}, ValueError, "radius: 0.0001 is below the scatter node's minimum of 0.001"),
    (SQUARE, TRIANGLES, {"radius": float("inf")}, ValueError, "radius: 'inf' is not a finite number"),
    (SQUARE, TRIANGLES, {"radius": "0.1"}, TypeError, "radius: expected a number, got str"),
    (SQUARE, TRIANGLES, {"count": 0}, ValueError, "count: must be at least 1, got 0"),
    (SQUARE, TRIANGLES, {"count": 2.5}, TypeError, "count: expected an integer, got float"),
    (SQUARE, TRIANGLES, {"count": 1001, "candidates": 1000}, ValueError,
     "pointCount 1001 is more than the 1000 candidates the node draws (raise candidateCount)"),
    (SQUARE, TRIANGLES, {"count": 10, "radius": 0.1}, ValueError,
     "radius and count cannot be given together: count searches the radius"),
    (SQUARE, TRIANGLES, {"exact_count": True}, ValueError, "exact_count needs count: it gives exactly count points"),
    (SQUARE, TRIANGLES, {"passes": 0}, ValueError, "passes: 0 not in range [1 - 1000]"),
    (SQUARE, TRIANGLES, {"candidates": 10}, ValueError, "candidates: 10 not in range [1000 - 1073741823]"),
    (SQUARE, TRIANGLES, {"seed": 2**31}, ValueError, "seed: 2147483648 not in range"),
    (SQUARE, TRIANGLES, {"box": [1, 0, 0, 0, 1, 1]}, ValueError, "box: min x (1) is above max x (0)"),
    (SQUARE, TRIANGLES, {"box": [0, 0, 0]}, ValueError, "box: expected 6 numbers"),
    (SQUARE, TRIANGLES, {"density": [0.5, 1, 1]}, ValueError,
     "density: 3 weights, but the mesh has 4 vertices and 6 face vertices"),
    (SQUARE, TRIANGLES, {"density": [0, 1, 2, 1]}, ValueError, "density: weight 2 is 2.000000, not in [0, 1]"),
    (SQUARE, TRIANGLES, {"density": [0, 1, np.nan, 1]}, ValueError, "density: weight 2 is nan"),
    (SQUARE, TRIANGLES, {"device": "tpu"}, ValueError, "device: 'tpu' is none of auto, gpu and cpu"),
], ids=lambda value: None)
def test_bad_input_is_named(vertices, faces, keywords, error, message):
    with pytest.raises(error, match=re.escape(message)):
        kyscatter.scatter(vertices, faces, **keywords)


def test_two_triangles_as_nested_sequences_are_triangles_and_no_points_is_an_empty_array():
    as_lists = kyscatter.scatter(SQUARE.tolist(), ((0, 1, 2), (0, 2, 3)), radius=0.1)
    np.testing.assert_array_equal(as_lists.positions, kyscatter.scatter(SQUARE, TRIANGLES, radius=0.1).positions)
    empty = kyscatter.scatter(SQUARE, TRIANGLES, radius=0.1, density=np.zeros(4), surface_data=True)
    assert empty.positions.shape == (0, 3) and empty.ids.shape == (0,) and len(empty) == 0


def test_a_gpu_asked_for_where_there_is_none_fails_as_an_exception():
    if (pathlib.Path(kyscatter.__file__).parent / "kyScatterPointsCuda.so.1").exists():
        pytest.skip("this package carries the GPU road")
    with pytest.raises(RuntimeError, match="the scatter compute failed"):
        kyscatter.scatter(SQUARE, TRIANGLES, radius=0.1, device="gpu")


def test_a_compute_the_grid_cannot_hold_fails_as_an_exception():
    # The node's grid cannot number the cells of radius 0.001 over a square a thousand wide; the road says why on
    # standard error.
    with pytest.raises(RuntimeError, match="the scatter compute failed"):
        kyscatter.scatter(SQUARE * 1000, TRIANGLES, radius=0.001)


def test_attach_refuses_what_the_attach_node_refuses():
    points = kyscatter.scatter(SQUARE, TRIANGLES, radius=0.1, surface_data=True)
    with pytest.raises(ValueError, match="scatter them with surface_data=True"):
        kyscatter.attach(kyscatter.scatter(SQUARE, TRIANGLES, radius=0.1), SQUARE)
    with pytest.raises(ValueError, match=r"point 0 lies on the triangle of vertices \d \d \d, but the mesh has 2 "
                                         r"vertices: give the mesh the points were scattered on"):
        kyscatter.attach(points, SQUARE[:2])
    with pytest.raises(TypeError, match="points: expected kyscatter.Points"):
        kyscatter.attach(points.positions, SQUARE)


def test_read_mesh_says_what_is_wrong_with_the_file(tmp_path):
    with pytest.raises(FileNotFoundError, match="no such file"):
        kyscatter.read_mesh(tmp_path / "missing.obj")
    garbage = tmp_path / "garbage.obj"
    garbage.write_bytes(b"\x00\x01 not a mesh")
    with pytest.raises(ValueError, match="garbage.obj"):
        kyscatter.read_mesh(garbage)
    with pytest.raises(ValueError, match="has no faces"):
        kyscatter.read_mesh(ASSETS / "lines.obj")
    with pytest.raises(ValueError, match="has no vertex colours"):
        kyscatter.read_mesh(ASSETS / "plane.obj", colors=True)
