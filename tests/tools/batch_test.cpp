#include "batch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>

#include <hxrate/case.h>
#include <hxrate/case_document.h>
#include <hxrate/exchanger.h>
#include <hxrate/extensions.h>
#include <hxrate/program.h>
#include <hxrate/rating.h>
#include <hxrate/report.h>
#include "tool_test_support.h"

namespace hxrate::tools {
namespace {

using namespace testing;

// The columns of summary.csv: new ones are only ever added at the end.
constexpr std::size_t summaryColumns = 39;

std::vector<std::string> csvLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Splits one CSV record (quoted fields may hold commas and doubled quotes).
std::vector<std::string> csvFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

const std::string successReport =
    readFile(sampleCase("success-branch_t1_007") + "/expected/" + resultsName);

struct RunAndVerdict {
    const char* what;
    int waitStatus;
    std::string out, err;
    std::optional<std::string> log, results;
    Outcome outcome;
    std::string message;
};

TEST(BatchOutcome, FollowsFromWhatTheRunLeftBehind) {
    const RunAndVerdict table[] = {
        {"success", W_EXITCODE(0, 0), "", "", " Calculation processed successfully\r\n",
         successReport, Outcome::success, ""},
        {"rejection", W_EXITCODE(0, 0), "Stop - Program terminated.\n", "",
         " Reduce correction factor\r\n Calculation Terminated !!!\r\n", successReport,
         Outcome::rejected, "Reduce correction factor"},
        {"rejection over two log lines", W_EXITCODE(0, 0), "Stop - Program terminated.\n", "",
         " Divergence in external friction factor.            \t\t\t\t\tCheck shell surface par\r\n"
         " ameters\r\n Calculation Terminated !!!\r\n",
         std::nullopt, Outcome::rejected,
         "Divergence in external friction factor.            \t\t\t\t\tCheck shell surface "
         "parameters"},
        {"division by zero", W_EXITCODE(1, 0), "",
         "run-time error 20: floating-point division by zero in x\n", std::nullopt, std::nullopt,
         Outcome::arithmeticError, "run-time error 20: floating-point division by zero in x"},
        {"integer conversion", W_EXITCODE(1, 0), "", "run-time error 23: real value\nsecond line\n",
         "", std::nullopt, Outcome::arithmeticError, "run-time error 23: real value"},
        {"end of file", W_EXITCODE(1, 0), "", "run-time error 11: end of file\n", std::nullopt,
         std::nullopt, Outcome::inputError, "run-time error 11: end of file"},
        {"storage refused", W_EXITCODE(1, 0), "", "run-time error 30: the temperature profile\n",
         std::nullopt, std::nullopt, Outcome::resourceError,
         "run-time error 30: the temperature profile"},
        {"file not writable", W_EXITCODE(1, 0), "", "run-time error 31: cannot open\n",
         std::nullopt, std::nullopt, Outcome::resourceError, "run-time error 31: cannot open"},
        {"a folder busy with another run", W_EXITCODE(1, 0), "",
         "run-time error 32: another run holds the folder\n", std::nullopt, std::nullopt,
         Outcome::notRun, "run-time error 32: another run holds the folder"},
        {"a number the library never gives", W_EXITCODE(1, 0), "", "run-time error 99: what\n",
         std::nullopt, std::nullopt, Outcome::crashed, "exit status 1: run-time error 99"},
        {"a signal", W_EXITCODE(0, SIGSEGV), "", "", std::nullopt, std::nullopt, Outcome::crashed,
         "killed by signal 11"},
        {"an unknown exit status", W_EXITCODE(3, 0), "", "oops\n", std::nullopt, std::nullopt,
         Outcome::crashed, "exit status 3: oops"},
        {"success line without a report", W_EXITCODE(0, 0), "", "",
         " Calculation processed successfully\r\n", std::nullopt, Outcome::crashed,
         "the results file cannot be read"},
        {"success line with a broken report", W_EXITCODE(0, 0), "", "",
         " Calculation processed successfully\r\n", successReport.substr(0, 100), Outcome::crashed,
         "truncated"},
    };
    for (const RunAndVerdict& row : table) {
        SCOPED_TRACE(row.what);
        CaseSummary s =
            summariseRun("f", "1", {row.waitStatus, row.out, row.err, row.log, row.results});
        EXPECT_EQ(outcomeName(s.outcome), outcomeName(row.outcome));
        EXPECT_NE(s.message.find(row.message), std::string::npos) << s.message;
        EXPECT_EQ(s.report.has_value(), row.outcome == Outcome::success);
    }
}

// Another run held the folder for longer than the batch waits to read the
// files: the outcome is what the run itself reported, without its figures.
TEST(BatchOutcome, ARunWhoseFilesAnotherRunHoldsIsToldByWhatItPrinted) {
    const struct {
        const char* why;
        std::string out;
        Outcome outcome;
    } rows[] = {
        {"a success says nothing", "", Outcome::success},
        {"a rejection says so", "Stop - Program terminated.\n", Outcome::rejected},
    };
    for (const auto& row : rows) {
        RunObservation run{W_EXITCODE(0, 0), row.out, "", std::nullopt, std::nullopt, true};
        CaseSummary s = summariseRun("f", "1", run);
        EXPECT_EQ(outcomeName(s.outcome), outcomeName(row.outcome)) << row.why;
        EXPECT_NE(s.message.find("another run held the folder"), std::string::npos) << s.message;
        EXPECT_FALSE(s.report.has_value()) << row.why;
    }
}

TEST(BatchCsv, QuotesOnlyWhatNeedsQuoting) {
    const std::pair<const char*, const char*> table[] = {
        {"plain text", "plain text"},         {"a, b", "\"a, b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""}, {"two\nlines", "\"two\nlines\""},
        {"tab\there", "tab\there"},           {"", ""},
    };
    for (auto [text, field] : table) EXPECT_EQ(csvField(text), field) << text;
}

TEST(BatchCsv, RowsHoldTheReportValuesOrNothing) {
    const std::size_t columns = csvFields(csvHeader().substr(0, csvHeader().size() - 1)).size();
    EXPECT_EQ(columns, summaryColumns);
    CaseSummary ok{"run 1, hot",
                   "1",
                   Outcome::success,
                   "",
                   parseResultsReport(successReport),
                   std::nullopt,
                   std::nullopt,
                   {"decimal-comma", "coarse-grid", "decimal-comma"}};
    std::vector<std::string> f = csvFields(csvRow(ok).substr(0, csvRow(ok).size() - 1));
    ASSERT_EQ(f.size(), columns);
    const std::vector<std::string> expected = {
        "run 1, hot", "1",    "success", "", "2.936", "1.247", "438.3", "0.1795",
        "0.001546",   "9.38", "112.25",  "", "12",    "",      "",      "",
        "",           "",     "",        "", "",      "",      "",      "",
        "",           "",     "",        "", "",      "",      "",      "decimal-comma coarse-grid",
        "",           "",     "",        "", "",      "",      ""};
    EXPECT_EQ(f, expected);
    // A cross-flow case's screening: its worst ratio in full, the span, each code.
    ok.vibration = VibrationValues{
        1.2273482357818137, "inlet", {"fluid-elastic-instability", "acoustic-not-screened"}};
    f = csvFields(csvRow(ok).substr(0, csvRow(ok).size() - 1));
    ASSERT_EQ(f.size(), columns);
    EXPECT_EQ(std::vector<std::string>(f.end() - 3, f.end()),
              (std::vector<std::string>{"1.2273482357818137", "inlet",
                                        "fluid-elastic-instability acoustic-not-screened"}));
    CaseSummary rejected = notRun("x", "no such folder");
    EXPECT_EQ(csvFields(csvRow(rejected).substr(0, csvRow(rejected).size() - 1)).size(), columns);
}

TEST(BatchProgress, ShowsCountsTimesAndWhatIsLeft) {
    EXPECT_EQ(progressLine(0, 10, 0, 0.2), "0/10 done, 0 failed, 0:00 elapsed");
    EXPECT_EQ(progressLine(3, 10, 1, 6.0), "3/10 done, 1 failed, 0:06 elapsed, ~0:14 left");
    EXPECT_EQ(progressLine(10, 10, 2, 125.0), "10/10 done, 2 failed, 2:05 elapsed");
}

// The sample cases of every outcome, run by the real program.
const std::pair<const char*, const char*> sampleOutcomes[] = {
    {"success-branch_t1_007", "success"},
    {"success-branch_t2_006", "success"},
    {"success-branch_t3_055", "success"},
    {"success-axial_nb_001", "success"},
    {"terminations-t12_reduce_005", "rejected"},
    {"terminations-t04_tube_friction_008", "rejected"},
    {"inputfail-truncated_049", "input failure"},
    {"arith-zero_dL_001", "arithmetic failure"},
};

class BatchModes : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(, BatchModes, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "processes" : "inProcess"; });

TEST_P(BatchModes, RunsEveryFolderAndSummarisesInTheGivenOrder) {
    ScratchFolder work;
    std::vector<std::string> arguments = {"-j", "3", "-o", "out.csv"};
    if (GetParam()) arguments.push_back("--processes");
    for (auto [name, outcome] : sampleOutcomes) {
        copyCase(sampleCase(name), work.path(), name);
        arguments.push_back(name);
    }
    arguments.push_back(sampleOutcomes[0].first);  // a folder given twice is run once
    ProgramRun run = runProgram(HXRATE_BATCH_EXE, arguments, work.path());
    ASSERT_EQ(run.exitStatus, 0) << run.standardError;
    // Not a terminal: the summary line alone.
    EXPECT_EQ(csvLines(run.standardOutput).size(), 1u);
    EXPECT_NE(run.standardOutput.find("9 cases"), std::string::npos) << run.standardOutput;

    std::vector<std::string> lines = csvLines(readFile(work / "out.csv"));
    ASSERT_EQ(lines.size(), std::size(sampleOutcomes) + 2);
    EXPECT_EQ(lines[0] + "\n", csvHeader());
    EXPECT_EQ(lines.back(), lines[1]);
    for (std::size_t i = 0; i < std::size(sampleOutcomes); ++i) {
        auto [name, outcome] = sampleOutcomes[i];
        SCOPED_TRACE(name);
        std::vector<std::string> f = csvFields(lines[i + 1]);
        EXPECT_EQ(f[0], name);
        EXPECT_EQ(f[2], outcome);
        // Each run leaves the files that hxrate alone leaves.
        std::string expected = sampleCase(name) + "/expected/";
        for (const char* file : {logName, resultsName}) {
            if (file == std::string(logName) && exists(expected + "log_records_failure")) {
                std::string log = readFile(work / name + "/" + logName);
                EXPECT_TRUE(log.starts_with(" run-time error ")) << log;
                EXPECT_TRUE(log.ends_with(" Calculation Terminated !!!\r\n")) << log;
                continue;
            }
            EXPECT_EQ(exists(expected + file), exists(work / name + "/" + file)) << file;
            if (exists(expected + file)) {
                EXPECT_EQ(readFile(expected + file), readFile(work / name + "/" + file));
            }
        }
        if (f[2] == "success") {
            ResultsReport r = parseResultsReport(readFile(expected + resultsName));
            EXPECT_EQ(f[4], shortestDecimal(r.overallCoefficient.value));
            EXPECT_EQ(f[12], std::to_string(r.rows.size() - 1));
        }
    }
}

TEST_P(BatchModes, ReportsFoldersItCannotRun) {
    ScratchFolder work;
    copyCase(sampleCase("success-branch_t1_007"), work.path(), "good");
    std::filesystem::create_directory(work / "empty");
    std::vector<std::string> arguments = {"good", "empty", "missing"};
    if (GetParam()) arguments.push_back("--processes");
    ProgramRun run = runProgram(HXRATE_BATCH_EXE, arguments, work.path());
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.standardError.find("empty: the folder holds no case file"), std::string::npos);
    std::vector<std::string> lines = csvLines(readFile(work / "summary.csv"));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(csvFields(lines[1])[2], "success");
    EXPECT_EQ(csvFields(lines[2])[2], "not run");
    EXPECT_EQ(csvFields(lines[3])[2], "not run");
    // Nothing is written where there is no case.
    EXPECT_TRUE(listFolder(work / "empty").empty());
}

// Root may search any folder: the batch then runs as another user.
TEST_P(BatchModes, AFolderThatCannotBeSearchedIsSaidToBe) {
    ScratchFolder work;
    copyCase(sampleCase("success-branch_t1_007"), work.path(), "blind");
    copyCase(sampleCase("success-branch_t1_007"), work.path(), "unread");
    std::filesystem::permissions(work.path(), std::filesystem::perms::all);
    const std::pair<const char*, std::filesystem::perms> folders[] = {
        {"blind", std::filesystem::perms::none},         // neither read nor searched
        {"unread", std::filesystem::perms::owner_read},  // read, not searched
    };
    const bool root = ::geteuid() == 0;
    for (auto [name, perms] : folders) {
        if (root) {
            ASSERT_EQ(::chown((work / name).c_str(), 65534, 65534), 0);
        }
        std::filesystem::permissions(work / name, perms);
    }
    std::vector<std::string> arguments = {"-o", "-", "blind", "unread"};
    if (GetParam()) arguments.push_back("--processes");
    std::string program = HXRATE_BATCH_EXE;
    if (root) {
        arguments.insert(arguments.begin(),
                         {"--reuid=65534", "--regid=65534", "--clear-groups", program});
        program = "/usr/bin/setpriv";
    }
    ProgramRun run = runProgram(program, arguments, work.path());
    for (auto [name, perms] : folders)
        std::filesystem::permissions(work / name, std::filesystem::perms::owner_all);
    EXPECT_EQ(run.exitStatus, 1) << run.standardError;
    for (auto [name, perms] : folders) {
        EXPECT_NE(
            run.standardError.find("hxrate-batch: " + std::string(name) +
                                   ": the folder cannot be searched: " + std::strerror(EACCES)),
            std::string::npos)
            << run.standardError;
        EXPECT_EQ(listFolder(work / name), std::vector<std::string>{caseName});
    }
}

TEST_P(BatchModes, AFolderBusyWithAnotherRunIsNotRun) {
    ScratchFolder work;
    copyCase(sampleCase("success-branch_t1_007"), work.path(), "good");
    std::string busy = copyCase(sampleCase("success-branch_t1_007"), work.path(), "busy");
    // Holds what a run locks: the folder (and the case file, as runs once did).
    int folderLock = ::open(busy.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int caseLock = ::open((busy + "/" + caseName).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(folderLock, LOCK_EX), 0);
    ASSERT_EQ(::flock(caseLock, LOCK_EX), 0);
    std::vector<std::string> arguments = {"good", "busy"};
    if (GetParam()) arguments.push_back("--processes");
    ProgramRun run = runProgram(HXRATE_BATCH_EXE, arguments, work.path());
    ::close(folderLock);
    ::close(caseLock);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.standardError.find("hxrate-batch: busy: run-time error 32"), std::string::npos)
        << run.standardError;
    std::vector<std::string> lines = csvLines(readFile(work / "summary.csv"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(csvFields(lines[1])[2], "success");
    EXPECT_EQ(csvFields(lines[2])[2], "not run");
    EXPECT_EQ(listFolder(busy), std::vector<std::string>{caseName});
}

// A case document is rated with its extensions, in a folder as case.json or
// named itself; a case file's row shows the case without extensions.
TEST_P(BatchModes, RatesCaseDocumentsWithTheirExtensions) {
    ScratchFolder work;
    const std::string sample = sampleCase("success-branch_t1_007");
    copyCase(sample, work.path(), "file");
    const Case c = readCase(sample + "/" + caseName);
    Extensions twoPasses;
    twoPasses.tubePasses = 2;
    twoPasses.foulingInside = 2e-4;
    std::filesystem::create_directory(work / "document");
    writeFile(work / "document/case.json", caseDocumentJson(c, twoPasses));
    writeFile(work / "plain.json", caseDocumentJson(c));
    writeFile(work / "not-a-document.txt", readFile(sample + "/" + caseName));
    std::vector<std::string> arguments = {"file", "document", "plain.json", "not-a-document.txt"};
    if (GetParam()) arguments.push_back("--processes");
    ProgramRun run = runProgram(HXRATE_BATCH_EXE, arguments, work.path());
    EXPECT_EQ(run.exitStatus, 1) << run.standardError;  // the text file is not run
    std::vector<std::string> lines = csvLines(readFile(work / "summary.csv"));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(listFolder(work / "document"), std::vector<std::string>{"case.json"});

    const ExtendedRating x = rateExtended(c, twoPasses);
    const Rating plain = rate(c);
    const std::string U = shortestDecimal(plain.overallCoefficient);
    struct Row {
        std::string outcome, fullU, cleanU, serviceU, passes, method;
        bool hasF;
        std::string tubeDrop;
        const char* why;
    } rows[] = {
        {"success", U, U, U, "1", "program", false,
         shortestDecimal(rateExtended(c, {}).tubePressureDrop), "case file: no extensions"},
        {"success", shortestDecimal(x.serviceCoefficient), shortestDecimal(x.cleanCoefficient),
         shortestDecimal(x.serviceCoefficient), "2", "program", true,
         shortestDecimal(x.tubePressureDrop), "case.json: two passes, fouled"},
        {"success", U, U, U, "1", "program", false,
         shortestDecimal(rateExtended(c, {}).tubePressureDrop), "a document named itself"},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(row.why);
        std::vector<std::string> f = csvFields(lines[i + 1]);
        ASSERT_EQ(f.size(), summaryColumns);
        EXPECT_EQ(f[2], row.outcome);
        EXPECT_EQ(f[13], row.fullU);
        EXPECT_EQ(f[21], row.cleanU);
        EXPECT_EQ(f[22], row.serviceU);
        EXPECT_EQ(f[23].empty(), !row.hasF);
        EXPECT_EQ(f[24], row.passes);
        EXPECT_EQ(f[25], "1");
        EXPECT_EQ(f[26], row.method);
        EXPECT_EQ(f[27], row.tubeDrop);
        EXPECT_FALSE(f[28].empty());
        // Duty: a positive magnitude, its direction in words.
        EXPECT_GT(std::stod(f[29]), 0);
        EXPECT_EQ(f[30], *plain.tubeDuty > 0 ? "tube stream cooled" : "tube stream heated");
    }
    // The document rows have no report: its printed columns are empty.
    EXPECT_EQ(csvFields(lines[2])[4], "");
    std::vector<std::string> notDocument = csvFields(lines[4]);
    ASSERT_EQ(notDocument.size(), summaryColumns);
    EXPECT_EQ(notDocument[2], "not run");
    EXPECT_NE(notDocument[3].find("not a case document"), std::string::npos);
}

// Documents whose streams' properties come from models are rated with them,
// an oil table and water alike; the last columns say where the rating took
// the properties, and a case file's are constant, at the inlet.
TEST_P(BatchModes, RatesCaseDocumentsWithPropertyModels) {
    ScratchFolder work;
    copyCase(sampleCase("success-branch_t1_007"), work.path(), "file");
    const CaseDocument shipped = parseCaseDocument(readFile(HXRATE_REAL_FLUIDS));
    CaseDocument table = shipped, water = shipped, both = shipped;
    table.tubeProperties = {};
    table.propertiesAt = PropertiesAt::inlet;
    water.shellProperties = {};
    both.propertiesAt = PropertiesAt::incremental;
    const struct {
        const char* name;
        const CaseDocument& document;
        const char* mode;
    } rows[] = {{"table.json", table, "inlet"},
                {"water.json", water, "mean"},
                {"both.json", both, "incremental"}};
    std::vector<std::string> arguments = {"file"};
    if (GetParam()) arguments.push_back("--processes");
    for (const auto& row : rows) {
        writeFile(work / row.name, caseDocumentJson(row.document));
        arguments.push_back(row.name);
    }
    ProgramRun run = runProgram(HXRATE_BATCH_EXE, arguments, work.path());
    ASSERT_EQ(run.exitStatus, 0) << run.standardError;
    std::vector<std::string> lines = csvLines(readFile(work / "summary.csv"));
    ASSERT_EQ(lines.size(), std::size(rows) + 2);
    std::vector<std::string> file = csvFields(lines[1]);
    ASSERT_EQ(file.size(), summaryColumns);
    EXPECT_EQ(std::vector<std::string>(file.begin() + 32, file.begin() + 36),
              (std::vector<std::string>{"inlet", "", "", ""}));
    auto temperature = [](const std::optional<double>& t) {
        return t ? shortestDecimal(*t) : std::string();
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].name);
        const ExchangerRating x = rate(rows[i].document);
        ASSERT_TRUE(x.solved() && x.wallTemperature);
        std::vector<std::string> f = csvFields(lines[i + 2]);
        ASSERT_EQ(f.size(), summaryColumns);
        EXPECT_EQ(f[2], "success") << f[3];
        EXPECT_EQ(f[13], shortestDecimal(x.rating.overallCoefficient));
        EXPECT_EQ(f[32], rows[i].mode);
        EXPECT_EQ(f[33], temperature(x.tubePropertyTemperature));
        EXPECT_EQ(f[34], temperature(x.shellPropertyTemperature));
        EXPECT_EQ(f[35], temperature(x.wallTemperature));
    }
    // The oil's properties at its inlet, not the document's constants: a U
    // of its own.
    EXPECT_NE(csvFields(lines[2])[13], shortestDecimal(rate(shipped.input).overallCoefficient));
}

// The last three columns hold the vibration screening of a cross-flow case,
// a document's and a case file's rated again alike; a case along the tubes,
// and a bundle whose tubes touch, leave them empty.
TEST_P(BatchModes, ListsTheVibrationOfCrossFlowCases) {
    ScratchFolder work;
    const std::string examples = HXRATE_VIBRATION_EXAMPLES;
    const struct {
        std::string argument, source;
        const char* worstSpan;  // empty cells where null
        const char* codes;      // of the last column; with no screening, one column 32 holds
    } rows[] = {
        {"vibrating.json", examples + "/vibrating.json", "window central",
         "fluid-elastic-instability"},
        {"supported.json", examples + "/supported.json", "window central", ""},
        {"cross", sampleCase("success-branch_t3_055"), "window central", ""},
        {"touching", sampleCase("success-branch_t2_006"), nullptr, "vibration-not-screened"},
        {"along", sampleCase("success-branch_t1_007"), nullptr, ""},
    };
    std::vector<std::string> arguments;
    if (GetParam()) arguments.push_back("--processes");
    for (const auto& row : rows) {
        if (row.argument.ends_with(".json")) {
            writeFile(work / row.argument, readFile(row.source));
        } else {
            copyCase(row.source, work.path(), row.argument);
        }
        arguments.push_back(row.argument);
    }
    ProgramRun run = runProgram(HXRATE_BATCH_EXE, arguments, work.path());
    ASSERT_EQ(run.exitStatus, 0) << run.standardError;
    std::vector<std::string> lines = csvLines(readFile(work / "summary.csv"));
    ASSERT_EQ(lines.size(), std::size(rows) + 1);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const auto& row = rows[i];
        SCOPED_TRACE(row.argument);
        std::vector<std::string> f = csvFields(lines[i + 1]);
        ASSERT_EQ(f.size(), summaryColumns);
        EXPECT_EQ(f[2], "success") << f[3];
        if (!row.worstSpan) {
            EXPECT_EQ(std::vector<std::string>(f.end() - 3, f.end()),
                      (std::vector<std::string>{"", "", ""}));
            if (*row.codes) {
                EXPECT_NE((" " + f[31] + " ").find(std::string(" ") + row.codes + " "),
                          std::string::npos);
            }
            continue;
        }
        const CaseDocument document =
            row.argument.ends_with(".json")
                ? parseCaseDocument(readFile(row.source))
                : CaseDocument{readCase(row.source + "/" + caseName), {}, {}};
        const ExchangerRating x = rate(document);
        ASSERT_TRUE(x.vibration);
        EXPECT_EQ(f[36], shortestDecimal(x.vibration->worstVelocityRatio));
        EXPECT_EQ(f[37], row.worstSpan);
        std::string codes;
        for (const Warning& w : x.vibration->warnings) codes += (codes.empty() ? "" : " ") + w.code;
        EXPECT_EQ(f[38], codes);
        EXPECT_EQ(f[38], row.codes);
        // Each code is among the warnings of column 32 too.
        for (const Warning& w : x.vibration->warnings)
            EXPECT_NE((" " + f[31] + " ").find(" " + w.code + " "), std::string::npos) << w.code;
    }
}

// The codes of the warnings hxrate-report --json lists for a case, in its
// order, each once.
std::string reportCodes(const std::string& caseFile, const std::string& folder) {
    ProgramRun r = runProgram(HXRATE_REPORT_EXE, {caseFile, "-o", "report", "--json", "-"}, folder);
    std::string codes;
    const std::string key = "\"code\": \"";
    const std::size_t warnings = r.standardOutput.find("\"warnings\"");
    for (std::size_t at = r.standardOutput.find(key, warnings);
         warnings != std::string::npos && at != std::string::npos;
         at = r.standardOutput.find(key, at + 1)) {
        const std::size_t start = at + key.size();
        std::string code =
            r.standardOutput.substr(start, r.standardOutput.find('"', start) - start);
        if ((" " + codes + " ").find(" " + code + " ") == std::string::npos)
            codes += (codes.empty() ? "" : " ") + code;
    }
    return codes;
}

// The last column holds the codes hxrate-report gives for the same case: of
// a rated case with a text check, and of a rejection's partial rating.
TEST_P(BatchModes, ListsTheWarningCodesTheReportGives) {
    ScratchFolder work;
    const std::string data = std::string(HXRATE_TOOLS_DATA_DIR) + "/../report_data/";
    std::string rejected = readFile(data + "slow-shooting.txt");
    rejected.replace(rejected.rfind("21 0.02"), 7, "21 50");  // the shooting's mismatch grows
    const struct {
        const char* folder;
        std::string text;
        const char* outcome;
        const char* code;
    } rows[] = {
        {"comma", readFile(data + "decimal-comma.txt"), "success", "decimal-comma"},
        {"grows", rejected, "rejected", "slow-shooting"},
    };
    std::vector<std::string> arguments = {"-o", "out.csv"};
    if (GetParam()) arguments.push_back("--processes");
    for (const auto& row : rows) {
        std::filesystem::create_directory(work / row.folder);
        writeFile(work / row.folder + "/" + caseName, row.text);
        arguments.push_back(row.folder);
    }
    ASSERT_EQ(runProgram(HXRATE_BATCH_EXE, arguments, work.path()).exitStatus, 0);
    std::vector<std::string> lines = csvLines(readFile(work / "out.csv"));
    ASSERT_EQ(lines.size(), std::size(rows) + 1);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].folder);
        std::vector<std::string> f = csvFields(lines[i + 1]);
        ASSERT_EQ(f.size(), summaryColumns);
        EXPECT_EQ(f[2], rows[i].outcome);
        EXPECT_EQ(f[31], rows[i].code);
        EXPECT_EQ(f[31], reportCodes(std::string(rows[i].folder) + "/" + caseName, work.path()));
    }
}

// A case document named alone is rated and summarised (in process there is
// nothing of it to flush), its warnings those of the report.
TEST_P(BatchModes, RatesACaseDocumentGivenAlone) {
    ScratchFolder work;
    Case c = parseCase(
        readFile(std::string(HXRATE_TOOLS_DATA_DIR) + "/../report_data/" + "slow-shooting.txt"));
    c.correctionFactor = 50;  // the shooting's mismatch grows: rejected
    writeFile(work / "grows.json", caseDocumentJson(c));
    std::vector<std::string> arguments = {"grows.json"};
    if (GetParam()) arguments.push_back("--processes");
    ProgramRun run = runProgram(HXRATE_BATCH_EXE, arguments, work.path());
    ASSERT_EQ(run.exitStatus, 0) << run.standardError;
    std::vector<std::string> lines = csvLines(readFile(work / "summary.csv"));
    ASSERT_EQ(lines.size(), 2u);
    std::vector<std::string> f = csvFields(lines[1]);
    EXPECT_EQ(f[2], "rejected");
    EXPECT_EQ(f[31], "slow-shooting");
    EXPECT_EQ(f[31], reportCodes("grows.json", work.path()));
}

// The summary read as its users read it: every record one row, every
// full-precision value the rating's own double.
TEST(BatchCsv, ParsesAsOneRowPerFolderWithPythonCsvAndPandas) {
    const std::string python = "/usr/bin/python3";
    if (!exists(python)) GTEST_SKIP() << python << " is not installed";
    ScratchFolder work;
    const std::vector<std::string> names = {"two\nlines, and a comma", "say \"hi\"\r", "plain"};
    for (const std::string& name : names)
        copyCase(sampleCase("success-branch_t2_006"), work.path(), name);
    std::vector<std::string> arguments = names;
    arguments.insert(arguments.begin(), {"-o", "out.csv"});
    ASSERT_EQ(runProgram(HXRATE_BATCH_EXE, arguments, work.path()).exitStatus, 0);
    const char* script = R"(import csv, sys, pandas
rows = list(csv.reader(open(sys.argv[1], newline='')))
frame = pandas.read_csv(sys.argv[1], keep_default_na=False, dtype=str)
assert frame.shape == (len(rows) - 1, len(rows[0])), (frame.shape, len(rows))
assert frame.values.tolist() == rows[1:]
for row in rows: print(len(row), *(repr(field) for field in row[:1] + row[13:21]), sep='\t')
)";
    ProgramRun parsed = runProgram(python, {"-c", script, work / "out.csv"}, work.path());
    ASSERT_EQ(parsed.exitStatus, 0) << parsed.standardError;
    std::vector<std::string> lines = csvLines(parsed.standardOutput);
    ASSERT_EQ(lines.size(), names.size() + 1) << parsed.standardOutput;
    const Case c = readCase(sampleCase("success-branch_t2_006") + "/" + caseName);
    const Rating r = rate(c);
    auto python_repr = [](double v) {
        std::string text = shortestDecimal(v);
        return "'" + text + "'";
    };
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(i);
        std::vector<std::string> f;
        std::istringstream fields(lines[i + 1]);
        for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
        ASSERT_EQ(f.size(), 10u);
        EXPECT_EQ(f[0], std::to_string(summaryColumns));
        const std::vector<std::string> full = {
            python_repr(r.overallCoefficient),   python_repr(r.area),
            python_repr(r.tube.filmCoefficient), python_repr(r.tubeMassFlow),
            python_repr(r.shellMassFlow),        python_repr(r.profile.tube.back()),
            python_repr(r.profile.shell.back()), python_repr(r.shellExitTemperature)};
        EXPECT_EQ(std::vector<std::string>(f.begin() + 2, f.end()), full);
    }
}

TEST(BatchProcesses, EachChildGetsItsShareOfTheMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizer build: children run without a data segment limit";
#endif
    ScratchFolder work;
    for (const char* name : {"a", "b"})
        copyCase(sampleCase("success-branch_t1_007"), work.path(), name);
    // Stands in for hxrate: notes its data segment limit (KiB), then runs it.
    writeFile(work / "hxrate",
              std::string("#!/bin/sh\nulimit -d > data-limit\nexec ") + HXRATE_EXE + "\n");
    std::filesystem::permissions(work / "hxrate", std::filesystem::perms::owner_all);
    ProgramRun run =
        runProgram(HXRATE_BATCH_EXE,
                   {"-j", "2", "--processes", "--hxrate", work / "hxrate", "a", "b"}, work.path());
    ASSERT_EQ(run.exitStatus, 0) << run.standardError;
    // Twice the worker's storage share: hxrate takes half of it for the profile.
    const std::uint64_t share =
        std::max(hxrate::programStorageLimit() / 2 * 2, std::uint64_t{64} << 20);
    for (const char* name : {"a", "b"}) {
        std::string limit = readFile(work / name + "/data-limit");
        ASSERT_NE(limit, "unlimited\n");
        EXPECT_EQ(std::stoull(limit) * 1024, share / 1024 * 1024) << name;
    }
}

// Another run of the folder is part way through replacing its files when
// the child has ended: it holds the folder and has taken the old log away,
// and half a second later puts its new log in place. The child's success
// is read once that run has let go of the folder, not from the gap.
TEST(BatchProcesses, ReadsARunsFilesWhenNoOtherRunIsReplacingThem) {
    if (!exists("/usr/bin/flock")) GTEST_SKIP() << "needs /usr/bin/flock to hold the folder";
    ScratchFolder work;
    copyCase(sampleCase("success-branch_t1_007"), work.path(), "a");
    writeFile(work / "hxrate",
              std::string("#!/bin/sh\n") + HXRATE_EXE +
                  "\nstatus=$?\n"
                  "/usr/bin/flock -x . /bin/sh -c 'mv \"Log file.txt\" .aside && : >.held && "
                  "sleep 0.5 && mv .aside \"Log file.txt\"' </dev/null >/dev/null 2>&1 &\n"
                  "while [ ! -e .held ]; do sleep 0.01; done\n"
                  "exit $status\n");
    std::filesystem::permissions(work / "hxrate", std::filesystem::perms::owner_all);
    ProgramRun run =
        runProgram(HXRATE_BATCH_EXE, {"--processes", "--hxrate", work / "hxrate", "-o", "-", "a"},
                   work.path());
    ASSERT_EQ(run.exitStatus, 0) << run.standardError;
    std::vector<std::string> lines = csvLines(run.standardOutput);
    ASSERT_EQ(lines.size(), 2u) << run.standardOutput;
    std::vector<std::string> f = csvFields(lines[1]);
    EXPECT_EQ(f[2], "success") << f[3];
    const ResultsReport r = parseResultsReport(successReport);
    EXPECT_EQ(f[4], shortestDecimal(r.overallCoefficient.value));
}

TEST(BatchProgram, HelpVersionAndWrongCommandLines) {
    ProgramRun help = runProgram(HXRATE_BATCH_EXE, {"--help"}, "/");
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.standardOutput.find("--processes"), std::string::npos);
    ProgramRun version = runProgram(HXRATE_BATCH_EXE, {"--version"}, "/");
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.standardOutput, "hxrate-batch " + std::string(hxrate::version()) + "\n");
    for (std::vector<std::string> wrong : std::vector<std::vector<std::string>>{
             {}, {"-j", "0", "f"}, {"-j", "x", "f"}, {"--what", "f"}}) {
        EXPECT_EQ(runProgram(HXRATE_BATCH_EXE, wrong, "/").exitStatus, 2) << wrong.size();
    }
}

TEST(BatchProgram, RefusesAProgramThatCannotRun) {
    ScratchFolder work;
    copyCase(sampleCase("success-branch_t1_007"), work.path(), "good");
    ProgramRun run =
        runProgram(HXRATE_BATCH_EXE, {"--hxrate", work / "nothing", "good"}, work.path());
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_FALSE(exists(work / "summary.csv"));
    EXPECT_FALSE(exists(work / "good/" + logName));
}

TEST(BatchProgram, ShowsProgressOnATerminal) {
    ScratchFolder work;
    for (auto [name, outcome] : sampleOutcomes) copyCase(sampleCase(name), work.path(), name);
    // The two failures first, so that the progress line counts them.
    std::vector<std::string> arguments = {"-j", "2"};
    for (auto it = std::rbegin(sampleOutcomes); it != std::rend(sampleOutcomes); ++it)
        arguments.push_back(it->first);
    ProgramRun run = runOnTerminal(HXRATE_BATCH_EXE, arguments, work.path());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_NE(run.standardOutput.find("\r0/8 done, 0 failed"), std::string::npos)
        << run.standardOutput;
    EXPECT_NE(run.standardOutput.find("2 failed"), std::string::npos) << run.standardOutput;
    EXPECT_NE(run.standardOutput.find("8 cases in"), std::string::npos);
}

}  // namespace
}  // namespace hxrate::tools
