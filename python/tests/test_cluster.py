import importlib.util

import pytest

from conftest import EXAMPLES

distributed = pytest.importorskip("distributed", reason="python3-distributed not installed")

pytestmark = pytest.mark.cluster


def load_sweep():
    source = importlib.util.spec_from_file_location("sweep", EXAMPLES / "python" / "sweep.py")
    sweep = importlib.util.module_from_spec(source)
    source.loader.exec_module(sweep)
    return sweep


def test_local_cluster_gives_exactly_the_serial_results():
    sweep = load_sweep()
    import hxrate

    items = list(sweep.variants(hxrate.read_case(sweep.EXAMPLE)))
    # every 14th variant: both exchanger types and every baffle count
    items = items[::14][:200]
    assert len(items) == 200
    serial = sweep.run_serial(items)
    assert {row["outcome"] for row in serial} >= {"rated", "rejected"}, "rows of both kinds"
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  host="127.0.0.1", dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            assert all(a.startswith("tcp://127.0.0.1:") for a in client.scheduler_info()["workers"])
            on_cluster = sweep.run_on(client, items, batch_size=25)
    assert on_cluster == serial


def test_rejected_cases_become_rows():
    sweep = load_sweep()
    import hxrate

    base = hxrate.read_case(sweep.EXAMPLE)
    rows = sweep.rate_rows([({"n": 1}, base.replace(baffle_count=-1)),
                            ({"n": 2}, base.replace(tube_inner_diameter=0.0)),
                            ({"n": 3}, base)])
    assert [(r["outcome"], r["check"]) for r in rows] == [
        ("rejected", "baffle-count-minus-one"), ("ArithmeticFault", ""), ("rated", "")]
    assert rows[0]["message"] == "Baffle count of -1 is not allowed"
