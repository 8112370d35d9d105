"""The page generator runs and writes the page and its plot."""

import xml.etree.ElementTree as ET

import pytest

pytest.importorskip("fluids", reason="python3-fluids not installed")

import make_page  # noqa: E402


def test_page_is_generated(tmp_path):
    page, plot = make_page.write(tmp_path)
    text = page.read_text()
    assert "| Re |" in text and plot.name in text
    ET.parse(plot)  # well-formed SVG
