#include "format/case_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "core/failures.h"

namespace hxrate {
namespace {

[[noreturn]] void unreadable(const std::string& name, const std::string& reason) {
    throw InputError(errorNumber::caseFileUnreadable,
                     "cannot read the case file \"" + name + "\": " + reason, name);
}

}  // namespace

int openCaseFile(const std::string& name) {
    return openCaseFileAt(AT_FDCWD, name, name);
}

int openCaseFileAt(int folder, const std::string& fileName, const std::string& name,
                   int extraFlags) {
    // O_NONBLOCK keeps a FIFO of that name from blocking the open; it is
    // refused below as not a regular file.
    int fd = ::openat(folder, fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | extraFlags);
    if (fd < 0 && errno == EISDIR) unreadable(name, "it is a directory");
    if (fd < 0) unreadable(name, std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        unreadable(name, S_ISDIR(info.st_mode) ? "it is a directory" : "it is not a regular file");
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

void readCaseLine(FreeFormReader& reader, int caseLine, CaseInput& in, CaseLineSource* source) {
    std::int32_t label = 0;  // read, never checked
    std::vector<ReadItem> items{{&label, "label"}};
    using Names = std::array<std::string_view, 6>;
    static constexpr Names tubeNames{"tube fluid name",          "tube fluid density",
                                     "tube fluid viscosity",     "tube fluid conductivity",
                                     "tube fluid heat capacity", "tube fluid volumetric flow"};
    static constexpr Names shellNames{"shell fluid name",          "shell fluid density",
                                      "shell fluid viscosity",     "shell fluid conductivity",
                                      "shell fluid heat capacity", "shell fluid volumetric flow"};
    auto fluid = [&items](FluidProperties& f, const Names& names) {
        items.push_back({&f.name, names[0]});
        items.push_back({&f.density, names[1]});
        items.push_back({&f.viscosity, names[2]});
        items.push_back({&f.conductivity, names[3]});
        items.push_back({&f.heatCapacity, names[4]});
        items.push_back({&f.volumetricFlow, names[5]});
    };
    switch (caseLine) {
        case 1:
            items.push_back({&in.exchangerType, "exchanger type"});
            break;
        case 2:
            items.push_back({&in.tubeInnerDiameter, "tube inner diameter"});
            break;
        case 3:
            items.push_back({&in.innerRoughness, "inner roughness"});
            break;
        case 4:
            items.push_back({&in.tubeLength, "tube length"});
            break;
        case 5:
            items.push_back({&in.elementLength, "element length"});
            break;
        case 6:
            items.push_back({&in.shellInnerDiameter, "shell inner diameter"});
            break;
        case 7:
            items.push_back({&in.bundleArrangement, "bundle arrangement"});
            break;
        case 8:
            items.push_back({&in.tubeCount, "tube count"});
            break;
        case 9:
            items.push_back({&in.longitudinalPitch, "longitudinal pitch"});
            break;
        case 10:
            items.push_back({&in.transversePitch, "transverse pitch"});
            break;
        case 11:
            items.push_back({&in.baffleCount, "baffle count"});
            break;
        case 13:
            items.push_back({&in.wallMaterial, "wall material"});
            items.push_back({&in.wallConductivity, "wall conductivity"});
            items.push_back({&in.wallThickness, "wall thickness"});
            break;
        case 15:
            fluid(in.tubeFluid, tubeNames);
            break;
        case 16:
            fluid(in.shellFluid, shellNames);
            break;
        case 18:
            items.push_back({&in.tubeInletTemperature, "tube inlet temperature"});
            break;
        case 19:
            items.push_back({&in.shellInletTemperature, "shell inlet temperature"});
            break;
        case 21:
            items.push_back({&in.correctionFactor, "correction factor"});
            break;
        default:
            break;  // lines 12, 14, 17 and 20 carry only their label
    }
    reader.read(caseLine, items);
    if (source != nullptr) {
        ReadSpan span = reader.lastSpan();
        *source = {label, span.firstLine, span.lastLine, span.endColumn};
    }
}

}  // namespace hxrate
