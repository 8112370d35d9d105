import ast
import inspect
import pathlib

import numpy as np
import pytest

import hxrate

FLUID = dict(name="Water", density=998.0, viscosity=0.001, conductivity=0.6,
             heat_capacity=4180.0, volumetric_flow=0.002)


def test_keyword_construction_matches_the_case_file(example):
    water = hxrate.Fluid(**{**FLUID, "name": "Water     "})
    assert example.tube_fluid == water
    built = example.replace(tube_fluid=water)
    assert built == example and built is not example


def test_repr_rebuilds_the_case(example):
    rebuilt = eval(repr(example), {"Case": hxrate.Case, "Fluid": hxrate.Fluid})
    assert rebuilt == example


def test_replace_returns_a_changed_copy(example):
    before = repr(example)
    changed = example.replace(tube_count=np.int64(80), tube_length=np.float32(1.5))
    assert repr(example) == before
    assert (changed.tube_count, changed.tube_length) == (80, 1.5)
    assert changed != example
    assert changed.replace(tube_count=40, tube_length=3.0) == example
    # nested fluids: a changed flow through the fluid's own replace()
    faster = example.replace(tube_fluid=example.tube_fluid.replace(volumetric_flow=0.004))
    assert faster.tube_fluid.volumetric_flow == 0.004 and example.tube_fluid.volumetric_flow == 0.002
    r, r2 = hxrate.rate(example), hxrate.rate(faster)
    assert r2.tube_mass_flow == 2 * r.tube_mass_flow


def test_fluid_attribute_writes_reach_the_case(example):
    example.tube_fluid.volumetric_flow = 0.004
    assert example.tube_fluid.volumetric_flow == 0.004


def test_cases_are_not_hashable(example):
    with pytest.raises(TypeError):
        hash(example)
    assert (example == "case") is False


@pytest.mark.parametrize(
    "changes, error, why",
    [
        ({"tube_count": "40"}, TypeError, "text is not a number"),
        ({"tube_count": True}, TypeError, "a bool is not a count"),
        ({"tube_count": None}, TypeError, "None is not a count"),
        ({"tube_count": 40.5}, ValueError, "a non-integer tube count"),
        ({"tube_count": 2**31}, ValueError, "beyond a 32-bit integer"),
        ({"tube_count": -(2**31) - 1}, ValueError, "below a 32-bit integer"),
        ({"tube_count": float("inf")}, ValueError, "an infinite count"),
        ({"tube_length": "3"}, TypeError, "text is not a length"),
        ({"tube_length": b"3"}, TypeError, "bytes are not a length"),
        ({"tube_length": float("nan")}, ValueError, "a case file cannot hold a NaN"),
        ({"tube_length": 10**400}, ValueError, "beyond a double"),
        ({"wall_material": 3}, TypeError, "a name is text"),
        ({"tube_fluid": {"density": 1.0}}, TypeError, "a fluid is a Fluid"),
        ({"tube_diameter": 0.01}, TypeError, "unknown keyword"),
    ],
)
def test_wrong_values_raise_python_errors(example, changes, error, why):
    with pytest.raises(error):
        example.replace(**changes)
    with pytest.raises(error):
        hxrate.Case(**changes)
    name, value = next(iter(changes.items()))
    if name != "tube_diameter":
        with pytest.raises(error):
            setattr(example, name, value)


@pytest.mark.parametrize(
    "value, expected",
    [(40, 40), (40.0, 40), (np.int32(7), 7), (np.float64(-3.0), -3), (2**31 - 1, 2**31 - 1)],
)
def test_whole_numbers_are_counts(value, expected):
    assert hxrate.Case(tube_count=value).tube_count == expected


@pytest.mark.parametrize(
    "call, error",
    [
        (lambda c: hxrate.rate("case"), TypeError),
        (lambda c: hxrate.rate(c, shooting="fast"), ValueError),
        (lambda c: hxrate.rate(c, shooting=1), TypeError),
        (lambda c: hxrate.rate(c, pass_limit=1.5), ValueError),
        (lambda c: hxrate.rate(c, 10), TypeError),
        (lambda c: hxrate.Case(1), TypeError),
        (lambda c: hxrate.parse_case(3), TypeError),
        (lambda c: hxrate.read_case(3), TypeError),
    ],
)
def test_wrong_arguments(example, call, error):
    with pytest.raises(error):
        call(example)


def test_names_survive_any_byte():
    text = "\n".join(["1 0", "2 0.016", "3 0", "4 3", "5 0.1", "6 0.3", "7 1", "8 40",
                      "9 0.025", "10 0.025", "11 0", "12", "13 'K\xf6per' 380 0.001"])
    c = hxrate.parse_case(text.encode("latin-1") + b"\n" + b"\n".join([b"14", b"15 w 1 1 1 1 1",
                          b"16 o 1 1 1 1 1", b"17", b"18 1", b"19 2", b"20", b"21 0.5"]))
    assert c.wall_material.encode("utf-8", "surrogateescape").startswith(b"K\xf6per")
    assert c.replace(wall_material=c.wall_material) == c


STUB = pathlib.Path(hxrate.__file__).with_name("_hxrate.pyi")


def _stub_names():
    tree = ast.parse(STUB.read_text())
    names = {}
    for node in tree.body:
        if isinstance(node, ast.ClassDef):
            members = set()
            for item in node.body:
                if isinstance(item, ast.FunctionDef):
                    members.add(item.name)
                elif isinstance(item, ast.AnnAssign):
                    members.add(item.target.id)
            names[node.name] = members
        elif isinstance(node, ast.FunctionDef):
            names[node.name] = None
        elif isinstance(node, ast.AnnAssign):
            names[node.target.id] = None
    return names


def test_stub_lists_every_public_name_and_attribute():
    stub = _stub_names()
    for name in hxrate.__all__:
        assert name in stub, f"{name} missing from the stub"
        obj = getattr(hxrate, name)
        if inspect.isclass(obj) and not issubclass(obj, BaseException):
            public = {m for m in vars(obj) if not m.startswith("_")}
            assert public <= stub[name], f"{name}: {public - stub[name]} missing from the stub"


@pytest.mark.parametrize("name", hxrate.__all__)
def test_every_public_name_has_a_docstring(name):
    obj = getattr(hxrate, name)
    if name == "__version__":
        assert obj.count(".") == 2
        return
    assert (obj.__doc__ or "").strip(), name
    if inspect.isclass(obj):
        for member, value in vars(obj).items():
            if not member.startswith("_"):
                assert (value.__doc__ or "").strip(), f"{name}.{member}"


def test_help_of_rate_tells_arguments_and_errors():
    doc = hxrate.rate.__doc__
    for word in ("shooting", "pass_limit", "exact", "CaseRejected", "ArithmeticFault", "GIL"):
        assert word in doc


def _stub_keywords(cls, method):
    tree = ast.parse(STUB.read_text())
    node = next(n for n in tree.body if isinstance(n, ast.ClassDef) and n.name == cls)
    if method is None:
        return [i.target.id for i in node.body if isinstance(i, ast.AnnAssign)]
    func = next(i for i in node.body if isinstance(i, ast.FunctionDef) and i.name == method)
    return [a.arg for a in func.args.kwonlyargs]


def test_stub_and_keywords_follow_the_table_of_case_fields():
    case_names, fluid_names = [], []
    for f in hxrate.CASE_FIELDS:
        record, _, member = f.name.rpartition(".")
        if not record:
            case_names.append(member)
        elif record not in case_names:
            case_names.append(record)
        if record == "tube_fluid":
            fluid_names.append(member)
    assert list(hxrate.Case().to_dict()) == case_names
    assert list(hxrate.Fluid().to_dict()) == fluid_names
    for method in (None, "__init__", "replace"):
        assert _stub_keywords("Case", method) == case_names, method
        assert _stub_keywords("Fluid", method) == fluid_names, method


SCHEMA = pathlib.Path(__file__).parents[2] / "docs" / "case-document.schema.json"


def test_table_agrees_with_the_case_document_schema():
    # The schema is the document's contract: the table's names in its order,
    # each field's case line (a fluid's is its object's), kind and unit.
    import json
    case = json.loads(SCHEMA.read_text())["properties"]["case"]["properties"]
    seen = []
    for f in hxrate.CASE_FIELDS:
        record, _, member = f.name.rpartition(".")
        top = case[record or member]
        node = top["properties"][member] if record else top
        seen += [] if (record or member) in seen else [record or member]
        assert top["description"].startswith(f"Case line {f.case_line}:"), f.name
        if f.kind == "quantity":
            assert node["properties"]["unit"]["default"] == f.unit, f.name
        else:
            kinds = {"number": "number", "integer": "integer", "text": "string"}
            assert node["type"] == kinds[f.kind], f.name
    assert seen == list(case)
