// hxrate/assessment.h: the engineering assessment of a rating: duty,
// effectiveness, pressure drops, the numerics of the march and the warnings,
// with the values behind a rejection. Includes the headers of each part.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hxrate/case.h"
#include "hxrate/errors.h"
#include "hxrate/extensions.h"
#include "hxrate/fluid_properties.h"
#include "hxrate/numerics.h"
#include "hxrate/pressure_drop.h"
#include "hxrate/rating.h"
#include "hxrate/shell_side.h"
#include "hxrate/thermal_summary.h"
#include "hxrate/warnings.h"

namespace hxrate {

// One value a check compared.
struct Trigger {
    std::string quantity;  // "tube-side Reynolds number Re"
    double value = 0;
    std::optional<double> limit;
    std::string relation;  // "must not exceed", "must be above", ...
};
// The values behind a rejection; `partial` is what was formed before it.
std::vector<Trigger> rejectionTriggers(const Case& c, Check check, const Rating& partial);

// How much of the shooting analysis to form.
enum class ShootingAnalysis {
    whenSlow,  // only when the case's shooting is slow or was rejected
    always,    // every counter-current case
};

struct AssessOptions {
    // The case's text and where its lines stood (parseCase with a
    // CaseSource). Without them the text checks run on the text the case
    // was read from (sourceTextOf), if it kept one and is unchanged since.
    std::string_view text;
    std::optional<CaseSource> source;
    // The check that rejected the case, when `rating` is the partial one.
    std::optional<Check> rejectedBy;
    // How the re-ratings are made: pass and storage limits, and the
    // caller's stop flag (rating.cancel), looked at as rate() looks at it.
    RateOptions rating;
    // The discretisation estimate re-rates the case: 0 (none), 2 or 3 grids.
    int grids = 2;
    ShootingAnalysis shooting = ShootingAnalysis::whenSlow;
    // mu_w of the shell fluid at the wall, Pa s: Kern's shell-side drop is
    // then also given with the wall-viscosity correction.
    std::optional<double> shellWallViscosity;
    // The extensions `r` was rated with (rateExtended): the re-ratings of the
    // discretisation estimate, the shooting advice and the correlation-switch
    // check apply them too. With several passes or shells the outlets come
    // from P-NTU, on no grid: there is then no estimate and no shooting.
    Extensions extensions;
    // The property models of a rating made element by element
    // (PropertiesAt::incremental, rate(CaseDocument)): the re-ratings march
    // with them as it did. Absent: the case's properties, constant along it.
    std::optional<StreamModels> incremental;
    // For a caller that rated with extensions but does not pass them: the
    // correlation-switch check, whose re-ratings would then know only the
    // case, is not made. Prefer `extensions`.
    bool withExtensions = false;
    // The Bell-Delaware shell side that rating used (ExtendedRating::
    // bellDelaware): a Reynolds number near its laminar/turbulent hand-over at
    // Re = 100 is a correlation-switch warning of its own.
    std::optional<BellDelawareResult> bellDelaware;
};

// What the library says about a rated case beyond the rating.
struct Assessment {
    ThermalSummary thermal;  // only of a solved rating
    std::optional<PressureDrop> tubePressureDrop, shellPressureDrop;
    Discretisation discretisation;
    ShootingAdvice shooting;
    std::optional<ShootingForecast> caseShooting;  // what the case's own factor did
    std::vector<Trigger> triggers;                 // of a rejection
    std::vector<Warning> warnings;                 // errors first, then warnings, then notes
};

// Assesses a rating, whole or partial (then name the check in
// options.rejectedBy). Re-rates the case for the discretisation estimate,
// the shooting advice and the correlation-switch check; never throws
// for what those re-ratings meet, but Cancelled when options.rating.cancel
// is set. Throws InvalidArgument (argument "rating") when `r` cannot be a
// rating of `c`, by rate() or rateExtended(): a quantity the case alone
// determines (geometry, Prandtl numbers, shell flow area, mass flows, the
// inlet temperatures of a marched rating) differs.
Assessment assess(const Case& c, const Rating& r, const AssessOptions& options = {});

}  // namespace hxrate
