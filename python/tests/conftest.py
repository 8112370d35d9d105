import os
import pathlib
import signal
import subprocess
import sys
import time

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


def interrupt_after_a_second(script, *args):
    """Runs `script` in a child interpreter, which prints "started" before a
    long call and "interrupted ..." when KeyboardInterrupt ends it; sends
    SIGINT a second after "started" and returns (its output, the seconds
    from the signal to its end, its exit status)."""
    p = subprocess.Popen([sys.executable, "-c", script, *args], stdout=subprocess.PIPE,
                         text=True)
    try:
        assert p.stdout.readline().strip() == "started"
        time.sleep(1.0)
        assert p.poll() is None, "the rating ended before it could be interrupted"
        sent = time.monotonic()
        p.send_signal(signal.SIGINT)
        out = p.communicate(timeout=10)[0]
        return out, time.monotonic() - sent, p.returncode
    finally:
        p.kill()
