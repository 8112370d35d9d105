// The public entry points of the case file and the results report.
#include <array>
#include <stdexcept>

#include "format/case_reader.h"
#include "format/free_form_reader.h"
#include "format/results_report.h"
#include "hxrate/case.h"
#include "hxrate/report.h"

namespace hxrate {
namespace {

Case readAllLines(FreeFormReader& reader, CaseSource* source) {
    Case c;
    for (int line = 1; line <= caseLineCount; ++line) {
        readCaseLine(reader, line, c,
                     source ? &(*source)[static_cast<std::size_t>(line - 1)] : nullptr);
    }
    reader.close();
    return c;
}

}  // namespace

Case parseCase(std::string_view text, std::string_view sourceName) {
    FreeFormReader reader(std::string(sourceName), text);
    return readAllLines(reader, nullptr);
}

Case parseCase(std::string_view text, std::string_view sourceName, CaseSource& source) {
    FreeFormReader reader(std::string(sourceName), text);
    return readAllLines(reader, &source);
}

Case readCase(const std::filesystem::path& path) {
    FreeFormReader reader(path.string(), openCaseFile(path.string()));
    return readAllLines(reader, nullptr);
}

std::string_view exchangerTitle(std::int32_t type) {
    static constexpr std::array<std::string_view, 4> titles{
        "Co-current Single-pass Heat Exchanger",
        "Counter-current Single-pass Heat Exchanger",
        "Cross Flow Co-current Single-pass Heat Exchanger",
        "Cross Flow Counter-current Single-pass Heat Exchanger",
    };
    if (type < 0 || type >= static_cast<std::int32_t>(titles.size())) return {};
    return titles[static_cast<std::size_t>(type)];
}

std::string resultsReportText(const Case& c, const Rating& rating) {
    const Profile& p = rating.profile;
    const std::size_t nodes = static_cast<std::size_t>(rating.geometry.elementCount) + 1;
    if (rating.stage != Stage::solved || rating.geometry.elementCount < 0 ||
        p.tube.size() != nodes || p.shell.size() != nodes) {
        throw std::invalid_argument("resultsReportText needs a solved rating of the case");
    }
    std::string text;
    ReportView view{c.exchangerType,
                    rating.overallCoefficient,
                    rating.area,
                    rating.tube.filmCoefficient,
                    rating.tubeMassFlow,
                    rating.shellMassFlow,
                    rating.shellExitTemperature,
                    rating.geometry.elementCount,
                    c.elementLength,
                    p.tube.data(),
                    p.shell.data()};
    writeResultsReport(appendLinesTo(text), view);
    return text;
}

const char* version() {
    return HXRATE_VERSION_STRING;
}

}  // namespace hxrate
