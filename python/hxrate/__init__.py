"""Rating of single-pass shell-and-tube heat exchangers.

    import hxrate
    case = hxrate.read_case("examples/water-oil/48230007640350000606.txt")
    rating = hxrate.rate(case)
    rating.overall_coefficient, rating.profile.tube

Read a case with read_case() or parse_case(), or build one with Case(...);
vary it with case.replace(...) (CASE_FIELDS lists every value with its case
line, unit and symbol); rate() it (the GIL is released, so a thread
pool rates cases in parallel). A case that a check rejects raises
CaseRejected, with the run-log message and the partial Rating; every error
derives from hxrate.Error. assess(case, rating) adds what the library says
beyond the rating: duty, effectiveness, both pressure drops and the warnings.

What the 21 lines cannot hold (fouling, tube passes, shells in series, the
Bell-Delaware shell side) goes with the case into one CaseDocument
(read_case_document() reads one); rate(document) returns one
ExchangerRating: the rating, what the arrangement adds, its assessment and
every warning in one list.

    document = hxrate.CaseDocument(case, tube_passes=2, fouling_inside=1e-4)
    result = hxrate.rate(document)
    result.rating.overall_coefficient, result.assessment.tube_pressure_drop
    [w.code for w in result.warnings]
"""

from ._hxrate import (
    CASE_FIELDS,
    DEFAULT_PASS_LIMIT,
    ArithmeticFault,
    Assessment,
    AssessmentWarning,
    Case,
    CaseDocument,
    CaseField,
    CaseRejected,
    Error,
    ExchangerRating,
    Fluid,
    FluidProperties,
    Geometry,
    InputError,
    Profile,
    PropertyProfile,
    Rating,
    ResourceError,
    ShellSideResult,
    ShootingMap,
    SideResult,
    __version__,
    analyse_shooting,
    assess,
    assess_many,
    exchanger_title,
    parse_case,
    rate,
    rate_many,
    read_case,
    water_properties,
)

__all__ = [
    "CASE_FIELDS",
    "DEFAULT_PASS_LIMIT",
    "ArithmeticFault",
    "Assessment",
    "AssessmentWarning",
    "Case",
    "CaseDocument",
    "CaseField",
    "CaseRejected",
    "Error",
    "ExchangerRating",
    "Fluid",
    "FluidProperties",
    "Geometry",
    "InputError",
    "Profile",
    "PropertyProfile",
    "Rating",
    "ResourceError",
    "ShellSideResult",
    "ShootingMap",
    "SideResult",
    "__version__",
    "analyse_shooting",
    "assess",
    "assess_many",
    "exchanger_title",
    "parse_case",
    "rate",
    "rate_many",
    "read_case",
    "water_properties",
]

# Design closed forms beside the rating (P-NTU, F, Bell-Delaware).
from ._hxrate import (  # noqa: E402
    EShellOutlets,
    InvalidArgument,
    bell_delaware_shell_side,
    bell_ideal_f,
    bell_ideal_j,
    bell_jb,
    bell_jc,
    bell_jl,
    bell_jr,
    bell_js,
    bell_rb,
    bell_rl,
    bell_rs,
    case_document_json,
    count_tubes,
    lmtd_correction,
    lmtd_correction_pr,
    rate_extended,
    read_case_document,
    shells_in_series_p1,
    tema_e_ntu1,
    tema_e_outlets,
    tema_e_p1,
)

__all__ += [
    "EShellOutlets",
    "InvalidArgument",
    "bell_delaware_shell_side",
    "bell_ideal_f",
    "bell_ideal_j",
    "bell_jb",
    "bell_jc",
    "bell_jl",
    "bell_jr",
    "bell_js",
    "bell_rb",
    "bell_rl",
    "bell_rs",
    "case_document_json",
    "count_tubes",
    "lmtd_correction",
    "lmtd_correction_pr",
    "rate_extended",
    "read_case_document",
    "shells_in_series_p1",
    "tema_e_ntu1",
    "tema_e_outlets",
    "tema_e_p1",
]

# Many variants of one case rated at once, the results as columns (sweeps).
from ._hxrate import rate_variants  # noqa: E402

__all__ += ["rate_variants"]

# The fouling of an exchanger in service from its measured outlets.
from ._hxrate import FoulingEstimate, find_fouling  # noqa: E402

__all__ += ["FoulingEstimate", "find_fouling"]

# Flow-induced vibration screening of a cross-flow bundle.
from ._hxrate import (  # noqa: E402
    AcousticCheck,
    MaterialProperties,
    TubeMaterial,
    VibrationInput,
    VibrationScreening,
    VibrationSpan,
    screen_vibration,
    tube_material_properties,
)

__all__ += [
    "AcousticCheck",
    "MaterialProperties",
    "TubeMaterial",
    "VibrationInput",
    "VibrationScreening",
    "VibrationSpan",
    "screen_vibration",
    "tube_material_properties",
]

# Design mode: the exchangers of a design space that meet a duty, ranked.
from .design_search import DesignResult, design  # noqa: E402

__all__ += ["DesignResult", "design"]
