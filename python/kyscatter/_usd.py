"""USD output of scattered points: UsdGeom.Points or UsdGeom.PointInstancer, through usd-core's pxr."""

import numpy as np

_EXTENSIONS = (".usda", ".usdc", ".usd")
_ROOT = "/Scatter"


def _pxr():
    try:
        from pxr import Gf, Sdf, Usd, UsdGeom, Vt
    except ImportError:
        raise ImportError("kyscatter.write_usd needs usd-core: pip install 'kyscatter[usd]'") from None
    return Gf, Sdf, Usd, UsdGeom, Vt


def orientations(rotations):
    """Unit quaternions (i, j, k, real) of rotations in degrees with rotation order XYZ: about X first, then Y, Z."""
    half = np.radians(np.asarray(rotations, dtype=np.float64)) / 2
    c, s = np.cos(half), np.sin(half)
    # q = qz * qy * qx, Hamilton products written out.
    cx, cy, cz = c[:, 0], c[:, 1], c[:, 2]
    sx, sy, sz = s[:, 0], s[:, 1], s[:, 2]
    real = cz * cy * cx + sz * sy * sx
    i = cz * cy * sx - sz * sy * cx
    j = cz * sy * cx + sz * cy * sx
    k = sz * cy * cx - cz * sy * sx
    return np.stack([i, j, k, real], axis=1)


def _stage(path, up_axis):
    Gf, Sdf, Usd, UsdGeom, Vt = _pxr()
    if not str(path).lower().endswith(_EXTENSIONS):
        raise ValueError(f"path: '{path}' is none of .usda, .usdc and .usd")
    if up_axis not in ("Y", "Z"):
        raise ValueError(f"up_axis: expected 'Y' or 'Z', got {up_axis!r}")
    stage = Usd.Stage.CreateNew(str(path))
    UsdGeom.SetStageUpAxis(stage, UsdGeom.Tokens.y if up_axis == "Y" else UsdGeom.Tokens.z)
    root = UsdGeom.Xform.Define(stage, _ROOT)
    if up_axis == "Z":
        root.AddRotateXOp().Set(90.0)
    stage.SetDefaultPrim(root.GetPrim())
    return stage


def _write_points(stage, points):
    Gf, Sdf, Usd, UsdGeom, Vt = _pxr()
    prim = UsdGeom.Points.Define(stage, _ROOT + "/points")
    prim.CreatePointsAttr(Vt.Vec3fArray.FromNumpy(np.ascontiguousarray(points.positions, dtype=np.float32)))
    prim.CreateWidthsAttr(Vt.FloatArray([float(points.radius)]))
    prim.SetWidthsInterpolation(UsdGeom.Tokens.constant)
    if points.has_surface_data:
        prim.CreateNormalsAttr(Vt.Vec3fArray.FromNumpy(np.ascontiguousarray(points.normals, dtype=np.float32)))
        prim.CreateIdsAttr(Vt.Int64Array.FromNumpy(np.ascontiguousarray(points.ids, dtype=np.int64)))
    return prim


def _prototype_paths(stage, instancer, prototypes, radius):
    Gf, Sdf, Usd, UsdGeom, Vt = _pxr()
    if isinstance(prototypes, (str, Sdf.Path)):
        prototypes = (prototypes,)
    paths = []
    for prototype in prototypes:
        path = Sdf.Path(str(prototype))
        if not path.IsAbsolutePath() or not path.IsPrimPath():
            raise ValueError(f"prototypes: '{prototype}' is no absolute prim path")
        paths.append(path)
    if not paths:
        sphere = UsdGeom.Sphere.Define(stage, instancer.GetPath().AppendPath("prototypes/sphere"))
        sphere.CreateRadiusAttr(float(radius) / 2)
        paths.append(sphere.GetPath())
    return paths


def _write_instancer(stage, points, prototypes):
    Gf, Sdf, Usd, UsdGeom, Vt = _pxr()
    if not points.has_surface_data:
        raise ValueError("points have no rotations for the instancer's orientations: scatter them with "
                         "surface_data=True")
    prim = UsdGeom.PointInstancer.Define(stage, _ROOT + "/instancer")
    paths = _prototype_paths(stage, prim, prototypes, points.radius)
    prim.CreatePrototypesRel().SetTargets(paths)
    ids = np.asarray(points.ids, dtype=np.int64)
    prim.CreatePositionsAttr(Vt.Vec3fArray.FromNumpy(np.ascontiguousarray(points.positions, dtype=np.float32)))
    prim.CreateOrientationsAttr(Vt.QuathArray.FromNumpy(orientations(points.rotations).astype(np.float16)))
    # Several prototypes: each point takes one by its id, the same for the same point in every run.
    prim.CreateProtoIndicesAttr(Vt.IntArray.FromNumpy((ids % len(paths)).astype(np.int32)))
    prim.CreateIdsAttr(Vt.Int64Array.FromNumpy(ids))
    return prim


def write_usd(path, points, *, instancer=False, prototypes=(), up_axis="Y"):
    from . import Points

    if not isinstance(points, Points):
        raise TypeError(f"points: expected kyscatter.Points, got {type(points).__name__}")
    stage = _stage(path, up_axis)
    if instancer:
        prim = _write_instancer(stage, points, prototypes)
    else:
        prim = _write_points(stage, points)
    stage.GetRootLayer().Save()
    return prim.GetPath().pathString
