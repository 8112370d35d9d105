// The program's limit on a rating's node storage, programStorageLimit()
// (hxrate/program.h): half of the smallest memory the process may use, from
// the machine, its control group and its resource limits, so that a larger
// grid gets error 30 instead of being killed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace hxrate {

// The bounds on the memory of this process that are known; an absent one
// sets no bound.
struct MemoryBounds {
    std::optional<std::uint64_t> physical;      // the machine's memory, bytes
    std::optional<std::uint64_t> controlGroup;  // the cgroup's memory limit, bytes
    std::optional<std::uint64_t> addressSpace;  // RLIMIT_AS, bytes
    std::optional<std::uint64_t> dataSegment;   // RLIMIT_DATA, bytes
};

// Half of the smallest bound; 1 GiB when none is known.
std::uint64_t storageLimitFrom(const MemoryBounds& bounds);

// The memory limit of the process's control group from the text of
// /proc/self/cgroup: the smallest memory.max of its cgroup v2 folder and
// those above it, or the cgroup v1 memory.limit_in_bytes; "max" sets none.
// `readFile` gives the text of a file (a path under /sys/fs/cgroup), or
// nothing when there is none.
using ReadFile = std::function<std::optional<std::string>(const std::string& path)>;
std::optional<std::uint64_t> controlGroupLimit(std::string_view procSelfCgroup,
                                               const ReadFile& readFile);

// A limit written as a decimal number of bytes; "max" or anything else: none.
std::optional<std::uint64_t> parseMemoryLimit(std::string_view text);

// The bounds of this process, read from the system now.
MemoryBounds currentMemoryBounds();

}  // namespace hxrate
