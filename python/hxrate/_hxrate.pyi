# Types of the hxrate extension module, for editors and type checkers.
from os import PathLike
from typing import Any, Iterator, Literal, NamedTuple, Optional, Union, overload

import numpy as np
import numpy.typing as npt

__version__: str

Correlation = Literal[
    "laminar-duct",
    "turbulent-duct",
    "single-cylinder",
    "inline-bank",
    "staggered-bank",
    "axial-bundle",
    "sparse-laminar",
    "sparse-turbulent",
]
Stage = Literal[
    "started", "geometry", "tube-side", "shell-flow", "shell-heat-transfer", "resistance", "solved"
]
_Real = Union[float, int]

class Error(RuntimeError):
    """Base of every hxrate error."""

    code: int

class CaseRejected(Error):
    """A check rejected the case."""

    message: str
    check: str
    partial: Optional[Rating]

class InputError(Error):
    """The case text could not be read as a case."""

    file: str
    case_line: int
    line: int
    column: int
    text: str
    reason: str

class ArithmeticFault(Error):
    """A formula raised a floating-point fault."""

    quantity: str
    fault: Literal["division-by-zero", "invalid-operation", "overflow", "integer-conversion"]

class ResourceError(Error, MemoryError):
    """The machine refused what the rating needs (memory); also a MemoryError."""

class Fluid:
    """One fluid stream, in the case's consistent units."""

    name: str
    density: float
    viscosity: float
    conductivity: float
    heat_capacity: float
    volumetric_flow: float
    def __init__(
        self,
        *,
        name: str = ...,
        density: _Real = ...,
        viscosity: _Real = ...,
        conductivity: _Real = ...,
        heat_capacity: _Real = ...,
        volumetric_flow: _Real = ...,
    ) -> None: ...
    def replace(
        self,
        *,
        name: str = ...,
        density: _Real = ...,
        viscosity: _Real = ...,
        conductivity: _Real = ...,
        heat_capacity: _Real = ...,
        volumetric_flow: _Real = ...,
    ) -> Fluid: ...
    def to_dict(self) -> dict[str, Any]: ...
    def __eq__(self, other: object) -> bool: ...

class Case:
    """Every value of the case file, in case-line order."""

    exchanger_type: int
    tube_inner_diameter: float
    inner_roughness: float
    tube_length: float
    element_length: float
    shell_inner_diameter: float
    bundle_arrangement: int
    tube_count: int
    longitudinal_pitch: float
    transverse_pitch: float
    baffle_count: int
    wall_material: str
    wall_conductivity: float
    wall_thickness: float
    tube_fluid: Fluid
    shell_fluid: Fluid
    tube_inlet_temperature: float
    shell_inlet_temperature: float
    correction_factor: float
    def __init__(
        self,
        *,
        exchanger_type: int = ...,
        tube_inner_diameter: _Real = ...,
        inner_roughness: _Real = ...,
        tube_length: _Real = ...,
        element_length: _Real = ...,
        shell_inner_diameter: _Real = ...,
        bundle_arrangement: int = ...,
        tube_count: int = ...,
        longitudinal_pitch: _Real = ...,
        transverse_pitch: _Real = ...,
        baffle_count: int = ...,
        wall_material: str = ...,
        wall_conductivity: _Real = ...,
        wall_thickness: _Real = ...,
        tube_fluid: Fluid = ...,
        shell_fluid: Fluid = ...,
        tube_inlet_temperature: _Real = ...,
        shell_inlet_temperature: _Real = ...,
        correction_factor: _Real = ...,
    ) -> None: ...
    def replace(
        self,
        *,
        exchanger_type: int = ...,
        tube_inner_diameter: _Real = ...,
        inner_roughness: _Real = ...,
        tube_length: _Real = ...,
        element_length: _Real = ...,
        shell_inner_diameter: _Real = ...,
        bundle_arrangement: int = ...,
        tube_count: int = ...,
        longitudinal_pitch: _Real = ...,
        transverse_pitch: _Real = ...,
        baffle_count: int = ...,
        wall_material: str = ...,
        wall_conductivity: _Real = ...,
        wall_thickness: _Real = ...,
        tube_fluid: Fluid = ...,
        shell_fluid: Fluid = ...,
        tube_inlet_temperature: _Real = ...,
        shell_inlet_temperature: _Real = ...,
        correction_factor: _Real = ...,
    ) -> Case: ...
    def to_dict(self) -> dict[str, Any]: ...
    def __eq__(self, other: object) -> bool: ...

class CaseField(NamedTuple):
    """One value of the case file: its case line, name, words, unit, symbol and kind."""

    case_line: int
    name: str
    label: str
    description: str
    unit: str
    symbol: str
    kind: Literal["quantity", "number", "integer", "text"]

# Every value of a case in case-line order; a fluid's name is "tube_fluid.density".
CASE_FIELDS: tuple[CaseField, ...]

# Shooting passes a rating allows unless told otherwise: every pass_limit's default.
DEFAULT_PASS_LIMIT: int

class Geometry:
    """Geometry derived from the case; None where the rating stopped before forming it."""

    @property
    def outer_diameter(self) -> Optional[float]: ...
    @property
    def element_count(self) -> Optional[int]: ...
    @property
    def compartment_count(self) -> Optional[int]: ...
    @property
    def elements_per_compartment(self) -> Optional[int]: ...
    @property
    def baffle_spacing(self) -> Optional[float]: ...
    @property
    def diagonal_pitch(self) -> Optional[float]: ...
    @property
    def bundle_cell_size(self) -> Optional[float]: ...
    @property
    def wall_resistance(self) -> Optional[float]: ...

class SideResult:
    """One side's heat transfer; None where not formed."""

    @property
    def reynolds(self) -> Optional[float]: ...
    @property
    def prandtl(self) -> Optional[float]: ...
    @property
    def nusselt(self) -> Optional[float]: ...
    @property
    def friction(self) -> Optional[float]: ...
    @property
    def film_coefficient(self) -> Optional[float]: ...
    @property
    def film_resistance(self) -> Optional[float]: ...
    @property
    def correlation(self) -> Optional[Correlation]: ...
    @property
    def bank_row(self) -> Optional[int]: ...

class ShellSideResult(SideResult):
    """The shell side's heat transfer and flow quantities."""

    @property
    def flow_area(self) -> Optional[float]: ...
    @property
    def characteristic_length(self) -> Optional[float]: ...
    @property
    def velocity(self) -> Optional[float]: ...

class Profile:
    """Node values as read-only numpy views of the rating's storage."""

    @property
    def location(self) -> npt.NDArray[np.float64]: ...
    @property
    def tube(self) -> npt.NDArray[np.float64]: ...
    @property
    def shell(self) -> npt.NDArray[np.float64]: ...
    def __len__(self) -> int: ...

class Rating:
    """The result of rate()."""

    @property
    def stage(self) -> Stage: ...
    @property
    def case(self) -> Case: ...
    @property
    def geometry(self) -> Geometry: ...
    @property
    def tube(self) -> SideResult: ...
    @property
    def shell(self) -> ShellSideResult: ...
    @property
    def resistance_per_length(self) -> Optional[float]: ...
    @property
    def conductance_per_length(self) -> Optional[float]: ...
    @property
    def overall_coefficient(self) -> Optional[float]: ...
    @property
    def area(self) -> Optional[float]: ...
    @property
    def tube_mass_flow(self) -> Optional[float]: ...
    @property
    def shell_mass_flow(self) -> Optional[float]: ...
    @property
    def shooting_passes(self) -> int: ...
    @property
    def shell_exit_temperature(self) -> Optional[float]: ...
    @property
    def tube_outlet_temperature(self) -> Optional[float]: ...
    @property
    def shell_outlet_temperature(self) -> Optional[float]: ...
    @property
    def tube_duty(self) -> Optional[float]: ...
    @property
    def shell_duty(self) -> Optional[float]: ...
    @property
    def profile(self) -> Profile: ...
    def to_dict(self, *, profile: bool = False) -> dict[str, Any]: ...
    def results_report(self) -> str: ...

class ShootingMap:
    """The shooting of a counter-current case as an affine map."""

    @property
    def first_mismatch(self) -> float: ...
    @property
    def slope(self) -> float: ...
    @property
    def conductance_per_length(self) -> float: ...

class AssessmentWarning:
    """One finding of an assessment: what it is, how serious, where, and the values it names."""

    @property
    def code(self) -> str: ...
    @property
    def severity(self) -> Literal["info", "warning", "error"]: ...
    @property
    def case_line(self) -> int: ...
    @property
    def message(self) -> str: ...
    @property
    def values(self) -> dict[str, float]: ...
    @property
    def field(self) -> str: ...

class Assessment:
    """What the library says about a rated case; a quantity not formed is None."""

    @property
    def warnings(self) -> list[AssessmentWarning]: ...
    @property
    def duty(self) -> Optional[float]: ...
    @property
    def duty_direction(self) -> Literal["tube stream cooled", "tube stream heated", "none"]: ...
    @property
    def effectiveness(self) -> Optional[float]: ...
    @property
    def ntu(self) -> Optional[float]: ...
    @property
    def capacity_ratio(self) -> Optional[float]: ...
    @property
    def lmtd(self) -> Optional[float]: ...
    @property
    def tube_pressure_drop(self) -> Optional[float]: ...
    @property
    def shell_pressure_drop(self) -> Optional[float]: ...
    @property
    def tube_pressure_drop_method(self) -> Optional[Literal["darcy-weisbach"]]: ...
    @property
    def shell_pressure_drop_method(self) -> Optional[Literal["darcy-weisbach", "kern"]]: ...
    @property
    def viscosity_correction(self) -> Optional[float]:
        """Kern's phi_s = (mu/mu_w)^0.14; None unless shell_wall_viscosity was given."""
    @property
    def corrected_pressure_drop(self) -> Optional[float]:
        """Kern's shell-side drop / phi_s, Pa; None where viscosity_correction is None."""
    @property
    def advised_factor(self) -> Optional[float]: ...
    @property
    def discretisation_estimate(self) -> Optional[float]: ...

def assess(
    case: Case,
    rating: Union[Rating, CaseRejected],
    *,
    text: Union[str, bytes, None] = None,
    grids: Literal[0, 2, 3] = 2,
    shooting: Literal["when-slow", "always"] = "when-slow",
    shell_wall_viscosity: Optional[float] = None,
) -> Assessment:
    """Assesses a rating (or a rejection's partial one); the case-text checks run on text, or
    on the text parse_case or read_case read the case from while it is unchanged.

    shell_wall_viscosity (mu_w, Pa s) adds Kern's wall-viscosity correction. Raises
    InvalidArgument when rating.case != case. Ctrl-C stops it with KeyboardInterrupt
    within a second."""

def assess_many(
    cases: list[Case],
    ratings: list[Union[Rating, Error, None]],
    *,
    grids: Literal[0, 2, 3] = 2,
    shooting: Literal["when-slow", "always"] = "when-slow",
    shell_wall_viscosity: Optional[float] = None,
) -> list[Union[Assessment, Error, None]]:
    """Assesses rate_many()'s results with the GIL released once; None where nothing was rated.

    InvalidArgument in the place of a rating of another case than its own. Ctrl-C stops
    the list with KeyboardInterrupt within a second."""

@overload
def rate(
    case: Case, *, shooting: Literal["case", "exact"] = "case", pass_limit: int = 10000
) -> Rating:
    """Rates a case; raises CaseRejected, ArithmeticFault or ResourceError.

    ValueError for a pass_limit below 1. Ctrl-C stops a long rating with KeyboardInterrupt
    within a second."""

@overload
def rate(
    document: CaseDocument,
    *,
    shooting: Literal["case", "exact"] = "case",
    pass_limit: int = 10000,
    assess: bool = True,
    grids: Literal[0, 2, 3] = 2,
    shooting_analysis: Literal["when-slow", "always"] = "when-slow",
) -> ExchangerRating:
    """Rates a case with its extensions: the rating, what the arrangement adds, its
    assessment and every warning. A rejection is a result (solved False), not an exception."""

@overload
def rate(
    case: Case,
    *,
    fouling_inside: float = 0.0,
    fouling_outside: float = 0.0,
    tube_passes: int = 1,
    shells: int = 1,
    shell_side: Literal["program", "bell-delaware"] = "program",
    baffles: Optional[dict[str, float]] = None,
    shell_wall_viscosity: Optional[float] = None,
    tube_properties: Optional[dict[str, Any]] = None,
    shell_properties: Optional[dict[str, Any]] = None,
    properties_at: Literal["inlet", "mean", "incremental"] = "inlet",
    vibration: Optional[VibrationInput] = None,
    shooting: Literal["case", "exact"] = "case",
    pass_limit: int = 10000,
    assess: bool = True,
    grids: Literal[0, 2, 3] = 2,
    shooting_analysis: Literal["when-slow", "always"] = "when-slow",
) -> ExchangerRating:
    """rate(CaseDocument(case, **extension and property keywords))."""

@overload
def rate_many(
    cases: list[Case], *, shooting: Literal["case", "exact"] = "case", pass_limit: int = 10000
) -> list[Union[Rating, Error]]:
    """Rates every case with the GIL released once; errors stand in place of ratings."""

@overload
def rate_many(
    documents: list[CaseDocument],
    *,
    shooting: Literal["case", "exact"] = "case",
    pass_limit: int = 10000,
    assess: bool = True,
    grids: Literal[0, 2, 3] = 2,
    shooting_analysis: Literal["when-slow", "always"] = "when-slow",
) -> list[Union[ExchangerRating, Error]]:
    """Rates every document as rate(document) does, with the GIL released once."""

class CaseDocument:
    """What is rated: a Case with its extensions, as a case document holds them."""

    def __init__(
        self,
        case: Case,
        *,
        fouling_inside: float = 0.0,
        fouling_outside: float = 0.0,
        tube_passes: int = 1,
        shells: int = 1,
        shell_side: Literal["program", "bell-delaware"] = "program",
        baffles: Optional[dict[str, float]] = None,
        shell_wall_viscosity: Optional[float] = None,
        tube_properties: Optional[dict[str, Any]] = None,
        shell_properties: Optional[dict[str, Any]] = None,
        properties_at: Literal["inlet", "mean", "incremental"] = "inlet",
        vibration: Optional[VibrationInput] = None,
    ) -> None:
        """Each stream's property model: None (the case's constant values),
        {"model": "table", "table": [{"temperature": degC, "density", "viscosity",
        "conductivity", "heat_capacity": SI}, ...]} or {"model": "water", "pressure": Pa};
        properties_at: where the models are evaluated ("incremental": element by element);
        vibration: the input of the vibration screening (None: its defaults)."""
    case: Case
    extensions: dict[str, Any]
    tube_properties: Optional[dict[str, Any]]
    shell_properties: Optional[dict[str, Any]]
    properties_at: Literal["inlet", "mean", "incremental"]
    @property
    def vibration(self) -> VibrationInput: ...
    @vibration.setter
    def vibration(self, value: Optional[VibrationInput]) -> None: ...
    @property
    def given(self) -> list[dict[str, Any]]: ...
    def __iter__(self) -> Iterator[Any]:
        """The old (case, extensions) pair; deprecated."""
    def __getitem__(self, index: int) -> Any:
        """The old (case, extensions) pair by index; deprecated."""

class ExchangerRating:
    """The one result of rating a CaseDocument."""

    @property
    def solved(self) -> bool: ...
    @property
    def rejected_by(self) -> Optional[str]: ...
    @property
    def rejection_message(self) -> Optional[str]: ...
    @property
    def rating(self) -> Rating: ...
    @property
    def extended(self) -> Optional[dict[str, Any]]: ...
    @property
    def assessment(self) -> Optional[Assessment]: ...
    @property
    def warnings(self) -> list[AssessmentWarning]: ...
    @property
    def properties_at(self) -> Literal["inlet", "mean", "incremental"]:
        """The mode used: the document's, "mean" for several passes or shells (P-NTU)."""
    @property
    def tube_property_temperature(self) -> Optional[float]:
        """degC the tube stream's properties were taken at; None for a constant model."""
    @property
    def shell_property_temperature(self) -> Optional[float]:
        """degC the shell stream's properties were taken at; None for a constant model."""
    @property
    def mean_iterations(self) -> int:
        """Re-ratings of the mean mode (0 for inlet)."""
    @property
    def wall_temperature(self) -> Optional[float]:
        """Shell-side wall temperature, degC, where a model is used and the case was rated."""
    @property
    def shell_wall_viscosity(self) -> Optional[float]:
        """Wall viscosity the (mu/mu_w)^0.14 corrections used, Pa s."""
    @property
    def rated_case(self) -> Optional[Case]:
        """The Case as rated where a model is not constant; None otherwise."""
    @property
    def property_profile(self) -> Optional[PropertyProfile]:
        """Viscosities, wall temperature and U along the tubes, where a model is used and
        one pass in one shell was marched to its end."""
    @property
    def vibration(self) -> Optional[VibrationScreening]:
        """The vibration screening of a solved cross-flow case, as rated; None otherwise."""

class PropertyProfile:
    """The streams' properties at the rating's profile nodes (read-only numpy arrays)."""

    tube_viscosity: npt.NDArray[np.float64]
    shell_viscosity: npt.NDArray[np.float64]
    wall_temperature: npt.NDArray[np.float64]
    overall_coefficient: npt.NDArray[np.float64]
    def __len__(self) -> int: ...

class FluidProperties:
    """A fluid's four properties at one state, SI."""

    @property
    def density(self) -> float: ...
    @property
    def viscosity(self) -> float: ...
    @property
    def conductivity(self) -> float: ...
    @property
    def heat_capacity(self) -> float: ...

def water_properties(temperature: float, pressure: float) -> FluidProperties:
    """Liquid water at temperature (degC) and absolute pressure (Pa), IAPWS-IF97 region 1 with
    R12-08 viscosity and R15-11 conductivity; InvalidArgument where it is not liquid (with
    stream, temperature, pressure, low, high)."""

def rate_variants(
    base: Case,
    variants: dict[str, npt.ArrayLike],
    *,
    shooting: Literal["case", "exact"] = "case",
    pass_limit: int = 10000,
    assess: bool = False,
    grids: Literal[0, 2, 3] = 2,
) -> dict[str, Union[list[Optional[str]], np.ma.MaskedArray[Any, Any]]]:
    """Rates (and with assess assesses) variants of base named by arrays of CASE_FIELDS values.

    One row per variant, as columns: outcome, check, message (lists of str), then
    overall_coefficient, area, tube_outlet_temperature, shell_outlet_temperature and
    shooting_passes (masked where not rated); with assess also duty, tube_pressure_drop,
    shell_pressure_drop (masked where not formed), duty_direction and warnings (None where
    there is no assessment). Ctrl-C stops it with KeyboardInterrupt within a second."""

def analyse_shooting(case: Case, *, pass_limit: int = 10000) -> ShootingMap:
    """Two passes of a counter-current case's march, as an affine map."""

def parse_case(text: Union[str, bytes], source_name: str = "case") -> Case:
    """Reads a case from the text of a case file; raises InputError."""

def read_case(path: Union[str, bytes, PathLike[str]]) -> Case:
    """Reads the case file at path; raises InputError."""

def exchanger_title(type: int) -> str:
    """The report's title of an exchanger type; '' outside 0..3."""

# ---- Design closed forms (P-NTU, F, Bell-Delaware) ----

class InvalidArgument(Error, ValueError):
    """An argument outside the domain of a library function, or a rating assessed with another
    case; `.argument` names it."""

    argument: str

class EShellOutlets:
    """Outlets of a TEMA E arrangement rated by P-NTU."""

    @property
    def shell_outlet_temperature(self) -> float: ...
    @property
    def tube_outlet_temperature(self) -> float: ...
    @property
    def duty(self) -> float: ...
    @property
    def p1(self) -> float: ...
    @property
    def r1(self) -> float: ...
    @property
    def ntu1(self) -> float: ...

def tema_e_p1(r1: float, ntu1: float, tube_passes: int, shells: int = 1) -> float:
    """Shell-side temperature effectiveness of TEMA E shells in series."""

def count_tubes(
    shell_diameter: float,
    tube_outer_diameter: float,
    tube_pitch: float,
    layout_angle: Literal[30, 45, 60, 90] = 30,
    tube_passes: int = 1,
    bundle_to_shell_clearance: float = 0.0,
    pass_lane_width: float = 0.0,
) -> dict[str, Any]:
    """Tubes a shell holds, counted on the layout's lattice, with Sinnott's correlation."""

def tema_e_ntu1(p1: float, r1: float, shells: int = 1) -> float:
    """NTU1 of 1-2 shells in series that gives P1."""

def shells_in_series_p1(p1_of_one: float, r1: float, shells: float) -> float:
    """P1 of equal exchangers in series from the P1 of one."""

def lmtd_correction(
    t_hot_in: float, t_hot_out: float, t_cold_in: float, t_cold_out: float, shells: int = 1
) -> float:
    """LMTD correction factor F of 1-2N shells in series, also at R = 1."""

def lmtd_correction_pr(p: float, r: float, shells: int = 1) -> float:
    """F from P and R."""

def tema_e_outlets(
    shell_capacity_rate: float,
    shell_inlet_temperature: float,
    tube_capacity_rate: float,
    tube_inlet_temperature: float,
    ua: float,
    tube_passes: int,
    shells: int = 1,
) -> EShellOutlets:
    """Outlet temperatures and duty of a TEMA E arrangement by P-NTU."""

def bell_ideal_j(re: float, layout_angle: int, pitch_ratio: float) -> float:
    """Ideal-bank Colburn factor j (Taborek's fit)."""

def bell_ideal_f(re: float, layout_angle: int, pitch_ratio: float) -> float:
    """Ideal-bank friction factor f (Taborek's fit)."""

def bell_jc(cross_flow_fraction: float) -> float:
    """Jc = 0.55 + 0.72 Fc."""

def bell_jl(shell_baffle_area: float, tube_baffle_area: float, cross_flow_area: float) -> float:
    """Jl, baffle leakage."""

def bell_jb(
    bypass_fraction: float, sealing_strip_pairs: float, cross_flow_rows: float, re: float = 1e4
) -> float:
    """Jb, bundle bypass."""

def bell_js(
    baffles: int,
    central_spacing: float,
    inlet_spacing: float,
    outlet_spacing: float,
    re: float = 1e4,
) -> float:
    """Js, larger end spacings."""

def bell_jr(re: float, total_rows_crossed: float) -> float:
    """Jr, adverse temperature gradient in laminar flow."""

def bell_rl(shell_baffle_area: float, tube_baffle_area: float, cross_flow_area: float) -> float:
    """Rl, leakage effect on the pressure drop."""

def bell_rb(
    bypass_fraction: float, sealing_strip_pairs: float, cross_flow_rows: float, re: float = 1e4
) -> float:
    """Rb, bypass effect on the pressure drop."""

def bell_rs(
    central_spacing: float, inlet_spacing: float, outlet_spacing: float, re: float = 1e4
) -> float:
    """Rs, end spacings on the end-zone drop."""

def bell_delaware_shell_side(
    geometry: dict[str, float],
    *,
    mass_flow: float,
    density: float,
    viscosity: float,
    heat_capacity: float,
    conductivity: float,
    wall_viscosity: Optional[float] = None,
    imposed: dict[str, float] = ...,
) -> dict[str, float]:
    """The Bell-Delaware shell side of one E shell: each factor, h_o and the drops."""

def rate_extended(
    case: Case,
    *,
    fouling_inside: float = 0.0,
    fouling_outside: float = 0.0,
    tube_passes: int = 1,
    shells: int = 1,
    shell_side: Literal["program", "bell-delaware"] = "program",
    baffles: Optional[dict[str, float]] = None,
    shell_wall_viscosity: Optional[float] = None,
    shooting: Literal["case", "exact"] = "case",
    pass_limit: int = 10000,
) -> dict[str, Any]:
    """Deprecated: rate(CaseDocument(case, ...)) gives the same rating with its assessment.

    Rates a case with fouling, tube passes, shells in series or the Bell-Delaware shell side.

    Besides the rating: clean and service U, over_surface_percent, target_duty and
    allowable_fouling, the tube side of one pass and its pressure drop in Pa. Ctrl-C stops
    it with KeyboardInterrupt within a second."""

def read_case_document(path_or_text: Union[str, PathLike[str]]) -> CaseDocument:
    """Reads a case document (JSON text or a file), its quantities converted to SI."""

def case_document_json(
    case: Union[CaseDocument, Case], extensions: Optional[dict[str, Any]] = None
) -> str:
    """The case document (versioned JSON, SI units stated) of a case and its extensions."""

class FoulingEstimate:
    """What measured outlets say of an exchanger's fouling (find_fouling())."""

    @property
    def reproduced(self) -> bool:
        """Whether a fouling >= 0 reproduces the measurements."""
    @property
    def message(self) -> str:
        """Why not (the clean exchanger cannot reach them, a rejection), or the heat-balance note."""
    @property
    def total_fouling(self) -> float:
        """Rf_o + Rf_i Do/Di found, on the outer surface, m2 K/W (0 when not reproduced)."""
    @property
    def fouling_inside(self) -> float:
        """Rf_i, m2 K/W."""
    @property
    def fouling_outside(self) -> float:
        """Rf_o, m2 K/W."""
    @property
    def clean_coefficient(self) -> float:
        """U without fouling, outer surface, W/(m2 K)."""
    @property
    def service_coefficient(self) -> float:
        """U with the fouling found, W/(m2 K)."""
    @property
    def cleanliness_factor(self) -> float:
        """Service U / clean U."""
    @property
    def ratings(self) -> int:
        """Ratings the search made."""
    @property
    def measured_tube_duty(self) -> Optional[float]:
        """Duty of the measured tube outlet, rho V cp dT, W (None when not measured)."""
    @property
    def measured_shell_duty(self) -> Optional[float]:
        """Duty of the measured shell outlet, W (None when not measured)."""
    @property
    def fitted_duty(self) -> float:
        """The duty fitted: the measured one, or the mean of both, W."""
    @property
    def clean_duty(self) -> float:
        """The duty of the clean exchanger, W."""
    @property
    def heat_balance_mismatch(self) -> Optional[float]:
        """(Qt - Qs)/max(Qt, Qs) of the two measured duties (None with one outlet)."""
    @property
    def heat_balance_mismatched(self) -> bool:
        """Whether that exceeds heat_balance_tolerance."""
    @property
    def rating(self) -> Optional[Rating]:
        """The Rating at the fouling found (at zero fouling when none is), or None."""

def find_fouling(
    document: CaseDocument,
    *,
    tube_outlet: Optional[float] = None,
    shell_outlet: Optional[float] = None,
    inside_share: Optional[float] = None,
    heat_balance_tolerance: float = 0.05,
    relative_tolerance: float = 1e-7,
    shooting: Literal["case", "exact"] = "case",
    pass_limit: int = 10000,
) -> FoulingEstimate:
    """The total fouling (m2 K/W, outer surface) that reproduces the measured outlets (degC).

    Bisection on the rating of the document (without assessment) with the fouling split by
    inside_share (None: as the document's extensions split it, else all outside). With both
    outlets their mean duty is fitted and a disagreement beyond heat_balance_tolerance is
    reported. Outlets the clean exchanger cannot reach give reproduced=False with a message;
    an outlet outside the inlets' span raises InvalidArgument naming the keyword."""

class DesignResult:
    """The ranked designs of hxrate.design(): dicts with area, duty, drops, the geometry
    and document (a case document, JSON text); refused counts by limit; Pareto fronts."""

    duty: float
    candidates: int
    designs: list[dict[str, Any]]
    refused: dict[str, int]
    tube_front: list[int]
    shell_front: list[int]
    advice: str
    def __len__(self) -> int: ...
    def table(self) -> npt.NDArray[Any]:
        """The designs as a numpy structured array, ranked."""
    def to_pandas(self) -> Any:
        """The designs as a pandas DataFrame."""

def design(
    problem: Union[str, PathLike[str], dict[str, Any]],
    space: Optional[dict[str, Any]] = None,
    *,
    client: Any = None,
    chunks: Optional[int] = None,
    designs_reported: int = 10,
    threads: int = 0,
) -> DesignResult:
    """The exchangers of the design space that meet the problem's duty within its limits,
    ranked by area; with a Dask client, split over the cluster to the same ranking."""

class TubeMaterial:
    """Tube materials with a published room-temperature elastic modulus and density."""

    carbon_steel: TubeMaterial
    stainless_steel: TubeMaterial
    copper: TubeMaterial
    admiralty_brass: TubeMaterial
    titanium: TubeMaterial
    @property
    def name(self) -> str: ...
    @property
    def value(self) -> int: ...
    @property
    def document_name(self) -> str:
        """The case document's name: "carbon-steel", ..."""

class MaterialProperties:
    """A tube material's elastic modulus (Pa) and density (kg/m3)."""

    @property
    def elastic_modulus(self) -> float: ...
    @property
    def density(self) -> float: ...

def tube_material_properties(material: Union[TubeMaterial, str]) -> MaterialProperties:
    """Room-temperature E and density of a tube material (ASME BPVC II-D at 21 degC)."""

class VibrationInput:
    """What the vibration screening needs beyond the case (the document's "vibration")."""

    def __init__(
        self,
        *,
        material: Union[TubeMaterial, str] = ...,
        elastic_modulus: Optional[float] = None,
        tube_density: Optional[float] = None,
        shell_phase: Optional[Literal["liquid", "gas"]] = None,
        log_decrement: Optional[float] = None,
        connors_constant: Optional[float] = None,
        velocity_ratio_limit: float = 1.0,
        strouhal_number: Optional[float] = None,
        lift_coefficient: Optional[float] = None,
        buffeting_spectrum: Optional[float] = None,
        allowed_gap_fraction: Optional[float] = None,
        speed_of_sound: Optional[float] = None,
        pressure: Optional[float] = None,
        heat_capacity_ratio: float = 1.4,
    ) -> None:
        """None: the default of each constant. Raises InvalidArgument naming the field
        ("vibration.log_decrement") for a value outside its domain."""
    @property
    def material(self) -> TubeMaterial: ...
    @property
    def elastic_modulus(self) -> Optional[float]: ...
    @property
    def tube_density(self) -> Optional[float]: ...
    @property
    def shell_phase(self) -> Optional[Literal["liquid", "gas"]]: ...
    @property
    def log_decrement(self) -> Optional[float]: ...
    @property
    def connors_constant(self) -> Optional[float]: ...
    @property
    def velocity_ratio_limit(self) -> float: ...
    @property
    def strouhal_number(self) -> Optional[float]: ...
    @property
    def lift_coefficient(self) -> Optional[float]: ...
    @property
    def buffeting_spectrum(self) -> Optional[float]: ...
    @property
    def allowed_gap_fraction(self) -> Optional[float]: ...
    @property
    def speed_of_sound(self) -> Optional[float]: ...
    @property
    def pressure(self) -> Optional[float]: ...
    @property
    def heat_capacity_ratio(self) -> float: ...

class VibrationSpan:
    """One kind of unsupported span of a tube and its screening (SI)."""

    @property
    def name(self) -> Literal["inlet", "central", "outlet", "whole", "window inlet",
                              "window central", "window outlet", "window whole"]: ...
    @property
    def in_window(self) -> bool: ...
    @property
    def count(self) -> int: ...
    @property
    def length(self) -> float: ...
    @property
    def start_end(self) -> Literal["clamped", "pinned"]: ...
    @property
    def end_end(self) -> Literal["clamped", "pinned"]: ...
    @property
    def frequency_factor(self) -> float:
        """(lambda L)^2 of the first mode."""
    @property
    def natural_frequency(self) -> float: ...
    @property
    def velocity(self) -> float: ...
    @property
    def critical_velocity(self) -> float: ...
    @property
    def velocity_ratio(self) -> float: ...
    @property
    def vortex_frequency(self) -> float: ...
    @property
    def vortex_amplitude(self) -> float: ...
    @property
    def buffeting_amplitude(self) -> float: ...

class AcousticCheck:
    """The shell's acoustic resonance, screened for a gas."""

    @property
    def speed_of_sound(self) -> float: ...
    @property
    def effective_speed_of_sound(self) -> float: ...
    @property
    def modes(self) -> npt.NDArray[np.float64]: ...
    @property
    def buffeting_frequency(self) -> float: ...
    @property
    def closest_margin(self) -> float: ...
    @property
    def closest_source(self) -> str: ...
    @property
    def closest_mode(self) -> int: ...

class VibrationScreening:
    """The flow-induced vibration screening of a bundle (SI)."""

    @property
    def material(self) -> str: ...
    @property
    def elastic_modulus(self) -> float: ...
    @property
    def tube_density(self) -> float: ...
    @property
    def outer_diameter(self) -> float: ...
    @property
    def moment_of_inertia(self) -> float: ...
    @property
    def layout_angle(self) -> int: ...
    @property
    def pitch(self) -> float: ...
    @property
    def gap(self) -> float: ...
    @property
    def shell_density(self) -> float: ...
    @property
    def shell_phase(self) -> Literal["liquid", "gas"]: ...
    @property
    def tube_mass(self) -> float: ...
    @property
    def inside_mass(self) -> float: ...
    @property
    def added_mass_coefficient(self) -> float: ...
    @property
    def added_mass(self) -> float: ...
    @property
    def effective_mass(self) -> float: ...
    @property
    def log_decrement(self) -> float: ...
    @property
    def connors_constant(self) -> float: ...
    @property
    def mass_damping_parameter(self) -> float: ...
    @property
    def strouhal_number(self) -> float: ...
    @property
    def lift_coefficient(self) -> float: ...
    @property
    def buffeting_spectrum(self) -> float: ...
    @property
    def allowed_amplitude(self) -> float: ...
    @property
    def velocity_ratio_limit(self) -> float: ...
    @property
    def spans(self) -> list[VibrationSpan]: ...
    @property
    def worst_span(self) -> int: ...
    @property
    def worst_velocity_ratio(self) -> float: ...
    @property
    def acoustic(self) -> Optional[AcousticCheck]: ...
    @property
    def warnings(self) -> list[AssessmentWarning]: ...
    @property
    def passes(self) -> bool:
        """Whether no limit is passed (notes aside)."""

def screen_vibration(
    case: Union[Case, CaseDocument],
    extensions: Optional[dict[str, Any]] = None,
    input: Optional[VibrationInput] = None,
) -> VibrationScreening:
    """Screens a cross-flow bundle for flow-induced vibration, span by span (a CaseDocument
    brings its own extensions and input). Raises InvalidArgument for a bundle it cannot
    describe or input outside its domain."""
