"""hxrate.design(): the designs of a space ranked as the library ranks them,
each one a case document that rate() takes, alike on a Dask cluster."""

import json

import pytest

import hxrate
from conftest import EXAMPLES

PROBLEM = EXAMPLES / "design" / "oil-cooler.json"
# A small space: 3/4 in and 5/8 in tubes in three shells, two lengths.
SMALL = {
    "tubes": [{"outer_diameter": {"value": 0.75, "unit": "in"},
               "wall_thickness": {"value": 0.065, "unit": "in"}},
              {"outer_diameter": {"value": 0.625, "unit": "in"},
               "wall_thickness": {"value": 0.065, "unit": "in"}}],
    "layout_angles": [30, 90], "tube_passes": [1, 2, 4], "shells": [1, 2],
    "shell_diameters": {"values": [8, 10, 12], "unit": "in"},
    "tube_lengths": {"values": [8, 10], "unit": "ft"},
    "baffle_cuts": [0.25], "baffle_spacings": [0.3, 0.5, 1.0],
}


def test_designs_are_ranked_and_rate_as_their_documents():
    r = hxrate.design(PROBLEM, SMALL, designs_reported=3)
    assert len(r) > 3 and r.candidates == 432
    assert sum(r.refused.values()) + len(r) == r.candidates
    areas = [d["area"] for d in r.designs]
    assert areas == sorted(areas)
    assert [d["confirmed"] for d in r.designs[:4]] == [True, True, True, False]
    best = r.designs[0]
    rated = hxrate.rate(hxrate.read_case_document(best["document"]))
    assert rated.solved and rated.rating.area == best["area"]
    assert abs(rated.rating.tube_duty) >= r.duty * (1 - 1e-9)
    table = r.table()
    assert table.dtype.names[:2] == ("area", "duty") and list(table["area"]) == areas
    # The same problem given as its value, and from its text.
    as_value = json.loads(PROBLEM.read_text())
    again = hxrate.design(as_value, SMALL, designs_reported=0)
    assert [d["candidate"] for d in again.designs] == [d["candidate"] for d in r.designs]


def test_nothing_feasible_says_what_to_relax():
    value = json.loads(PROBLEM.read_text())
    value["cold"]["allowable_pressure_drop"] = {"value": 1, "unit": "Pa"}
    r = hxrate.design(value, SMALL)
    assert len(r) == 0 and r.refused["tube-pressure-drop"] > 0
    assert r.advice.startswith("no candidate is feasible; most")
    with pytest.raises(hxrate.InputError, match="space.tube_passes"):
        hxrate.design(PROBLEM, {"tube_passes": []})
    with pytest.raises(TypeError):
        hxrate.design(42)


@pytest.mark.cluster
def test_a_local_cluster_gives_the_same_ranking():
    distributed = pytest.importorskip("distributed", reason="python3-distributed not installed")
    here = hxrate.design(PROBLEM, SMALL, designs_reported=2)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  host="127.0.0.1", dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            there = hxrate.design(PROBLEM, SMALL, client=client, chunks=5, designs_reported=2)
    assert [d["candidate"] for d in there.designs] == [d["candidate"] for d in here.designs]
    assert there.refused == here.refused
    assert [d["confirmed"] for d in there.designs[:3]] == [True, True, False]


def test_the_program_writes_the_ranked_designs_and_the_best_document(tmp_path):
    import subprocess
    import sys

    out = tmp_path / "out"
    done = subprocess.run([sys.executable, "-m", "hxrate.design_search", str(PROBLEM), "-o",
                           str(out), "--reported", "1"], capture_output=True, text=True,
                          timeout=120)
    assert done.returncode == 0, done.stderr
    rows = (out / "designs.csv").read_text().splitlines()
    assert rows[0].startswith("rank,area,duty,") and len(rows) > 100
    best = hxrate.rate(hxrate.read_case_document(str(out / "best.case.json")))
    assert float(rows[1].split(",")[1]) == best.rating.area
    bad = subprocess.run([sys.executable, "-m", "hxrate.design_search", str(tmp_path / "none")],
                         capture_output=True, text=True, timeout=60)
    assert bad.returncode == 2 and "none" in bad.stderr
