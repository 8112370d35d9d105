// Rating a case again as an arrangement rated it: the assessment's finer
// grids, other correction factors and nudged flows keep the extensions of
// the rating they assess.
#pragma once

#include "core/rate.h"
#include "hxrate/case.h"
#include "hxrate/extensions.h"
#include "hxrate/fluid_properties.h"
#include "hxrate/rating.h"
#include "hxrate/shell_side.h"

namespace hxrate::detail {

// An arrangement as the assessment rates it again: the extensions, and the
// property models of a rating made element by element (null: the case's
// constant properties).
struct Arrangement : Extensions {
    const StreamModels* incremental = nullptr;
};

// rateArrangement() of the extensions, or with the models the element-by-
// element rating of the case (rateIncrementally).
Rating rateArrangement(const Case& c, const Arrangement& a, const RateOptions& options);

// rate(c) for empty extensions, else the rating of rateExtended() without
// the quantities it forms beyond the rating. Throws as rateExtended() does.
Rating rateArrangement(const Case& c, const Extensions& ext, const RateOptions& options);

// What rateExtended() forms beyond the rating for a case without
// extensions, on out.rating = rate(c). Throws ArithmeticError where a
// quantity faults.
void describeCaseRating(const Case& c, const RateOptions& options, ExtendedRating& out);

// analyseShooting() of the arrangement's march (one pass, one shell).
ShootingMap analyseShooting(const Case& c, const Extensions& ext, const RateOptions& options);

// The Bell-Delaware geometry of the case's bundle with the baffles' values,
// each one left unset at its default (what a Bell-Delaware rating uses).
BellDelawareGeometry bellDelawareGeometryOf(const Case& c, const BaffleGeometry& baffles);

// Throws InvalidArgument unless `ext` suits `c`, as rateExtended() checks.
void validateExtensions(const Case& c, const Extensions& ext);

// What rateExtended() forms around the rating of a non-empty arrangement:
// `out` holds the rating, its clean U and Bell-Delaware result; the service
// U, the P-NTU view and warnings, the tube drop and the fouling allowed
// are added.
ExtendedRating describeArrangementRating(const Case& c, const Extensions& ext,
                                         const RateOptions& options, ExtendedRating out);

// The model steps of a rating with extensions (one pass or several, the
// Bell-Delaware shell side, fouling) up to stage resistance; `out` receives
// the clean U and the Bell-Delaware result. Throws CaseRejected as the
// steps do.
void rateModelSteps(CaseRecords& r, const Extensions& ext, const RateOptions& options,
                    ExtendedQuantities& out);

// Both sides' coefficients and the resistance per length of `in` (one tube
// pass) on the geometry `rt` already holds, with the Bell-Delaware shell
// side and fouling where `ext` asks: what one element of a march with
// properties that change along it needs. `out`, when given, receives the
// clean U and the Bell-Delaware result.
void rateSides(const CaseInput& in, const Extensions& ext, Rating& rt,
               ExtendedQuantities* out = nullptr);

// Whether the arrangement is rated by the march (one pass, one shell) rather
// than by P-NTU.
inline bool marches(const Extensions& ext) {
    return ext.tubePasses == 1 && ext.shells == 1;
}

}  // namespace hxrate::detail
