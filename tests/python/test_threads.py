"""Calls from several threads at once give what the same calls give one at a time."""

from concurrent.futures import ThreadPoolExecutor

import numpy as np

import kyscatter
from conftest import ASSETS


def test_concurrent_calls_give_the_sequential_points():
    vertices, faces = kyscatter.read_mesh(ASSETS / "tube.obj")
    jobs = [dict(seed=seed, radius=0.03, strict=seed % 2 == 0, surface_data=seed % 3 == 0) for seed in range(8)]
    jobs.append(dict(count=300, exact_count=True))
    alone = [kyscatter.scatter(vertices, faces, **job) for job in jobs]
    with ThreadPoolExecutor(max_workers=4) as pool:
        together = list(pool.map(lambda job: kyscatter.scatter(vertices, faces, **job), jobs * 2))
    for i, points in enumerate(together):
        expected = alone[i % len(jobs)]
        np.testing.assert_array_equal(points.positions, expected.positions)
        if expected.has_surface_data:
            np.testing.assert_array_equal(points.ids, expected.ids)
