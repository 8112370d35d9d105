#include "format/results_report.h"

#include <array>
#include <string_view>

#include "core/records.h"
#include "format/layout.h"
#include "hxrate/report.h"

namespace hxrate {
namespace {

struct ReportLayouts {
    Layout textValue = parseLayout("(1X,A,1X,ES10.3)");
    Layout twoTextsValue = parseLayout("(1X,A,1X,A,1X,ES10.3)");
    Layout massFlows = parseLayout("(1X,A,1X,ES10.3,1X,'&',ES10.3)");
    Layout columnTitles = parseLayout("(3(3X,A))");
    Layout tableRow = parseLayout("(F10.2,10X,F10.2,14X,F10.2)");
};

const ReportLayouts& layouts() {
    static const ReportLayouts parsed;
    return parsed;
}

}  // namespace

void writeResultsReport(const LineSink& sink, const ReportView& v) {
    const ReportLayouts& L = layouts();
    auto laidOut = [&sink](const Layout& layout, auto... items) {
        sink(layOutLine(layout, std::array<LayoutItem, sizeof...(items)>{items...}));
    };
    std::int32_t type = v.exchangerType;
    writeFreeFormLine(sink, exchangerTitle(type));
    writeFreeFormLine(sink, "");
    laidOut(L.textValue, "Overall Heat Transfer Coefficient =", v.overallCoefficient);
    laidOut(L.textValue, "Exchanger Heat Transfer Area =", v.heatTransferArea);
    laidOut(L.twoTextsValue, "Tube Inner Surface Convective Heat Transfer",
            "Coefficient =", v.tubeFilmCoefficient);
    laidOut(L.massFlows, "Internal & External Mass Flow Rate =", v.tubeMassFlow, v.shellMassFlow);
    writeFreeFormLine(sink, "");

    std::string_view thirdTitle = "Shell Fluid Temperature";
    if (isCrossFlow(type)) {
        laidOut(L.textValue, "Shell Exit Temperature =", v.shellExitTemperature);
        writeFreeFormLine(sink, "");
        thirdTitle = "Shell-pass Inlet Temperature";
    }
    laidOut(L.columnTitles, "Location", "Tube Fluid Temperature", thirdTitle);
    writeFreeFormLine(sink, "");

    for (std::int64_t i = 0; i <= v.elementCount; ++i)
        laidOut(L.tableRow, nodeLocation(i, v.elementLength), v.tube[i], v.third[i]);
}

}  // namespace hxrate
