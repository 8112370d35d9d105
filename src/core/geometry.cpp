#include "core/geometry.h"

#include <cmath>
#include <initializer_list>
#include <new>
#include <string>
#include <vector>

#include "core/arithmetic.h"
#include "core/failures.h"
#include "core/messages.h"

namespace hxrate {
namespace {

// What a rating holds per node at its peak, in bytes: three arrays of
// doubles. The solver marches the tube and shell temperatures (and, for
// counter-current cross flow, the pass-inlet temperatures); a solved rating
// takes them into its Profile without a copy and forms the node locations,
// in a new array or in the shell array that counter-current cross flow does
// not report. Measured (bench/memory_bench.py) as the growth of the maximum
// resident set size (getrusage) over a rate() of the 10^7-element example of
// each type: 24.0 bytes per node (48.0 when the arrays were copied into the
// Rating).
constexpr std::uint64_t profileBytesPerNode = 24;

constexpr std::uint64_t mebibyte = std::uint64_t{1} << 20;

std::string nodesText(std::int64_t nodeCount, std::uint64_t bytes) {
    // Rounded up, so that a need beyond the limit never reads as equal to it.
    return "the temperature profile of " + std::to_string(nodeCount) + " nodes needs " +
           std::to_string((bytes + mebibyte - 1) / mebibyte) + " MiB";
}

}  // namespace

void computeElementGrid(const CaseInput& in, Geometry& geo, TemperatureProfile& profile,
                        std::uint64_t storageLimitBytes) {
    geo.elementCount = truncateToInt32(in.tubeLength / in.elementLength, "element count L/dL");

    // A negative count gets node 0 all the same; the solver refuses it.
    std::int64_t nodeCount = std::int64_t{geo.elementCount} + 1;
    if (nodeCount < 1) nodeCount = 1;
    std::uint64_t bytes = static_cast<std::uint64_t>(nodeCount) * profileBytesPerNode;
    if (bytes > storageLimitBytes) {
        throw ResourceError(errorNumber::storageRefused,
                            nodesText(nodeCount, bytes) + ", more than the limit of " +
                                std::to_string(storageLimitBytes / mebibyte) +
                                " MiB (element length too small for the tube length)");
    }
    profile.nodeCount = nodeCount;
}

void reserveProfileStorage(const TemperatureProfile& profile, StorageReservation& storage) {
    const std::uint64_t bytes = static_cast<std::uint64_t>(profile.nodeCount) * profileBytesPerNode;
    if (storage.reserve(bytes)) return;
    const StorageBudget& budget = *storage.budget();
    const std::uint64_t taken = budget.reserved();
    const std::uint64_t left = taken < budget.limit() ? budget.limit() - taken : 0;
    throw ResourceError(errorNumber::storageRefused,
                        nodesText(profile.nodeCount, bytes) + ", more than the " +
                            std::to_string(left / mebibyte) + " MiB left of the " +
                            std::to_string(budget.limit() / mebibyte) +
                            " MiB that the ratings running at the same time share");
}

void allocateProfile(const CaseInput& in, TemperatureProfile& profile) {
    const auto nodes = static_cast<std::size_t>(profile.nodeCount);
    try {
        if (profile.tubeTemperature.values.size() != nodes) {
            profile.tubeTemperature.values.assign(nodes, 0.0);
            profile.shellTemperature.values.assign(nodes, 0.0);
        }
        bool passInlet = isCrossFlow(in.exchangerType) && isCounterCurrent(in.exchangerType);
        if (passInlet && profile.shellPassInletTemperature.values.size() != nodes)
            profile.shellPassInletTemperature.values.assign(nodes, 0.0);
    } catch (const std::bad_alloc&) {
        std::uint64_t bytes = static_cast<std::uint64_t>(profile.nodeCount) * profileBytesPerNode;
        throw ResourceError(errorNumber::storageRefused,
                            nodesText(profile.nodeCount, bytes) +
                                ", within the limit, but the machine refused the memory");
    }
}

void computeDiagonalPitch(const CaseInput& in, Geometry& geo) {
    double ST = in.transversePitch;
    double SL = in.longitudinalPitch;
    double halfST = ST * 0.5;
    geo.diagonalPitch = checked(std::sqrt(halfST * halfST + SL * SL), "diagonal pitch");
}

void computeBaffleCompartments(const CaseInput& in, Geometry& geo) {
    std::int32_t Nel = geo.elementCount;
    std::int32_t Nb = in.baffleCount;
    // Nb + 1 is formed in 64 bits so that the largest baffle count cannot
    // overflow; a rejected case's partial rating holds it too.
    const std::int64_t compartments = std::int64_t{Nb} + 1;
    geo.compartmentCount = compartments;
    std::int32_t half = Nel / 2;
    if (!(half > Nb) && isCrossFlow(in.exchangerType)) terminateRun(Check::reduceBaffles);
    // Nb + 1 = 0 would divide by zero below.
    if (Nb == -1) terminateRun(Check::baffleCountMinusOne);

    // Only INT_MIN / -1 leaves the 32-bit range.
    std::int64_t Npc = std::int64_t{Nel} / compartments;
    geo.elementsPerCompartment =
        truncateToInt32(static_cast<double>(Npc), "elements per compartment");
    geo.baffleSpacing =
        checked(in.tubeLength / static_cast<double>(compartments), "baffle spacing");
}

void computeWallGeometry(const CaseInput& in, Geometry& geo) {
    double Di = in.tubeInnerDiameter;
    double Do = checked(in.wallThickness * 2 + Di, "tube outer diameter");
    geo.outerDiameter = Do;

    // The largest of Do, SL, ST and SD, in that order.
    double cell = Do;
    for (double candidate : {in.longitudinalPitch, in.transversePitch, geo.diagonalPitch}) {
        if (!(candidate < cell)) cell = candidate;
    }
    geo.bundleCellSize = cell;

    double Ds = in.shellInnerDiameter;
    double shellArea = checked(Ds * Ds, "tube-fit check Ds^2");
    double bundleArea =
        checked(cell * cell * static_cast<double>(in.tubeCount), "tube-fit check cell^2*Nt");
    if (!(shellArea > bundleArea)) terminateRun(Check::tubingFit);

    geo.wallResistance = checked(std::log(Do / Di) / in.wallConductivity, "wall term ln(Do/Di)/kw");
}

}  // namespace hxrate
