// The P-NTU outlets of the extended rating: shells in series coupled as
// their flow arrangement couples them.
#pragma once

#include "hxrate/arrangements.h"

namespace hxrate {

// How the streams run through the shells in series.
enum class SeriesCoupling {
    counterflow,  // TEMA E shells (1-2N or one counter-current pass) in overall counterflow
    coCurrent,    // co-current shells of one tube pass, each stream entering every shell at the
                  // same end: the whole is one co-current exchanger
};

// temaEOutlets with the coupling of the shells; coCurrent needs one tube pass.
EShellOutlets seriesOutlets(double shellCapacityRate, double shellInletTemperature,
                            double tubeCapacityRate, double tubeInletTemperature, double ua,
                            int tubePasses, int shells, SeriesCoupling coupling);

}  // namespace hxrate
