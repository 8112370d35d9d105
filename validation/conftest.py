"""The validation modules import each other from this folder; the hxrate
package comes from PYTHONPATH (run_validation.py puts the build's module
folder there)."""

import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
