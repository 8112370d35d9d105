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

    base = hxrate.read_case(sweep.EXAMPLE)
    # every 14th variant: both exchanger types and every baffle count; and
    # two that a check rejects, among them
    parameters = list(sweep.grid(base))[::14][:200]
    for i in (3, 150):
        parameters.insert(i, dict(parameters[i], baffle_count=-1))
    serial = sweep.run_serial(base, parameters)
    assert {row["outcome"] for row in serial} == {"rated", "rejected"}, "rows of both kinds"
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  host="127.0.0.1", dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            assert all(a.startswith("tcp://127.0.0.1:") for a in client.scheduler_info()["workers"])
            on_cluster = sweep.run_on(client, base, parameters, chunk_size=25)
            assert sweep.run_on(client, base, parameters[:30], chunk_size=1000) == serial[:30]
    assert on_cluster == serial


def test_exact_shooting_rates_the_variants_slow_case_factor_shooting_rejects(tmp_path):
    sweep = load_sweep()
    import hxrate

    base = hxrate.read_case(sweep.EXAMPLE)
    items = list(sweep.variants(base))
    slow = [item for item, r in zip(items, hxrate.rate_many([c for _, c in items]))
            if isinstance(r, hxrate.CaseRejected) and r.check in ("shooting-grows", "shooting-limit")]
    assert slow, "the example's grid holds variants the case-factor shooting rejects"
    rows = sweep.rate_rows(slow)
    assert {row["outcome"] for row in rows} == {"rated"}
    assert all(row["overall_coefficient"] > 0 and row["shell_pressure_drop"] > 0 for row in rows)
    picture = tmp_path / "sweep.svg"
    sweep.plot_svg(rows + sweep.rate_rows([({**slow[0][0], "baffle_count": -1},
                                            slow[0][1].replace(baffle_count=-1))]), picture)
    text = picture.read_text()
    assert text.startswith("<svg") and text.count("<circle") == len(rows) + len(sweep.LAYOUTS)


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
