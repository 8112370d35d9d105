import importlib.util

import pytest

from conftest import EXAMPLES

distributed = pytest.importorskip("distributed", reason="python3-distributed not installed")

pytestmark = pytest.mark.cluster

REAL_FLUIDS = EXAMPLES / "water-oil" / "real-fluids.json"


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
    serial = sweep.rows_of(sweep.run_serial(base, parameters))
    assert {row["outcome"] for row in serial} == {"rated", "rejected"}, "rows of both kinds"
    document = sweep.read_base(REAL_FLUIDS)
    documents = sweep.rows_of(sweep.run_serial(document, parameters[:12]))
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  host="127.0.0.1", dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            assert all(a.startswith("tcp://127.0.0.1:") for a in client.scheduler_info()["workers"])
            on_cluster = sweep.rows_of(sweep.run_on(client, base, parameters, chunk_size=25))
            assert sweep.rows_of(sweep.run_on(client, base, parameters[:30])) == serial[:30]
            everything = sweep.rows_of(sweep.run_on(client, base, parameters[:40],
                                                    all_columns=True))
            assert sweep.rows_of(sweep.run_on(client, base, [])) == []
            documents_on_cluster = sweep.rows_of(sweep.run_on(client, document,
                                                              parameters[:12], chunk_size=5))
    assert on_cluster == serial
    assert documents_on_cluster == documents
    # all the rating's columns, through rate_many and assess_many: the shared
    # columns as rate_variants gives them
    assert all(len(full) > len(row) and {k: full[k] for k in row} == row
               for full, row in zip(everything, serial[:40]))


def test_a_case_document_base_is_swept_as_documents_with_its_property_models():
    sweep = load_sweep()
    import hxrate

    base = sweep.read_base(REAL_FLUIDS)
    assert isinstance(base, hxrate.CaseDocument)
    assert isinstance(sweep.read_base(sweep.EXAMPLE), hxrate.Case), "a case file stays a case"
    parameters = list(sweep.grid(base))[::97][:12]
    parameters.append(dict(parameters[0], baffle_count=-1))
    rows = sweep.rows_of(sweep.run_serial(base, parameters))
    # each row is its variant's document as rate() rates it, the models kept
    for p, row in zip(parameters, rows):
        variant = hxrate.CaseDocument(
            sweep.case_of(base.case, p), tube_properties=base.tube_properties,
            shell_properties=base.shell_properties, properties_at=base.properties_at)
        x = hxrate.rate(variant, shooting="exact", grids=0)
        assert row["outcome"] == ("rated" if x.solved else "rejected")
        assert [row[k] for k in sweep.PROPERTIES] == [getattr(x, k) for k in sweep.PROPERTIES]
        assert row["overall_coefficient"] == (x.rating.overall_coefficient if x.solved else None)
    assert {row["properties_at"] for row in rows} == {"mean"}
    assert all(row["wall_temperature"] is not None for row in rows[:-1])
    assert (rows[-1]["check"], rows[-1]["wall_temperature"]) == ("baffle-count-minus-one", None)
    # the oil at its mean temperature, not at the document's constant values
    plain = sweep.rows_of(sweep.run_serial(base.case, parameters[:1]))
    assert plain[0]["overall_coefficient"] != rows[0]["overall_coefficient"]


def test_exact_shooting_rates_the_variants_slow_case_factor_shooting_rejects(tmp_path):
    sweep = load_sweep()
    import hxrate

    base = hxrate.read_case(sweep.EXAMPLE)
    items = list(sweep.variants(base))
    slow = [p for (p, _), r in zip(items, hxrate.rate_many([c for _, c in items]))
            if isinstance(r, hxrate.CaseRejected) and r.check in ("shooting-grows", "shooting-limit")]
    assert slow, "the example's grid holds variants the case-factor shooting rejects"
    table = sweep.run_serial(base, slow + [{**slow[0], "baffle_count": -1}])
    rows = sweep.rows_of(table)
    assert [row["outcome"] for row in rows] == ["rated"] * len(slow) + ["rejected"]
    assert all(row["overall_coefficient"] > 0 and row["shell_pressure_drop"] > 0
               for row in rows[:-1])
    picture, csv_file = tmp_path / "sweep.svg", tmp_path / "sweep.csv"
    sweep.plot_svg(table, picture)
    text = picture.read_text()
    assert text.startswith("<svg") and text.count("<circle") == len(slow) + len(sweep.LAYOUTS)
    sweep.write_csv(table, csv_file)
    lines = csv_file.read_text().splitlines()
    assert lines[0].split(",") == list(table) and len(lines) == len(rows) + 1
    # the rejected variant: its outcome, and empty cells for the quantities it has not
    cells = dict(zip(table, lines[-1].split(",")))
    assert [cells[k] for k in ("outcome", "check", "message")] == [
        "rejected", "baffle-count-minus-one", "Baffle count of -1 is not allowed"]
    assert [cells[k] for k in sweep.RATED + ["duty"]] == [""] * (len(sweep.RATED) + 1)


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
