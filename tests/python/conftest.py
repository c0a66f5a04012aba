"""What the package's tests share: the kyscatter tool built beside them, its test meshes, and its point files."""

import os
import pathlib
import subprocess

import numpy as np
import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
ASSETS = ROOT / "tests" / "tool" / "assets"


@pytest.fixture(scope="session")
def tool():
    """Runs the kyscatter binary of the CMake build (KYSCATTER_TOOL names another) and returns its points."""
    binary = pathlib.Path(os.environ.get("KYSCATTER_TOOL", ROOT / "build" / "tools" / "kyscatter"))
    if not binary.is_file():
        pytest.fail(f"no kyscatter tool at {binary}: build the project first (scripts/build), or set KYSCATTER_TOOL")

    def run(*args, out, normals=False):
        line = [str(binary), *map(str, args), "--quiet", "--out", str(out)] + (["--normals"] if normals else [])
        done = subprocess.run(line, capture_output=True, text=True)
        assert done.returncode == 0, done.stderr
        return read_ply(out)

    return run


def read_ply(path):
    """The tool's binary PLY: (K, 3) float32 positions, or (K, 6) with the normals."""
    data = pathlib.Path(path).read_bytes()
    end = data.index(b"end_header\n") + len(b"end_header\n")
    header = data[:end].decode()
    columns = header.count("property float")
    return np.frombuffer(data[end:], dtype="<f4").reshape(-1, columns)


@pytest.fixture(scope="session")
def painted_grid(tmp_path_factory):
    """A 6 x 6 grid of quads on y = 0 that share their vertices, red where x > 0.5 and a dim red elsewhere, as an
    ASCII PLY with vertex colours: more face vertices than vertices."""
    n = 6
    path = tmp_path_factory.mktemp("meshes") / "grid.ply"
    lines = ["ply", "format ascii 1.0", f"element vertex {(n + 1) ** 2}"]
    lines += [f"property float {a}" for a in "xyz"] + [f"property uchar {c}" for c in ("red", "green", "blue")]
    lines += [f"element face {n * n}", "property list uchar int vertex_indices", "end_header"]
    for i in range(n + 1):
        for j in range(n + 1):
            x, z = j / n, i / n
            lines.append(f"{x} 0 {z} {255 if x > 0.5 else 64} 0 0")
    for i in range(n):
        for j in range(n):
            a = i * (n + 1) + j
            lines.append(f"4 {a} {a + n + 1} {a + n + 2} {a + 1}")
    path.write_text("\n".join(lines) + "\n")
    return path
