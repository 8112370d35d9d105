"""python3 -m hxrate PATH [--json]: rate a case file and print a short summary.

PATH is a case file, or a folder holding the program's case file. Exit
status: 0 rated, 1 the case could not be read or a formula faulted, 2 a
check rejected the case.
"""

import argparse
import json
import os
import sys

import hxrate

_CASE_FILE = "48230007640350000606.txt"


def _summary(rating):
    case = rating.case
    lines = [
        hxrate.exchanger_title(case.exchanger_type) or f"exchanger type {case.exchanger_type}",
        f"  overall coefficient U   {rating.overall_coefficient:.6g} W/(m2 K)",
        f"  area                    {rating.area:.6g} m2",
        f"  tube film coefficient   {rating.tube.film_coefficient:.6g} W/(m2 K) ({rating.tube.correlation})",
        f"  shell film coefficient  {rating.shell.film_coefficient:.6g} W/(m2 K) ({rating.shell.correlation})",
        f"  tube outlet             {rating.tube_outlet_temperature:.6g}",
        f"  shell outlet            {rating.shell_outlet_temperature:.6g}",
    ]
    assessment = hxrate.assess(case, rating, grids=0)
    if assessment.duty is not None:
        lines.append(f"  duty                    {assessment.duty:.6g} W "
                     f"({assessment.duty_direction})")
    lines.append(f"  shooting passes         {rating.shooting_passes}")
    lines.append(f"  nodes                   {len(rating.profile)}")
    return "\n".join(lines)


def _pass_limit(text):
    """A --pass-limit: a whole number of at least 1."""
    try:
        limit = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a whole number: {text!r}") from None
    if limit < 1:
        raise argparse.ArgumentTypeError(f"must be at least 1, got {limit}")
    return limit


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m hxrate", description=__doc__.splitlines()[0])
    parser.add_argument("path", help="case file, or a folder holding " + _CASE_FILE)
    parser.add_argument("--json", action="store_true", help="print every quantity as JSON")
    parser.add_argument("--shooting", choices=("case", "exact"), default="case")
    parser.add_argument("--pass-limit", type=_pass_limit, default=hxrate.DEFAULT_PASS_LIMIT,
                        help="shooting passes before the case is rejected (default %(default)s)")
    args = parser.parse_args(argv)

    path = args.path
    if os.path.isdir(path):
        path = os.path.join(path, _CASE_FILE)
    try:
        rating = hxrate.rate(hxrate.read_case(path), shooting=args.shooting, pass_limit=args.pass_limit)
    except hxrate.CaseRejected as e:
        if args.json:
            print(json.dumps({"rejected": e.check, "message": e.message}))
        else:
            print(f"rejected ({e.check}): {e.message}")
        return 2
    except hxrate.Error as e:
        print(f"hxrate: {e}", file=sys.stderr)
        return 1
    if args.json:
        print(json.dumps(rating.to_dict(), indent=1))
    else:
        print(_summary(rating))
    return 0


def _run():
    try:
        status = main()
        sys.stdout.flush()
    except BrokenPipeError:
        # The reader went away (`| head -1`): stop quietly, and keep Python
        # from failing again when it flushes standard output at exit.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        status = 1
    return status


if __name__ == "__main__":
    sys.exit(_run())
