// The public entry points of the case text and the results report. Reading
// a case file from disk is the program layer's (src/cli/case_files.cpp).
#include <array>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "format/case_reader.h"
#include "format/free_form_reader.h"
#include "format/results_report.h"
#include "format/whole_case.h"
#include "hxrate/case.h"
#include "hxrate/errors.h"
#include "hxrate/report.h"
#include "hxrate/version.h"

namespace hxrate {

Case readWholeCase(FreeFormReader& reader, CaseSource* source) {
    Case c;
    // The caller's record fills line by line: it tells how far a read that
    // failed got.
    CaseSource own;
    CaseSource& where = source ? *source : own;
    for (int line = 1; line <= caseLineCount; ++line)
        readCaseLine(reader, line, c, &where[static_cast<std::size_t>(line - 1)]);
    // The case keeps its text, so that its text can be checked without
    // being handed over again.
    if (std::optional<std::string_view> text = reader.textRead())
        c.origin =
            CaseOrigin(std::make_shared<const CaseText>(CaseText{std::string(*text), where, c}));
    reader.close();
    return c;
}

Case parseCase(std::string_view text, std::string_view sourceName) {
    FreeFormReader reader(std::string(sourceName), text);
    return readWholeCase(reader);
}

Case parseCase(std::string_view text, std::string_view sourceName, CaseSource& source) {
    FreeFormReader reader(std::string(sourceName), text);
    return readWholeCase(reader, &source);
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

std::string exchangerName(std::int32_t type, int tubePasses, int shells) {
    std::string name(exchangerTitle(type));
    if (name.empty()) return "type " + std::to_string(type);
    constexpr std::string_view onePass = "Single-pass";
    if (tubePasses != 1)
        name.replace(name.find(onePass), onePass.size(), std::to_string(tubePasses) + "-pass");
    if (shells != 1) name += ", " + std::to_string(shells) + " shells in series";
    return name;
}

std::string resultsReportText(const Case& c, const Rating& rating) {
    const Profile& p = rating.profile;
    const std::size_t nodes = static_cast<std::size_t>(rating.geometry.elementCount) + 1;
    if (rating.stage != Stage::solved || rating.geometry.elementCount < 0 ||
        p.tube.size() != nodes || p.shell.size() != nodes) {
        throw InvalidArgument("rating", "resultsReportText needs a solved rating of the case");
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
