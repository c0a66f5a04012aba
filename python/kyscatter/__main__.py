"""python -m kyscatter MESH --radius R --out points.usda: scatter a mesh file and write the points as USD."""

import argparse
import sys

import numpy as np

from . import _core, read_mesh, scatter, write_usd

_CHANNELS = ("luminance", "red", "green", "blue", "alpha")


def _parser():
    parser = argparse.ArgumentParser(
        prog="python -m kyscatter",
        description="Scatters Poisson-disk points over a mesh file with the kyScatterPoints node's compute and "
                    "writes them as USD: a UsdGeom.Points, or a UsdGeom.PointInstancer with --instancer.")
    parser.add_argument("mesh", help="mesh file (OBJ, PLY, STL, FBX, glTF, ...)")
    parser.add_argument("--out", required=True, help="the USD file to write: .usda, .usdc or .usd")
    spacing = parser.add_mutually_exclusive_group()
    spacing.add_argument("--radius", type=float, help="the spacing of the points (default: for some 30,000 points)")
    spacing.add_argument("--count", type=int, help="search the radius that gives about this many points (1 %%)")
    parser.add_argument("--exact", action="store_true", help="with --count: exactly that many points")
    parser.add_argument("--strict", action="store_true", help="no two points closer than the radius")
    parser.add_argument("--stable", action="store_true", help="points that stay put where the mesh is not edited")
    parser.add_argument("--seed", type=int, default=_core.default_seed)
    parser.add_argument("--passes", type=int, default=_core.default_passes)
    parser.add_argument("--candidates", type=int, default=_core.default_candidates)
    parser.add_argument("--box", type=float, nargs=6, metavar=("MINX", "MINY", "MINZ", "MAXX", "MAXY", "MAXZ"))
    parser.add_argument("--density", choices=_CHANNELS,
                        help="weigh the points by this channel of the file's vertex colours")
    parser.add_argument("--device", choices=("auto", "gpu", "cpu"), default="auto")
    parser.add_argument("--instancer", action="store_true", help="write a UsdGeom.PointInstancer")
    parser.add_argument("--prototype", action="append", default=[], metavar="PRIM_PATH",
                        help="a prim path the instancer instances (repeatable; default: a sphere)")
    parser.add_argument("--surface-data", action="store_true", help="write normals and ids with the points")
    parser.add_argument("--up-axis", choices=("Y", "Z"), default="Y")
    parser.add_argument("--quiet", action="store_true", help="print nothing but errors")
    return parser


def channel_weights(colors, channel):
    """The weights of a density channel of RGBA colours, as the node takes them from a colour set."""
    colors = np.asarray(colors)
    if channel == "luminance":
        rgb = colors[:, :3].astype(np.float64)
        return (0.3 * rgb[:, 0] + 0.59 * rgb[:, 1] + 0.11 * rgb[:, 2]).astype(np.float32)
    return colors[:, _CHANNELS.index(channel) - 1].copy()


def main(argv=None):
    args = _parser().parse_args(argv)
    try:
        if args.density:
            vertices, faces, colors = read_mesh(args.mesh, colors=True)
            density = np.clip(channel_weights(colors, args.density), 0, 1)
        else:
            vertices, faces = read_mesh(args.mesh)
            density = None
        points = scatter(vertices, faces, radius=args.radius, count=args.count, exact_count=args.exact,
                         strict=args.strict, stable=args.stable, seed=args.seed, passes=args.passes,
                         candidates=args.candidates, box=args.box, density=density,
                         surface_data=args.surface_data or args.instancer, device=args.device)
        write_usd(args.out, points, instancer=args.instancer, prototypes=args.prototype, up_axis=args.up_axis)
    except (OSError, ValueError, TypeError, ImportError, RuntimeError, MemoryError) as error:
        print(f"kyscatter: {error}", file=sys.stderr)
        return 1
    if not args.quiet:
        print(f"{len(points)} points at radius {points.radius:g} written to {args.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
