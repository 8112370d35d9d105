"""The package never aborts nor hangs the interpreter: pickling, Ctrl-C, memory
that runs out, a closed pipe; and what Python shows of names and of quantities
a rating did not form."""

import copy
import os
import pickle
import subprocess
import sys
import textwrap

import pytest

import hxrate
from conftest import EXAMPLES, interrupt_after_a_second

EXAMPLE = str(EXAMPLES / "water-oil" / "48230007640350000606.txt")


def _rejected(case):
    try:
        hxrate.rate(case)
    except hxrate.Error as e:
        return e
    raise AssertionError("the case was rated")


def _state(obj):
    """What must survive a pickle round trip."""
    if isinstance(obj, hxrate.Rating):
        return obj.case, obj.to_dict(profile=True)
    if isinstance(obj, BaseException):
        partial = getattr(obj, "partial", None)
        return type(obj), str(obj), obj.code, partial and partial.to_dict()
    return obj


def _picklable(example):
    return {
        "case": example,
        "fluid": example.tube_fluid,
        "rating": hxrate.rate(example),
        "cross-flow rating": hxrate.rate(example.replace(exchanger_type=3, baffle_count=4)),
        "case-rejected": _rejected(example.replace(baffle_count=-1)),
        "resource-error": _rejected(example.replace(element_length=1.5e-9)),
        "arithmetic-fault": _rejected(example.replace(tube_inner_diameter=0.0)),
    }


@pytest.mark.parametrize("protocol", range(pickle.HIGHEST_PROTOCOL + 1))
def test_every_pickle_protocol_round_trips(example, protocol):
    for name, obj in _picklable(example).items():
        back = pickle.loads(pickle.dumps(obj, protocol=protocol))
        assert _state(back) == _state(obj), (name, protocol)
        # The reduce methods themselves give a working recipe, never a crash.
        recipe = obj.__reduce_ex__(protocol)
        rebuilt = recipe[0](*recipe[1])
        if len(recipe) > 2 and recipe[2]:
            rebuilt.__setstate__(recipe[2])
        assert _state(rebuilt) == _state(obj), (name, protocol)
    assert _state(copy.deepcopy(hxrate.rate(example))) == _state(hxrate.rate(example))


# One object of every class the module exports, pickled with every protocol
# and reduced with __reduce_ex__(0) and (1), in a child interpreter so that
# an abort fails the test: each round-trips to the same state or raises
# TypeError. A class the script has no object of fails it too.
EVERY_CLASS = textwrap.dedent("""
    import pickle, sys, hxrate
    from hxrate import _hxrate
    case = hxrate.read_case(sys.argv[1])
    rating = hxrate.rate(case)
    assessment = hxrate.assess(case, rating, grids=0)
    rejected = hxrate.rate_many([case.replace(baffle_count=-1)])[0]
    objects = {
        "Case": case, "Fluid": case.tube_fluid, "CaseField": hxrate.CASE_FIELDS[0],
        "Rating": rating, "Geometry": rating.geometry, "SideResult": rating.tube,
        "ShellSideResult": rating.shell, "Profile": rating.profile,
        "ShootingMap": hxrate.analyse_shooting(case), "Assessment": assessment,
        "AssessmentWarning": assessment.warnings[0],
        "CaseDocument": hxrate.CaseDocument(case, tube_passes=2),
        "ExchangerRating": hxrate.rate(hxrate.CaseDocument(case, tube_passes=2)),
        "EShellOutlets": hxrate.tema_e_outlets(1000, 90, 2000, 20, 500, 2),
        "CaseRejected": rejected,
        "FoulingEstimate": hxrate.find_fouling(hxrate.CaseDocument(case), tube_outlet=30.0),
        "FluidProperties": hxrate.water_properties(20.0, 101325.0),
        "PropertyProfile": hxrate.rate(hxrate.CaseDocument(
            case, tube_properties={"model": "water", "pressure": 3e5})).property_profile,
    }
    vibrating = hxrate.read_case_document(sys.argv[1].replace(
        "water-oil/48230007640350000606.txt", "vibration/vibrating.json"))
    gas = hxrate.VibrationInput(shell_phase="gas", speed_of_sound=340.0)
    screening = hxrate.screen_vibration(vibrating.case, vibrating.extensions, gas)
    objects.update({
        "TubeMaterial": hxrate.TubeMaterial.copper,
        "MaterialProperties": hxrate.tube_material_properties("copper"),
        "VibrationInput": gas, "VibrationScreening": screening,
        "VibrationSpan": screening.spans[0], "AcousticCheck": screening.acoustic,
    })

    def state(obj):
        if isinstance(obj, BaseException):
            return type(obj), str(obj), getattr(obj, "code", None)
        if hasattr(obj, "__members__"):  # an enum: its members name each other
            return type(obj), int(obj)
        if hasattr(obj, "tolist"):
            return obj.tolist()
        if isinstance(obj, (int, float, str, type(None), list, tuple, dict)):
            return obj
        return type(obj), {name: state(getattr(obj, name)) for name in dir(obj)
                           if not name.startswith("_") and not callable(getattr(obj, name))}

    for name, cls in vars(_hxrate).items():
        if not isinstance(cls, type):
            continue
        obj = objects.get(name)
        if obj is None and issubclass(cls, BaseException):
            obj = cls("a message")
        if type(obj) is not cls:
            print("no object of", name)
            continue
        for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
            try:
                back = pickle.loads(pickle.dumps(obj, protocol=protocol))
            except TypeError:
                continue
            if state(back) != state(obj):
                print("changed by pickling:", name, protocol)
        for protocol in (0, 1):
            try:
                recipe = obj.__reduce_ex__(protocol)
            except TypeError:
                continue
            rebuilt = recipe[0](*recipe[1])
            if len(recipe) > 2 and recipe[2]:
                rebuilt.__setstate__(recipe[2])
            if state(rebuilt) != state(obj):
                print("changed by __reduce_ex__:", name, protocol)
    print("done")
""")


def test_pickling_any_object_of_the_module_works_or_raises_type_error():
    done = subprocess.run([sys.executable, "-c", EVERY_CLASS, EXAMPLE],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    assert done.stdout == "done\n", done.stdout


def test_rating_reduce_keeps_the_report(example):
    rating = hxrate.rate(example)
    rebuild, args = rating.__reduce__()
    assert rebuild(*args).results_report() == rating.results_report()


# A counter-current case of a million elements at a small correction factor
# shoots for minutes; the test stops it after a moment. The assessment of
# three million elements re-rates them on twice as fine a grid and for the
# shooting advice, for seconds.
LONG_RATING = textwrap.dedent("""
    import sys, time, hxrate
    example = hxrate.read_case(sys.argv[1])
    case = example.replace(element_length=3.0e-6, correction_factor=0.00043)
    fine = example.replace(element_length=1.0e-6)
    fine_rating = hxrate.rate(fine, shooting="exact") if sys.argv[2] == "assess" else None
    call = {"rate": lambda: hxrate.rate(case),
            "rate_many": lambda: hxrate.rate_many([case, case]),
            "rate_extended": lambda: hxrate.rate_extended(case, fouling_inside=1e-4),
            # about a second each: repeated so that it runs on when interrupted
            "assess": lambda: [hxrate.assess(fine, fine_rating, grids=2, shooting="always")
                               for _ in range(30)],
            }[sys.argv[2]]
    print("started", flush=True)
    start = time.monotonic()
    try:
        call()
        print("finished", flush=True)
    except KeyboardInterrupt:
        print("interrupted", time.monotonic() - start, flush=True)
""")


@pytest.mark.parametrize("call", ["rate", "rate_many", "rate_extended", "assess"])
def test_ctrl_c_stops_a_long_rating_within_a_second(call):
    out, waited, status = interrupt_after_a_second(LONG_RATING, EXAMPLE, call)
    assert out.startswith("interrupted"), out
    assert status == 0 and waited < 1.0, (status, waited)


def test_rate_many_puts_a_storage_refusal_in_its_place(example):
    huge = example.replace(element_length=1.5e-9)  # 2e9 nodes: beyond the storage limit
    results = hxrate.rate_many([example, huge, example])
    assert [type(r) for r in results] == [hxrate.Rating, hxrate.ResourceError, hxrate.Rating]
    assert results[1].code == 30 and isinstance(results[1], MemoryError)
    assert "more than the limit of" in str(results[1])


# Under an address-space limit the machine refuses memory that the storage
# limit allows: the profile's second array (200 MB) finds no room.
OUT_OF_MEMORY = textwrap.dedent("""
    import os, resource, sys, hxrate
    case = hxrate.read_case(sys.argv[1]).replace(exchanger_type=0)
    big = case.replace(element_length=3.0 / 2.5e7)  # 600 MB of nodes
    # The process's memory limit is read at its first rating: set after it,
    # the address-space limit is met by the machine alone.
    hxrate.rate(case)
    in_use = int(open("/proc/self/statm").read().split()[0]) * os.sysconf("SC_PAGE_SIZE")
    limit = in_use + (300 << 20)
    resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
    results = hxrate.rate_many([case, big, case])
    print(*[type(r).__name__ for r in results], results[1].code)
    print(results[1])
    try:
        hxrate.rate(big)
    except MemoryError as e:
        print(type(e).__name__, e.code)
""")


@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""),
                    reason="a sanitizer reserves more address space than the limit")
def test_memory_that_runs_out_is_a_resource_error_in_place():
    done = subprocess.run([sys.executable, "-c", OUT_OF_MEMORY, EXAMPLE],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    lines = done.stdout.split("\n")
    assert lines[0] == "Rating ResourceError Rating 30" and lines[2] == "ResourceError 30"
    assert "the machine refused" in lines[1], lines[1]


def test_names_read_from_a_file_come_without_padding(example):
    assert (example.tube_fluid.name, example.shell_fluid.name, example.wall_material) == (
        "Water", "EngineOil", "Copper")
    built = example.replace(tube_fluid=example.tube_fluid.replace(name="Water"))
    assert built == example and built.tube_fluid.name == "Water"
    assert hxrate.rate(built).results_report() == hxrate.rate(example).results_report()


@pytest.mark.parametrize(
    "change, rejected, formed, not_formed, why",
    [
        ({}, False, ["geometry.element_count", "shell.film_coefficient", "overall_coefficient"],
         ["shell.velocity", "shell_exit_temperature", "shell.bank_row", "tube.bank_row"],
         "axial type: no cross-flow velocity, no exit temperature, no bank row"),
        ({"exchanger_type": 2, "baffle_count": 4}, False,
         ["shell.velocity", "shell_exit_temperature", "shell.bank_row"], [],
         "cross flow forms them all"),
        ({"shell_inner_diameter": 0.05}, True, [],
         ["geometry.outer_diameter", "tube.reynolds", "shell.flow_area", "area",
          "conductance_per_length", "tube_outlet_temperature"],
         "rejected by the tube-fit check before the geometry stage"),
        ({"correction_factor": 50.0}, True, ["conductance_per_length", "tube_mass_flow"],
         ["overall_coefficient", "tube_outlet_temperature", "shell_outlet_temperature"],
         "rejected by the shooting: formed up to the resistance"),
    ],
)
def test_quantities_not_formed_are_none(example, change, rejected, formed, not_formed, why):
    case = example.replace(**change)
    rating = _rejected(case).partial if rejected else hxrate.rate(case)
    row = rating.to_dict()
    for path in formed + not_formed:
        value = rating
        for part in path.split("."):
            value = getattr(value, part)
        key = path.replace("geometry.", "").replace(".", "_")
        assert (value is None) == (path in not_formed), (path, value, why)
        assert row[key] == value, (path, why)


def test_closed_pipe_ends_without_a_traceback():
    done = subprocess.run(f"'{sys.executable}' -m hxrate '{EXAMPLE}' --json | head -1",
                          shell=True, capture_output=True, text=True)
    assert done.stdout == "{\n" and "Traceback" not in done.stderr, done.stderr


@pytest.mark.parametrize("name", ["rate", "rate_many", "analyse_shooting", "parse_case",
                                  "read_case", "exchanger_title"])
def test_signatures_name_real_types(name):
    first = getattr(hxrate, name).__doc__.splitlines()[0]
    assert first.startswith(name + "(") and "handle" not in first and "->" in first
