"""The package computes the tool's points, bit for bit: the same roads, the same triangulation, the same search."""

import numpy as np
import pytest

import kyscatter
from conftest import ASSETS


@pytest.mark.parametrize("flags, keywords", [
    ((), {}),
    (("--radius", "0.05", "--strict"), {"radius": 0.05, "strict": True}),
    (("--radius", "0.05", "--stable", "--seed", "7"), {"radius": 0.05, "stable": True, "seed": 7}),
    (("--radius", "0.04", "--passes", "2", "--candidates", "20000"), {"radius": 0.04, "passes": 2,
                                                                    "candidates": 20000}),
    (("--count", "400"), {"count": 400}),
    (("--count", "400", "--exact"), {"count": 400, "exact_count": True}),
], ids=["defaults", "strict", "stable", "controls", "count", "exact"])
def test_points_are_the_tools(tool, tmp_path, flags, keywords):
    mesh = ASSETS / "tube.obj"
    expected = tool(mesh, *flags, out=tmp_path / "points.ply")
    vertices, faces = kyscatter.read_mesh(mesh)
    points = kyscatter.scatter(vertices, faces, **keywords)
    assert points.positions.dtype == np.float32
    np.testing.assert_array_equal(points.positions, expected)
    if keywords.get("exact_count"):
        assert len(points) == 400


def test_surface_data_is_the_tools(tool, tmp_path):
    mesh = ASSETS / "tube.obj"
    expected = tool(mesh, "--radius", "0.05", out=tmp_path / "points.ply", normals=True)
    points = kyscatter.scatter(*kyscatter.read_mesh(mesh), radius=0.05, surface_data=True)
    np.testing.assert_array_equal(points.positions, expected[:, :3])
    np.testing.assert_array_equal(points.normals.astype(np.float32), expected[:, 3:])
    # Every channel one value per point; each point at its weights of its triangle's corners.
    assert {len(a) for a in (points.rotations, points.ids, points.face_ids, points.barycentric,
                             points.triangle_vertices)} == {len(points)}
    corners = kyscatter.read_mesh(mesh)[0][points.triangle_vertices]
    placed = np.einsum("kc,kcx->kx", points.barycentric, corners.astype(np.float64))
    np.testing.assert_allclose(placed, points.positions, atol=1e-5)


def test_density_per_face_vertex_and_per_vertex_is_the_tools(tool, tmp_path, painted_grid):
    expected = tool(painted_grid, "--radius", "0.03", "--density", "red", out=tmp_path / "points.ply")
    vertices, faces, colors = kyscatter.read_mesh(painted_grid, colors=True)
    counts, connects = faces
    assert len(vertices) < len(connects)
    by_corner = kyscatter.scatter(vertices, faces, radius=0.03, density=colors[:, 0])
    np.testing.assert_array_equal(by_corner.positions, expected)
    weights = np.zeros(len(vertices), dtype=np.float32)
    weights[connects] = colors[:, 0]
    by_vertex = kyscatter.scatter(vertices, faces, radius=0.03, density=weights)
    np.testing.assert_array_equal(by_vertex.positions, expected)
    assert np.mean(expected[:, 0] > 0.5) > 0.6


def test_polygons_give_polygon_face_ids(painted_grid):
    vertices, (counts, connects) = kyscatter.read_mesh(painted_grid)
    quads = kyscatter.scatter(vertices, (counts, connects), radius=0.05, surface_data=True)
    # The same fan of triangles as an (M, 3) array: the same points, but face ids that name triangles.
    fan = connects.reshape(-1, 4)[:, [0, 1, 2, 0, 2, 3]].reshape(-1, 3)
    triangles = kyscatter.scatter(vertices, fan, radius=0.05, surface_data=True)
    np.testing.assert_array_equal(quads.positions, triangles.positions)
    np.testing.assert_array_equal(quads.face_ids, triangles.face_ids // 2)
    # Each point lies inside the quad its face id names.
    quad_corners = vertices[connects.reshape(-1, 4)[quads.face_ids]]
    for axis in (0, 2):
        assert np.all(quads.positions[:, axis] >= quad_corners[:, :, axis].min(axis=1) - 1e-6)
        assert np.all(quads.positions[:, axis] <= quad_corners[:, :, axis].max(axis=1) + 1e-6)


def test_attach_is_the_attach_nodes(tool, tmp_path):
    rest, bent = ASSETS / "tube.obj", ASSETS / "tubeBent.obj"
    expected = tool(rest, "--radius", "0.05", "--attach", bent, out=tmp_path / "points.ply", normals=True)
    vertices, faces = kyscatter.read_mesh(rest)
    points = kyscatter.scatter(vertices, faces, radius=0.05, surface_data=True)
    moved = kyscatter.attach(points, kyscatter.read_mesh(bent)[0])
    np.testing.assert_array_equal(moved.positions, expected[:, :3])
    np.testing.assert_array_equal(moved.normals.astype(np.float32), expected[:, 3:])
    np.testing.assert_array_equal(moved.ids, points.ids)
    # On the mesh it was scattered on, the attach gives the scatter's own surface data.
    still = kyscatter.attach(points, vertices)
    np.testing.assert_allclose(still.positions, points.positions, atol=1e-6)
    np.testing.assert_array_equal(still.rotations, points.rotations)
