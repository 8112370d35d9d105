#include "io/results_report.h"

#include <array>
#include <string_view>

#include "io/layout.h"
#include "model/constants.h"
#include "run/arithmetic.h"

namespace hxrate {
namespace {

std::string_view titleOf(std::int32_t type) {
    switch (type) {
        case ExchangerType::CoCurrent:
            return "Co-current Single-pass Heat Exchanger";
        case ExchangerType::CounterCurrent:
            return "Counter-current Single-pass Heat Exchanger";
        case ExchangerType::CrossFlowCoCurrent:
            return "Cross Flow Co-current Single-pass Heat Exchanger";
        default:
            return "Cross Flow Counter-current Single-pass Heat Exchanger";
    }
}

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

ReportValues prepareResultsReport(const CaseInput& in, const DerivedGeometry& geo,
                                  const ThermalModel& tm, const TemperatureProfile& profile) {
    ReportValues v;
    double Do = geo.outerDiameter;
    v.overallCoefficient =
        checked(tm.conductancePerLength / (k::pi * Do), "overall heat transfer coefficient");
    v.heatTransferArea = checked(static_cast<double>(in.tubeCount) * k::pi * in.tubeLength * Do,
                                 "heat transfer area");
    v.shellExitTemperature = in.exchangerType == ExchangerType::CrossFlowCounterCurrent
                                 ? profile.shellTemperature[0]
                                 : profile.finalShellTemperature;
    // Positions i*dL grow in magnitude with i: the last one bounds them all.
    checked(static_cast<double>(geo.elementCount) * in.elementLength, "node position");
    return v;
}

void writeResultsReport(TextOutputFile& file, const CaseInput& in, const DerivedGeometry& geo,
                        const ThermalModel& tm, const TemperatureProfile& profile,
                        const ReportValues& values) {
    const ReportLayouts& L = layouts();
    std::int32_t type = in.exchangerType;
    writeFreeFormLine(file, titleOf(type));
    writeFreeFormLine(file, "");
    writeLaidOutLine(file, L.textValue,
                     std::array<LayoutItem, 2>{"Overall Heat Transfer Coefficient =",
                                               values.overallCoefficient});
    writeLaidOutLine(
        file, L.textValue,
        std::array<LayoutItem, 2>{"Exchanger Heat Transfer Area =", values.heatTransferArea});
    writeLaidOutLine(file, L.twoTextsValue,
                     std::array<LayoutItem, 3>{"Tube Inner Surface Convective Heat Transfer",
                                               "Coefficient =", tm.tubeFilmCoefficient});
    writeLaidOutLine(file, L.massFlows,
                     std::array<LayoutItem, 3>{"Internal & External Mass Flow Rate =",
                                               tm.tubeMassFlow, tm.shellMassFlow});
    writeFreeFormLine(file, "");

    const double* third = profile.shellTemperature.get();
    std::string_view thirdTitle = "Shell Fluid Temperature";
    if (isCrossFlow(type)) {
        writeLaidOutLine(
            file, L.textValue,
            std::array<LayoutItem, 2>{"Shell Exit Temperature =", values.shellExitTemperature});
        writeFreeFormLine(file, "");
        thirdTitle = "Shell-pass Inlet Temperature";
        if (type == ExchangerType::CrossFlowCounterCurrent)
            third = profile.shellPassInletTemperature.get();
    }
    writeLaidOutLine(file, L.columnTitles,
                     std::array<LayoutItem, 3>{"Location", "Tube Fluid Temperature", thirdTitle});
    writeFreeFormLine(file, "");

    const double* Tt = profile.tubeTemperature.get();
    const double dL = in.elementLength;
    for (std::int64_t i = 0; i <= geo.elementCount; ++i) {
        // Each position is formed afresh, never summed element by element.
        double position = static_cast<double>(i) * dL;
        writeLaidOutLine(file, L.tableRow, std::array<LayoutItem, 3>{position, Tt[i], third[i]});
    }
}

}  // namespace hxrate
