"""USD output read back through pxr, and the module command that writes it."""

import subprocess
import sys

import numpy as np
import pytest

import kyscatter
from conftest import ASSETS

pxr = pytest.importorskip("pxr", reason="usd-core is not installed (pip install 'kyscatter[usd]')")
from pxr import Gf, Usd, UsdGeom  # noqa: E402


@pytest.fixture(scope="module")
def tube_points():
    vertices, faces = kyscatter.read_mesh(ASSETS / "tube.obj")
    return kyscatter.scatter(vertices, faces, radius=0.05, surface_data=True)


def test_points_prim_holds_positions_normals_ids_and_the_radius(tmp_path, tube_points):
    path = tmp_path / "points.usda"
    assert kyscatter.write_usd(path, tube_points) == "/Scatter/points"
    stage = Usd.Stage.Open(str(path))
    prim = UsdGeom.Points(stage.GetPrimAtPath("/Scatter/points"))
    np.testing.assert_array_equal(np.array(prim.GetPointsAttr().Get()), tube_points.positions)
    np.testing.assert_array_equal(np.array(prim.GetIdsAttr().Get()), tube_points.ids)
    np.testing.assert_array_equal(np.array(prim.GetNormalsAttr().Get()), tube_points.normals.astype(np.float32))
    assert list(prim.GetWidthsAttr().Get()) == pytest.approx([tube_points.radius])
    assert prim.GetWidthsInterpolation() == UsdGeom.Tokens.constant
    assert UsdGeom.GetStageUpAxis(stage) == UsdGeom.Tokens.y
    assert stage.GetDefaultPrim().GetPath() == "/Scatter"


def test_point_instancer_stands_each_instance_on_its_normal(tmp_path, tube_points):
    path = tmp_path / "instances.usdc"
    kyscatter.write_usd(path, tube_points, instancer=True)
    stage = Usd.Stage.Open(str(path))
    instancer = UsdGeom.PointInstancer(stage.GetPrimAtPath("/Scatter/instancer"))
    count = len(tube_points)
    assert len(instancer.GetProtoIndicesAttr().Get()) == count
    np.testing.assert_array_equal(np.array(instancer.GetIdsAttr().Get()), tube_points.ids)
    targets = instancer.GetPrototypesRel().GetTargets()
    assert [str(t) for t in targets] == ["/Scatter/instancer/prototypes/sphere"]
    assert stage.GetPrimAtPath(targets[0]).IsA(UsdGeom.Sphere)
    # UsdGeom computes a transform per instance: at the point, +Y turned onto the point's normal.
    transforms = instancer.ComputeInstanceTransformsAtTime(Usd.TimeCode.Default(), Usd.TimeCode.Default())
    assert len(transforms) == count
    for i in range(0, count, max(1, count // 50)):
        matrix = Gf.Matrix4d(transforms[i])
        np.testing.assert_allclose(np.array(matrix.ExtractTranslation()), tube_points.positions[i], atol=1e-6)
        up = np.array(matrix.TransformDir(Gf.Vec3d(0, 1, 0)))
        np.testing.assert_allclose(up, tube_points.normals[i], atol=3e-3)


def test_orientations_are_the_rotations_in_xyz_order():
    rotations = np.array([[30.0, -50.0, 70.0], [90.0, 0.0, 0.0], [10.0, 200.0, -5.0]])
    from kyscatter._usd import orientations

    for rotation, q in zip(rotations, orientations(rotations)):
        expected = (Gf.Rotation(Gf.Vec3d(1, 0, 0), rotation[0]) * Gf.Rotation(Gf.Vec3d(0, 1, 0), rotation[1]) *
                    Gf.Rotation(Gf.Vec3d(0, 0, 1), rotation[2])).GetQuat()
        got = Gf.Quatd(q[3], Gf.Vec3d(*q[:3]))
        assert abs(abs(Gf.Dot(got, expected)) - 1) < 1e-12


def test_prototypes_are_the_instancers_targets(tmp_path, tube_points):
    path = tmp_path / "rocks.usd"
    kyscatter.write_usd(path, tube_points, instancer=True, prototypes=["/Library/rockA", "/Library/rockB"],
                        up_axis="Z")
    stage = Usd.Stage.Open(str(path))
    instancer = UsdGeom.PointInstancer(stage.GetPrimAtPath("/Scatter/instancer"))
    assert [str(t) for t in instancer.GetPrototypesRel().GetTargets()] == ["/Library/rockA", "/Library/rockB"]
    indices = np.array(instancer.GetProtoIndicesAttr().Get())
    np.testing.assert_array_equal(indices, tube_points.ids % 2)
    assert UsdGeom.GetStageUpAxis(stage) == UsdGeom.Tokens.z


def test_bad_usd_arguments_are_named(tmp_path, tube_points):
    with pytest.raises(ValueError, match="is none of .usda, .usdc and .usd"):
        kyscatter.write_usd(tmp_path / "points.ply", tube_points)
    with pytest.raises(ValueError, match="up_axis"):
        kyscatter.write_usd(tmp_path / "points.usda", tube_points, up_axis="X")
    with pytest.raises(ValueError, match="no absolute prim path"):
        kyscatter.write_usd(tmp_path / "points.usda", tube_points, instancer=True, prototypes=["rock"])
    bare = kyscatter.scatter(*kyscatter.read_mesh(ASSETS / "tube.obj"), radius=0.05)
    with pytest.raises(ValueError, match="surface_data=True"):
        kyscatter.write_usd(tmp_path / "instances.usda", bare, instancer=True)


def test_module_command_writes_what_the_call_writes(tmp_path, tube_points):
    out = tmp_path / "cli.usda"
    done = subprocess.run([sys.executable, "-m", "kyscatter", str(ASSETS / "tube.obj"), "--radius", "0.05",
                           "--instancer", "--out", str(out)], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert f"{len(tube_points)} points at radius 0.05 written to {out}" in done.stdout
    stage = Usd.Stage.Open(str(out))
    instancer = UsdGeom.PointInstancer(stage.GetPrimAtPath("/Scatter/instancer"))
    np.testing.assert_array_equal(np.array(instancer.GetPositionsAttr().Get()), tube_points.positions)

    missing = subprocess.run([sys.executable, "-m", "kyscatter", str(tmp_path / "none.obj"), "--out", str(out)],
                             capture_output=True, text=True)
    assert missing.returncode == 1
    assert "kyscatter: cannot read" in missing.stderr and "no such file" in missing.stderr
