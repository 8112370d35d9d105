"""Rating of single-pass shell-and-tube heat exchangers.

    import hxrate
    case = hxrate.read_case("examples/water-oil/48230007640350000606.txt")
    rating = hxrate.rate(case)
    rating.overall_coefficient, rating.profile.tube

Read a case with read_case() or parse_case(), or build one with Case(...);
vary it with case.replace(...); rate() it (the GIL is released, so a thread
pool rates cases in parallel). A case that a check rejects raises
CaseRejected, with the run-log message and the partial Rating; every error
derives from hxrate.Error. assess(case, rating) adds what the library says
beyond the rating: duty, effectiveness, both pressure drops and the warnings.
"""

from ._hxrate import (
    ArithmeticFault,
    Assessment,
    AssessmentWarning,
    Case,
    CaseRejected,
    Error,
    Fluid,
    Geometry,
    InputError,
    Profile,
    Rating,
    ResourceError,
    ShellSideResult,
    ShootingMap,
    SideResult,
    __version__,
    analyse_shooting,
    assess,
    exchanger_title,
    parse_case,
    rate,
    rate_many,
    read_case,
)

__all__ = [
    "ArithmeticFault",
    "Assessment",
    "AssessmentWarning",
    "Case",
    "CaseRejected",
    "Error",
    "Fluid",
    "Geometry",
    "InputError",
    "Profile",
    "Rating",
    "ResourceError",
    "ShellSideResult",
    "ShootingMap",
    "SideResult",
    "__version__",
    "analyse_shooting",
    "assess",
    "exchanger_title",
    "parse_case",
    "rate",
    "rate_many",
    "read_case",
]
