#include "cli/storage_limit.h"

#include <sys/resource.h>
#include <unistd.h>

#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>

#include "hxrate/program.h"

namespace hxrate {
namespace {

constexpr std::string_view cgroupRoot = "/sys/fs/cgroup";

// The first line of a file; nothing when it cannot be read.
std::optional<std::string> readFirstLine(const std::string& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::string text;
    std::getline(in, text);
    if (in.bad()) return std::nullopt;
    return text;
}

std::optional<std::uint64_t> resourceLimit(int resource) {
    rlimit limit{};
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
    return static_cast<std::uint64_t>(limit.rlim_cur);
}

void takeSmaller(std::optional<std::uint64_t>& smallest, std::optional<std::uint64_t> candidate) {
    if (candidate && (!smallest || *candidate < *smallest)) smallest = candidate;
}

}  // namespace

std::uint64_t storageLimitFrom(const MemoryBounds& bounds) {
    std::optional<std::uint64_t> smallest;
    for (auto bound :
         {bounds.physical, bounds.controlGroup, bounds.addressSpace, bounds.dataSegment})
        takeSmaller(smallest, bound);
    return smallest ? *smallest / 2 : std::uint64_t{1} << 30;
}

std::optional<std::uint64_t> parseMemoryLimit(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::optional<std::uint64_t> controlGroupLimit(std::string_view procSelfCgroup,
                                               const ReadFile& readFile) {
    std::optional<std::uint64_t> smallest;
    // The limit file in the process's folder and in every folder above it,
    // up to the hierarchy's root (a container sees its own part as root).
    auto walkUp = [&](const std::string& base, std::string folder, const char* file) {
        while (true) {
            std::string dir = base + (folder == "/" ? "" : folder);
            if (auto text = readFile(dir + "/" + file))
                takeSmaller(smallest, parseMemoryLimit(*text));
            if (folder == "/") return;
            auto slash = folder.find_last_of('/');
            folder = slash == 0 ? "/" : folder.substr(0, slash);
        }
    };
    std::istringstream lines{std::string(procSelfCgroup)};
    for (std::string line; std::getline(lines, line);) {
        // hierarchy-ID:controllers:path
        auto first = line.find(':');
        auto second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos) continue;
        std::string controllers = line.substr(first + 1, second - first - 1);
        std::string path = line.substr(second + 1);
        if (path.empty() || path.front() != '/') continue;
        if (line.compare(0, first, "0") == 0 && controllers.empty()) {
            walkUp(std::string(cgroupRoot), path, "memory.max");  // cgroup v2
            continue;
        }
        std::istringstream names(controllers);
        for (std::string name; std::getline(names, name, ',');) {
            if (name == "memory")
                walkUp(std::string(cgroupRoot) + "/memory", path, "memory.limit_in_bytes");
        }
    }
    return smallest;
}

MemoryBounds currentMemoryBounds() {
    MemoryBounds bounds;
    long pages = ::sysconf(_SC_PHYS_PAGES);
    long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && pageSize > 0)
        bounds.physical = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    std::ifstream in("/proc/self/cgroup");
    if (in) {
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        bounds.controlGroup = controlGroupLimit(text, readFirstLine);
    }
    bounds.addressSpace = resourceLimit(RLIMIT_AS);
    bounds.dataSegment = resourceLimit(RLIMIT_DATA);
    return bounds;
}

std::uint64_t programStorageLimit() {
    return storageLimitFrom(currentMemoryBounds());
}

StorageBudget& programStorageBudget() {
    static StorageBudget budget(programStorageLimit());
    return budget;
}

RateOptions programRateOptions() {
    return RateOptions{.storageLimitBytes = programStorageBudget().limit(),
                       .storageBudget = &programStorageBudget()};
}

}  // namespace hxrate
