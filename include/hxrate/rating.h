// hxrate/rating.h: rating one exchanger case: coefficients, conductance and
// the temperature profile, with every quantity the model forms on the way.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "hxrate/case.h"

namespace hxrate {

// How the shooting of the counter-current types finds the shell outlet.
enum class ShootingMethod {
    // The program's own iteration, steered by the case's correction factor:
    // the report is byte for byte the program's.
    caseFactor,
    // A pass is affine in its start value: two passes give the slope, the
    // third lands on the answer and confirms it. Needs a few passes for any
    // case that has a solution, whatever its correction factor; the profile
    // may differ from the caseFactor one in the last printed digit.
    exact,
};

// The largest profile rate() allocates unless told otherwise, in bytes. The
// program, its tools and the Python module take programRateOptions()
// (hxrate/program.h) instead: the program's limit and the process's budget.
inline constexpr std::uint64_t defaultStorageLimitBytes = std::uint64_t{8} << 30;

// Shooting passes a counter-current rating makes before it rejects the case,
// unless told otherwise; the program's own limit.
inline constexpr std::int32_t defaultPassLimit = 10000;

// Elements a march runs between two looks at RateOptions::cancel.
inline constexpr std::int32_t cancelCheckInterval = 1 << 16;

// Memory that ratings running at the same time share, bytes: each takes
// its node arrays' storage from it before it allocates them and gives it
// back when it returns, and a rating that finds too little left is refused
// (ResourceError, errorNumber::storageRefused) rather than waiting, so that
// none can hold part of it while waiting for more. Safe to use from many
// threads at once.
class StorageBudget {
  public:
    explicit StorageBudget(std::uint64_t limitBytes) noexcept : limit_(limitBytes) {}
    StorageBudget(const StorageBudget&) = delete;
    StorageBudget& operator=(const StorageBudget&) = delete;

    std::uint64_t limit() const noexcept { return limit_; }               // bytes in all
    std::uint64_t reserved() const noexcept { return reserved_.load(); }  // bytes taken now
    // Takes `bytes`; false, taking nothing, when fewer are left.
    bool tryReserve(std::uint64_t bytes) noexcept;
    // Gives back `bytes` taken before.
    void release(std::uint64_t bytes) noexcept;

  private:
    std::uint64_t limit_;
    std::atomic<std::uint64_t> reserved_{0};
};

// Bytes taken from a StorageBudget, given back when it goes. Without a
// budget it holds nothing and every reserve() succeeds.
class StorageReservation {
  public:
    StorageReservation() = default;
    explicit StorageReservation(StorageBudget* budget) noexcept : budget_(budget) {}
    StorageReservation(StorageReservation&& other) noexcept;
    StorageReservation& operator=(StorageReservation&& other) noexcept;
    StorageReservation(const StorageReservation&) = delete;
    StorageReservation& operator=(const StorageReservation&) = delete;
    ~StorageReservation() { reset(); }

    // Holds at least `bytes` in all; false, holding what it held, when the
    // budget has too little left.
    bool reserve(std::uint64_t bytes) noexcept;
    // Gives everything back.
    void reset() noexcept;
    std::uint64_t bytes() const noexcept { return bytes_; }
    StorageBudget* budget() const noexcept { return budget_; }

  private:
    StorageBudget* budget_ = nullptr;
    std::uint64_t bytes_ = 0;
};

struct RateOptions {
    std::int32_t passLimit = defaultPassLimit;  // shooting passes before the case is rejected
    // Largest storage of a rating's node arrays at its peak (24 bytes a node), bytes.
    std::uint64_t storageLimitBytes = defaultStorageLimitBytes;
    ShootingMethod shooting = ShootingMethod::caseFactor;
    // Set by another thread to stop the rating: rate() then throws Cancelled.
    // Read (never written) before the solve, before every shooting pass and
    // every cancelCheckInterval (65536) elements of a march, i.e. every 0.1 ms
    // or so; null: never stopped. Reading it changes no result.
    const std::atomic<bool>* cancel = nullptr;
    // Shared with the ratings running beside this one: the node arrays'
    // storage is taken from it for the rating's run, after the check
    // against storageLimitBytes; null: not shared. Every rating a call
    // makes (the extended ratings' marches, the assessment's finer grids)
    // takes its own.
    StorageBudget* storageBudget = nullptr;
};

// Which correlation gave a side's Nusselt number.
enum class Correlation {
    none,             // not formed (the rating stopped before it)
    laminarDuct,      // duct flow, Re <= 2300: Graetz form, f = 64/Re
    turbulentDuct,    // duct flow, Re > 2300: Gnielinski with Colebrook friction
    singleCylinder,   // shell side: one cylinder in cross flow
    inlineBank,       // shell side: tube bank, inline (bankRow gives the table row)
    staggeredBank,    // shell side: tube bank, staggered (bankRow gives the table row)
    axialBundle,      // shell side, axial types: dense-bundle correlation
    sparseLaminar,    // shell side, axial types: sparse bundle as a laminar duct
    sparseTurbulent,  // shell side, axial types: sparse bundle as a turbulent duct
};

// A short stable name of a correlation ("turbulent-duct"; "none"), for JSON
// and bindings.
std::string_view correlationName(Correlation correlation);

// Geometry derived from the case.
struct Geometry {
    double outerDiameter = 0;                 // Do = Di + 2 tw, m
    std::int32_t elementCount = 0;            // Nel = trunc(L/dL)
    std::int64_t compartmentCount = 0;        // Nb + 1
    std::int32_t elementsPerCompartment = 0;  // Npc
    double baffleSpacing = 0;                 // B, m
    double diagonalPitch = 0;                 // SD, m
    double bundleCellSize = 0;                // largest of Do, SL, ST, SD, m
    double wallResistance = 0;                // ln(Do/Di)/kw, per unit length x 2 pi
};

// One side's heat transfer.
struct SideResult {
    double reynolds = 0;             // Re
    double prandtl = 0;              // Pr
    double nusselt = 0;              // Nu
    std::optional<double> friction;  // Darcy friction factor, where a duct form used one
    double filmCoefficient = 0;      // h, W/(m2 K)
    double filmResistance = 0;       // 1/(h r), per unit length x 2 pi
    Correlation correlation = Correlation::none;
    int bankRow = 0;  // tube bank: Reynolds-range row 1..4; else 0
};

// The shell side also has its flow quantities.
struct ShellSideResult : SideResult {
    double flowArea = 0;              // A_o, m2
    double characteristicLength = 0;  // Dh_o, m (Do in cross flow)
    double velocity = 0;              // V_o, m/s (cross flow only)
};

// Node values: location from the tube inlet end, tube-fluid temperature,
// and the shell-fluid temperature (types 0, 1, 2) or the shell-pass inlet
// temperature (type 3), exactly as the report's table shows them.
struct Profile {
    std::vector<double> location;
    std::vector<double> tube;
    std::vector<double> shell;
};

// How far a rating got; a rejected case's partial rating tells which
// quantities were formed.
enum class Stage { started, geometry, tubeSide, shellFlow, shellHeatTransfer, resistance, solved };

// A short stable name of a stage ("tube-side"), for JSON and bindings.
std::string_view stageName(Stage stage);

struct Rating {
    Stage stage = Stage::started;  // the last stage completed
    Geometry geometry;
    SideResult tube;
    ShellSideResult shell;
    double resistancePerLength = 0;     // Rp, fluid to fluid, per unit tube length
    double conductancePerLength = 0;    // UAp = 1/Rp, W/(m K)
    double overallCoefficient = 0;      // U on the outer surface, W/(m2 K)
    double area = 0;                    // Nt pi L Do, m2
    double tubeMassFlow = 0;            // kg/s
    double shellMassFlow = 0;           // kg/s
    std::int32_t shootingPasses = 0;    // marches made (1 for the co-current types)
    double shellExitTemperature = 0;    // as the report prints it (cross flow)
    double tubeOutletTemperature = 0;   // tube fluid at the last node
    double shellOutletTemperature = 0;  // shell fluid where it leaves the exchanger
    // Heat given off by the tube stream, and taken up by the shell stream,
    // W; absent when the product does not fit a double.
    std::optional<double> tubeDuty;
    std::optional<double> shellDuty;
    Profile profile;
};

// The bytes a rating's node arrays hold (its profile), as its run took them
// from a StorageBudget: a caller that keeps the rating while it rates
// again may take them anew.
std::uint64_t profileBytes(const Rating& rating);

// Rates a case: the same checks, formulas and order as the program. Throws
// CaseRejected (with the partial rating), ArithmeticError, ResourceError
// (also when memory runs out: never std::bad_alloc) or Cancelled.
// Reentrant: it may run on many threads at once.
Rating rate(const Case& c, const RateOptions& options = {});

// The shooting of a counter-current case seen as an affine map: a pass
// started from the shell temperature T ends at firstEnd + slope*(T - Ts_in).
struct ShootingMap {
    double firstMismatch = 0;         // Ts_in minus where a pass from Ts_in ends
    double slope = 0;                 // change of the far-end temperature per unit of start
    double conductancePerLength = 0;  // UAp, the divisor of the case's correction
};
// Two passes of the case's march (types 1 and 3). Throws as rate() does.
ShootingMap analyseShooting(const Case& c, const RateOptions& options = {});

}  // namespace hxrate
