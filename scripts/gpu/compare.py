#!/usr/bin/env python3
"""Compares two stage dumps (CPU road and GPU road): area tables, then candidates, then the points, which must all be
the same, byte for byte and in the same order."""
import os
import struct
import sys
from array import array


def load(path, code):
    values = array(code)
    with open(path, "rb") as f:
        values.frombytes(f.read())
    return values


def compare_mesh(cpu_dir, gpu_dir, stem):
    lines = []
    areas_cpu = load(os.path.join(cpu_dir, stem + ".areas"), "f")
    areas_gpu = load(os.path.join(gpu_dir, stem + ".areas"), "f")
    differing = sum(1 for a, b in zip(areas_cpu, areas_gpu) if a != b)
    worst = max((abs(a - b) / max(abs(a), 1e-30) for a, b in zip(areas_cpu, areas_gpu)), default=0.0)
    lines.append(f"  area table: {len(areas_cpu)} entries, {differing} differ, largest relative difference {worst:.3g}")
    keys_cpu = load(os.path.join(cpu_dir, stem + ".keys"), "I")
    keys_gpu = load(os.path.join(gpu_dir, stem + ".keys"), "I")
    moved = 0
    for axis in "xyz":
        a = load(os.path.join(cpu_dir, f"{stem}.{axis}"), "f")
        b = load(os.path.join(gpu_dir, f"{stem}.{axis}"), "f")
        moved = max(moved, sum(1 for p, q in zip(a, b) if p != q))
    key_diff = sum(1 for p, q in zip(keys_cpu, keys_gpu) if p != q)
    lines.append(f"  candidates: {len(keys_cpu)}, {moved} positions and {key_diff} cell keys differ")
    pts_cpu = load(os.path.join(cpu_dir, stem + ".points"), "f")
    pts_gpu = load(os.path.join(gpu_dir, stem + ".points"), "f")
    set_cpu = {tuple(pts_cpu[i:i + 3]) for i in range(0, len(pts_cpu), 3)}
    set_gpu = {tuple(pts_gpu[i:i + 3]) for i in range(0, len(pts_gpu), 3)}
    in_order = pts_cpu.tobytes() == pts_gpu.tobytes()
    lines.append(f"  points: CPU {len(set_cpu)}, GPU {len(set_gpu)}, {len(set_cpu & set_gpu)} shared, "
                 f"{len(set_cpu ^ set_gpu)} in one only; the same bytes in the same order: {'yes' if in_order else 'no'}")
    same = differing == 0 and moved == 0 and key_diff == 0 and in_order
    return same, lines


def main():
    if len(sys.argv) != 3:
        print("usage: compare.py CPU_DUMP_DIR GPU_DUMP_DIR", file=sys.stderr)
        return 2
    cpu_dir, gpu_dir = sys.argv[1:]
    stems = sorted(f[:-6] for f in os.listdir(cpu_dir) if f.endswith(".areas"))
    identical = True
    for stem in stems:
        same, lines = compare_mesh(cpu_dir, gpu_dir, stem)
        identical = identical and same
        print(f"{stem}: {'identical' if same else 'differs'}")
        print("\n".join(lines))
    return 0 if identical else 1


if __name__ == "__main__":
    sys.exit(main())
