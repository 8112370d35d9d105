#include "cli/driver.h"

#include <unistd.h>
#include <ostream>

#include "core/arithmetic.h"
#include "core/failures.h"
#include "core/messages.h"
#include "format/case_reader.h"
#include "format/results_report.h"

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
    // Each step runs as soon as the case lines it needs have been read.
    int line = 1;
    for (int stepAfter : {5, 10, 11, 13}) {
        for (; line <= stepAfter; ++line) readCaseLine(reader, line, in);
        computeGridAndGeometry(r, limits.profileStorageBytes, stepAfter);
    }
    for (; line <= 15; ++line) readCaseLine(reader, line, in);
    computeTubeSideStep(r);
    for (; line <= caseLineCount; ++line) readCaseLine(reader, line, in);
    reader.close();
    computeShellSideSteps(r);
}

void rateCase(FreeFormReader& reader, CaseRecords& r, const RunLimits& limits) {
    rateExchanger(reader, r, limits);
    solveStep(r, SolveOptions{.passLimit = limits.shootingPassLimit});
}

std::string diagnosticOf(const Error& failure) {
    return "run-time error " + std::to_string(failure.code()) + ": " + failure.what();
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

            OverallResults overall = computeOverallResults(r);
            const TemperatureProfile& p = r.profile;
            ReportView report{r.input.exchangerType,
                              overall.overallCoefficient,
                              overall.heatTransferArea,
                              r.model.tubeFilmCoefficient,
                              r.model.tubeMassFlow,
                              r.model.shellMassFlow,
                              overall.shellExitTemperature,
                              r.geometry.elementCount,
                              r.input.elementLength,
                              p.tubeTemperature.get(),
                              r.input.exchangerType == ExchangerType::CrossFlowCounterCurrent
                                  ? p.shellPassInletTemperature.get()
                                  : p.shellTemperature.get()};
            files.results.open();
            writeResultsReport(files.results.sink(), report);
            files.results.close();

            writeFreeFormLine(log, messages::calculationSucceeded);
            log.close();
            return {0, "", ""};
        } catch (const CaseRejected& rejected) {
            // A fault raised before the check that rejected the case decides.
            checkArithmetic("the values of the check that rejected the case");
            writeFreeFormLine(log, rejected.message());
            writeFreeFormLine(log, messages::calculationTerminated);
            log.close();
            return {0, "Stop - Program terminated.\n", ""};
        }
    } catch (const Error& failure) {
        log.closeQuietly();
        files.results.closeQuietly();
        return {1, "", diagnosticOf(failure) + "\n"};
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
