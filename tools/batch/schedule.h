// Scheduling a batch: each folder run once, on worker threads, with the
// progress counted as the runs finish.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "batch.h"

namespace hxrate::tools {

// The folders to run: a folder named twice (by any path) is run once, and
// each of its rows shows that run.
struct BatchPlan {
    std::vector<std::string> folders;   // as given
    std::vector<std::size_t> runOf;     // index of the given folder whose run a row shows
    std::vector<std::size_t> distinct;  // the indexes that are run
};
BatchPlan planBatch(std::vector<std::string> folders);

// Counts finished runs for the progress line; workers report, the main
// thread waits and draws.
class BatchProgress {
  public:
    explicit BatchProgress(std::size_t total);
    void finished(Outcome outcome);
    // Waits until a run finishes, every run has, or `timeout` passes; returns
    // whether every run has finished.
    bool waitForChange(std::chrono::milliseconds timeout);
    std::string line() const;  // progressLine() of the counts so far
    double elapsedSeconds() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t total_, done_ = 0, failed_ = 0, shown_ = 0;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

using FolderRunner = std::function<CaseSummary(const std::string& folder)>;

// Runs every distinct folder of the plan on `workers` threads, reporting each
// finished run to `progress`, while the calling thread runs `whileRunning`
// (which should return once every run has finished); returns one summary per
// given folder. A runner that throws gives a `crashed` row.
std::vector<CaseSummary> runBatch(const BatchPlan& plan, unsigned workers, const FolderRunner& run,
                                  BatchProgress& progress,
                                  const std::function<void()>& whileRunning = {});

}  // namespace hxrate::tools
