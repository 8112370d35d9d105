import os
import pathlib

import pytest

import hxrate

CASE_FILE = "48230007640350000606.txt"
RESULTS_FILE = "48230007650350000606.txt"
EXAMPLES = pathlib.Path(
    os.environ.get("HXRATE_EXAMPLES", pathlib.Path(__file__).resolve().parents[2] / "examples")
)
EXAMPLE_TEXT = (EXAMPLES / "water-oil" / CASE_FILE).read_text()


@pytest.fixture
def example():
    return hxrate.read_case(EXAMPLES / "water-oil" / CASE_FILE)


def example_text_with(**lines):
    """The shipped example's text with some case lines' values replaced: line_1="2"."""
    out = []
    for text in EXAMPLE_TEXT.splitlines():
        label, _, rest = text.partition(" ")
        value = lines.get(f"line_{label}")
        out.append(f"{label} {value}" if value is not None else text)
    return "\n".join(out) + "\n"
