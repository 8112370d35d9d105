#include "run/driver.h"

#include <unistd.h>
#include <ostream>

#include "io/case_reader.h"
#include "io/results_report.h"
#include "model/geometry.h"
#include "model/messages.h"
#include "model/resistance.h"
#include "model/shell_flow.h"
#include "model/shell_heat_transfer.h"
#include "model/tube_side.h"
#include "run/arithmetic.h"
#include "run/failures.h"
#include "solver/temperature_profile.h"

namespace hxrate {

std::uint64_t profileStorageLimit() {
    long pages = ::sysconf(_SC_PHYS_PAGES);
    long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return std::uint64_t{1} << 30;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize) / 2;
}

void rateExchanger(FreeFormReader& reader, CaseRecords& r, const RunLimits& limits) {
    clearArithmeticFlags();
    CaseInput& in = r.input;
    for (int line = 1; line <= 5; ++line) readCaseLine(reader, line, in);
    computeElementGrid(in, r.geometry, r.profile, limits.profileStorageBytes);
    for (int line = 6; line <= 10; ++line) readCaseLine(reader, line, in);
    computeDiagonalPitch(in, r.geometry);
    readCaseLine(reader, 11, in);
    computeBaffleCompartments(in, r.geometry);
    readCaseLine(reader, 12, in);
    readCaseLine(reader, 13, in);
    computeWallGeometry(in, r.geometry);
    readCaseLine(reader, 14, in);
    readCaseLine(reader, 15, in);
    computeTubeSide(in, r.model);
    for (int line = 16; line <= caseLineCount; ++line) readCaseLine(reader, line, in);
    reader.close();

    computeShellFlow(in, r.geometry, r.model);
    computeShellHeatTransfer(in, r.geometry, r.model);
    computeResistancePerLength(in, r.geometry, r.model);
}

void rateCase(FreeFormReader& reader, CaseRecords& r, const RunLimits& limits) {
    rateExchanger(reader, r, limits);
    solveTemperatureProfile(r.input, r.geometry, r.model, r.profile, limits.shootingPassLimit);
}

RunOutcome runCase(RunFiles& files, const RunLimits& limits) {
    TextOutputFile& log = files.log;
    try {
        try {
            log.open();
            std::optional<FreeFormReader> reader;
            if (files.caseBytes) {
                reader.emplace(caseFileName, *files.caseBytes);
            } else {
                reader.emplace(caseFileName, openCaseFile(caseFileName));
            }
            CaseRecords r;
            rateCase(*reader, r, limits);

            ReportValues values = prepareResultsReport(r.input, r.geometry, r.model, r.profile);
            files.results.open();
            writeResultsReport(files.results, r.input, r.geometry, r.model, r.profile, values);
            files.results.close();

            writeFreeFormLine(log, messages::calculationSucceeded);
            log.close();
            return {0, "", ""};
        } catch (const CaseRejected& rejected) {
            // A fault raised before the check that rejected the case decides.
            checkArithmetic("the values of the check that rejected the case");
            writeFreeFormLine(log, rejected.message);
            writeFreeFormLine(log, messages::calculationTerminated);
            log.close();
            return {0, "Stop - Program terminated.\n", ""};
        }
    } catch (const RunFailure& failure) {
        log.closeQuietly();
        files.results.closeQuietly();
        return {1, "", failure.diagnostic + "\n"};
    }
}

int runInWorkingDirectory(std::ostream& out, std::ostream& err) {
    RunFiles files{TextOutputFile(runLogName), TextOutputFile(resultsFileName), std::nullopt};
    RunOutcome outcome = runCase(files, RunLimits{profileStorageLimit()});
    out << outcome.standardOutput << std::flush;
    err << outcome.standardError << std::flush;
    return outcome.exitStatus;
}

}  // namespace hxrate
