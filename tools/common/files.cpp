#include "files.h"

#include <hxrate/errors.h>
#include <hxrate/output_file.h>

#include <fstream>

namespace hxrate::tools {

std::optional<std::string> readWholeFile(const std::string& path) {
    // Read by hand, not through a string stream: a stream that cannot grow
    // stops quietly and would hand back the start of the file as all of it.
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string bytes;
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0)
        bytes.append(buffer, static_cast<std::size_t>(file.gcount()));
    if (file.bad()) return std::nullopt;
    return bytes;
}

std::string writeOutputFile(const std::string& path, std::string_view bytes) {
    try {
        hxrate::writeWholeFile(path, bytes);
        return {};
    } catch (const hxrate::ResourceError& e) {
        return e.what();
    }
}

}  // namespace hxrate::tools
