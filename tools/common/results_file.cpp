#include "results_file.h"

#include <charconv>
#include <cmath>
#include <limits>

#include <hxrate/report.h>

namespace hxrate::tools {
namespace {

constexpr std::size_t fieldWidth = 10;
constexpr std::size_t rowLength = 54;

[[noreturn]] void fail(std::string message) {
    throw ResultsFileError{std::move(message)};
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// A field of the report: fixed-point, scientific (the exponent of a
// magnitude above 99 is written without its letter, "1.000+100"), or a
// row of asterisks for a value too wide for its field.
std::optional<PrintedValue> readField(std::string_view field) {
    std::string_view t = trimBlanks(field);
    if (t.empty()) return std::nullopt;
    if (t.find_first_not_of('*') == std::string_view::npos) {
        return PrintedValue{std::string(t), std::numeric_limits<double>::quiet_NaN()};
    }
    std::string number(t);
    std::size_t sign = number.find_last_of("+-");
    if (sign != std::string::npos && sign > 0 && number[sign - 1] != 'E') number.insert(sign, "E");
    double value = 0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc{} || end != number.data() + number.size()) return std::nullopt;
    return PrintedValue{std::string(t), value};
}

// The lines of the file with their line ends removed; a file whose last line
// has no line end was cut short.
std::vector<std::string_view> splitLines(std::string_view bytes) {
    if (bytes.empty()) fail("the results file is empty");
    if (bytes.back() != '\n') fail("the results file ends in the middle of a line (truncated)");
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        bytes.remove_prefix(end + 1);
    }
    return lines;
}

// Walks the lines in report order; every mismatch names its line.
struct LineCursor {
    const std::vector<std::string_view>& lines;
    std::size_t next = 0;

    std::string_view take(std::string_view what) {
        if (next >= lines.size()) {
            fail("the results file ends after line " + std::to_string(lines.size()) + " where " +
                 std::string(what) + " should follow (truncated)");
        }
        return lines[next++];
    }
    [[noreturn]] void mismatch(std::string_view what) const {
        fail("line " + std::to_string(next) + " of the results file is not " + std::string(what));
    }
    void blank() {
        if (take("an empty line") != " ") mismatch("the empty line the report has there");
    }
    // A text and then one blank-led scientific field.
    PrintedValue labelled(std::string_view label) {
        std::string_view line = take(label);
        std::string_view rest = line.substr(std::min(line.size(), label.size() + 1));
        std::optional<PrintedValue> v;
        if (line.starts_with(" ") && line.substr(1).starts_with(label) &&
            rest.size() == fieldWidth + 1) {
            v = readField(rest);
        }
        if (!v) mismatch("\"" + std::string(label) + "\" followed by a number");
        return *v;
    }
};

}  // namespace

std::uint64_t resultsParseBytes(std::uint64_t bytes) {
    // A table row is a line of rowLength bytes and CR LF; parsed, it is a
    // TableRow and the view of its line.
    constexpr std::uint64_t parsedRow = sizeof(TableRow) + sizeof(std::string_view);
    const std::uint64_t rows = bytes / (rowLength + 2) + 1;
    if (rows > (UINT64_MAX - bytes) / parsedRow) return UINT64_MAX;
    return bytes + rows * parsedRow;
}

ResultsReport parseResultsReport(std::string_view bytes) {
    std::vector<std::string_view> lines = splitLines(bytes);
    LineCursor at{lines};
    ResultsReport r;

    std::string_view first = at.take("the title");
    r.exchangerType = -1;
    for (std::int32_t t = 0; !exchangerTitle(t).empty(); ++t) {
        if (first == " " + std::string(exchangerTitle(t))) r.exchangerType = t;
    }
    if (r.exchangerType < 0)
        fail("this is not a results file of hxrate: its first line is no exchanger title");
    r.title = std::string(exchangerTitle(r.exchangerType));
    at.blank();
    r.overallCoefficient = at.labelled("Overall Heat Transfer Coefficient =");
    r.heatTransferArea = at.labelled("Exchanger Heat Transfer Area =");
    r.tubeFilmCoefficient =
        at.labelled("Tube Inner Surface Convective Heat Transfer Coefficient =");

    constexpr std::string_view flowLabel = " Internal & External Mass Flow Rate = ";
    std::string_view flows = at.take("the mass flow rates");
    std::size_t amp = flowLabel.size() + fieldWidth;
    std::optional<PrintedValue> tubeFlow, shellFlow;
    if (flows.starts_with(flowLabel) && flows.size() == amp + 2 + fieldWidth &&
        flows.substr(amp, 2) == " &") {
        tubeFlow = readField(flows.substr(flowLabel.size() - 1, fieldWidth + 1));
        shellFlow = readField(flows.substr(amp + 2));
    }
    if (!tubeFlow || !shellFlow) at.mismatch("the line of the two mass flow rates");
    r.tubeMassFlow = *tubeFlow;
    r.shellMassFlow = *shellFlow;
    at.blank();

    bool crossFlow = r.exchangerType >= 2;
    if (crossFlow) {
        r.shellExitTemperature = at.labelled("Shell Exit Temperature =");
        at.blank();
    }
    r.thirdColumnTitle = crossFlow ? "Shell-pass Inlet Temperature" : "Shell Fluid Temperature";
    if (at.take("the column titles") !=
        "   Location   Tube Fluid Temperature   " + r.thirdColumnTitle) {
        at.mismatch("the column titles of the table");
    }
    at.blank();

    while (at.next < lines.size()) {
        std::string_view line = at.take("a table row");
        std::optional<PrintedValue> loc, tube, third;
        if (line.size() == rowLength && trimBlanks(line.substr(10, 10)).empty() &&
            trimBlanks(line.substr(30, 14)).empty()) {
            loc = readField(line.substr(0, 10));
            tube = readField(line.substr(20, 10));
            third = readField(line.substr(44, 10));
        }
        if (!loc || !tube || !third)
            at.mismatch("a table row of three numbers (truncated or altered)");
        r.rows.push_back({*loc, *tube, *third});
    }
    if (r.rows.empty()) fail("the results file ends before the first table row (truncated)");
    return r;
}

std::string shortestDecimal(double value) {
    if (std::isnan(value)) return {};
    char buffer[40];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

OutletTemperatures outletTemperatures(const ResultsReport& report) {
    bool shellLeavesAtStart = report.exchangerType == 1 || report.exchangerType == 3;
    const TableRow& last = report.rows.back();
    const TableRow& shellEnd = shellLeavesAtStart ? report.rows.front() : last;
    return {last.tubeTemperature, shellEnd.thirdColumn};
}

}  // namespace hxrate::tools
