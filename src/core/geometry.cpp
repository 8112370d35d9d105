#include "core/geometry.h"

#include <cmath>
#include <initializer_list>
#include <new>
#include <string>

#include "core/arithmetic.h"
#include "core/failures.h"
#include "core/messages.h"

namespace hxrate {
namespace {

constexpr std::int64_t arraysPerProfile = 3;

std::unique_ptr<double[]> allocateNodes(std::int64_t nodeCount) {
    // Default-initialised: the pages are touched only when marched.
    return std::unique_ptr<double[]>(
        new (std::nothrow) double[static_cast<std::size_t>(nodeCount)]);
}

[[noreturn]] void refuseStorage(std::int64_t nodeCount, std::uint64_t limit) {
    throw ResourceError(
        errorNumber::storageRefused,
        "the temperature profile of " + std::to_string(nodeCount) + " nodes needs " +
            std::to_string(nodeCount * arraysPerProfile * 8 / (1024 * 1024)) +
            " MiB, more than the " + std::to_string(limit / (1024 * 1024)) +
            " MiB this machine can give it (element length too small for the tube length)");
}

}  // namespace

void computeElementGrid(const CaseInput& in, DerivedGeometry& geo, TemperatureProfile& profile,
                        std::uint64_t storageLimitBytes) {
    geo.elementCount = truncateToInt32(in.tubeLength / in.elementLength, "element count L/dL");

    // A negative count gets node 0 all the same; the solver refuses it.
    std::int64_t nodeCount = std::int64_t{geo.elementCount} + 1;
    if (nodeCount < 1) nodeCount = 1;
    std::uint64_t bytes = static_cast<std::uint64_t>(nodeCount) * arraysPerProfile * sizeof(double);
    if (bytes > storageLimitBytes) refuseStorage(nodeCount, storageLimitBytes);
    profile.nodeCount = nodeCount;
    profile.tubeTemperature = allocateNodes(nodeCount);
    profile.shellTemperature = allocateNodes(nodeCount);
    profile.shellPassInletTemperature = allocateNodes(nodeCount);
    if (!profile.tubeTemperature || !profile.shellTemperature ||
        !profile.shellPassInletTemperature) {
        refuseStorage(nodeCount, storageLimitBytes);
    }
}

void computeDiagonalPitch(const CaseInput& in, DerivedGeometry& geo) {
    double ST = in.transversePitch;
    double SL = in.longitudinalPitch;
    double halfST = ST * 0.5;
    geo.diagonalPitch = checked(std::sqrt(halfST * halfST + SL * SL), "diagonal pitch");
}

void computeBaffleCompartments(const CaseInput& in, DerivedGeometry& geo) {
    std::int32_t Nel = geo.elementCount;
    std::int32_t Nb = in.baffleCount;
    std::int32_t half = Nel / 2;
    if (!(half > Nb) && isCrossFlow(in.exchangerType)) terminateRun(Check::reduceBaffles);
    // Nb + 1 = 0 would divide by zero below.
    if (Nb == -1) terminateRun(Check::baffleCountMinusOne);

    // Nb + 1 is formed in 64 bits so that the largest baffle count cannot
    // overflow; only INT_MIN / -1 leaves the 32-bit range.
    std::int64_t compartments = std::int64_t{Nb} + 1;
    std::int64_t Npc = std::int64_t{Nel} / compartments;
    geo.elementsPerCompartment =
        truncateToInt32(static_cast<double>(Npc), "elements per compartment");
    geo.baffleSpacing =
        checked(in.tubeLength / static_cast<double>(compartments), "baffle spacing");
}

void computeWallGeometry(const CaseInput& in, DerivedGeometry& geo) {
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
