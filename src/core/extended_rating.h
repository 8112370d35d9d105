// Rating a case again as an arrangement rated it: the assessment's finer
// grids, other correction factors and nudged flows keep the extensions of
// the rating they assess.
#pragma once

#include "hxrate/case.h"
#include "hxrate/extensions.h"
#include "hxrate/rating.h"

namespace hxrate::detail {

// rate(c) for empty extensions, else the rating of rateExtended() without
// the quantities it forms beyond the rating. Throws as rateExtended() does.
Rating rateArrangement(const Case& c, const Extensions& ext, const RateOptions& options);

// What rateExtended() forms beyond the rating for a case without
// extensions, on out.rating = rate(c). Throws ArithmeticError where a
// quantity faults.
void describeCaseRating(const Case& c, const RateOptions& options, ExtendedRating& out);

// analyseShooting() of the arrangement's march (one pass, one shell).
ShootingMap analyseShooting(const Case& c, const Extensions& ext, const RateOptions& options);

// Whether the arrangement is rated by the march (one pass, one shell) rather
// than by P-NTU.
inline bool marches(const Extensions& ext) {
    return ext.tubePasses == 1 && ext.shells == 1;
}

}  // namespace hxrate::detail
