#include "cli/storage_limit.h"

#include <gtest/gtest.h>

#include <map>

namespace hxrate {
namespace {

constexpr std::uint64_t GiB = std::uint64_t{1} << 30;

TEST(StorageLimit, HalfOfTheSmallestBound) {
    struct Row {
        MemoryBounds bounds;
        std::uint64_t expected;
        const char* why;
    };
    const Row rows[] = {
        {{16 * GiB, std::nullopt, std::nullopt, std::nullopt}, 8 * GiB, "the machine alone"},
        {{16 * GiB, 4 * GiB, std::nullopt, std::nullopt}, 2 * GiB, "a container's cgroup"},
        {{16 * GiB, 4 * GiB, 2 * GiB, std::nullopt}, 1 * GiB, "ulimit -v"},
        {{16 * GiB, 4 * GiB, 2 * GiB, GiB}, GiB / 2, "a batch child's share of RLIMIT_DATA"},
        {{2 * GiB, 64 * GiB, std::nullopt, std::nullopt}, GiB, "a cgroup above the machine"},
        {{}, GiB, "nothing known: 1 GiB"},
    };
    for (const Row& row : rows) EXPECT_EQ(storageLimitFrom(row.bounds), row.expected) << row.why;
}

TEST(StorageLimit, ControlGroupFilesOfVersionOneAndTwo) {
    struct Row {
        const char* procSelfCgroup;
        std::map<std::string, std::string> files;
        std::optional<std::uint64_t> expected;
        const char* why;
    };
    const Row rows[] = {
        {"0::/user.slice/job\n",
         {{"/sys/fs/cgroup/user.slice/job/memory.max", "max\n"},
          {"/sys/fs/cgroup/user.slice/memory.max", "4294967296\n"}},
         4294967296,
         "v2: the parent's limit bounds a child without one"},
        {"0::/a/b\n",
         {{"/sys/fs/cgroup/a/b/memory.max", "1073741824\n"},
          {"/sys/fs/cgroup/a/memory.max", "4294967296\n"}},
         1073741824,
         "v2: the smallest on the way up"},
        {"0::/\n", {{"/sys/fs/cgroup/memory.max", "max\n"}}, std::nullopt, "v2: max is none"},
        {"4:memory:/batch/7\n1:cpu:/\n",
         {{"/sys/fs/cgroup/memory/batch/7/memory.limit_in_bytes", "536870912\n"}},
         536870912,
         "v1: the memory hierarchy's folder"},
        {"3:cpuacct,memory:/x\n0::/\n",
         {{"/sys/fs/cgroup/memory/memory.limit_in_bytes", "9223372036854771712\n"}},
         9223372036854771712u,
         "v1 beside v2, shared line, only the root readable"},
        {"garbage\n", {}, std::nullopt, "nothing to read"},
    };
    for (const Row& row : rows) {
        auto read = [&](const std::string& path) -> std::optional<std::string> {
            auto found = row.files.find(path);
            if (found == row.files.end()) return std::nullopt;
            return found->second;
        };
        EXPECT_EQ(controlGroupLimit(row.procSelfCgroup, read), row.expected) << row.why;
    }
    EXPECT_EQ(parseMemoryLimit("max"), std::nullopt);
    EXPECT_EQ(parseMemoryLimit("12x"), std::nullopt);
}

}  // namespace
}  // namespace hxrate
