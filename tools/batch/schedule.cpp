#include "schedule.h"

#include <limits.h>
#include <stdlib.h>

#include <atomic>
#include <exception>
#include <map>
#include <new>
#include <thread>

namespace hxrate::tools {

BatchPlan planBatch(std::vector<std::string> folders) {
    BatchPlan plan;
    plan.runOf.resize(folders.size());
    std::map<std::string, std::size_t> seen;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        char real[PATH_MAX];
        std::string key = ::realpath(folders[i].c_str(), real) ? std::string(real) : folders[i];
        auto [at, isNew] = seen.emplace(key, i);
        plan.runOf[i] = at->second;
        if (isNew) plan.distinct.push_back(i);
    }
    plan.folders = std::move(folders);
    return plan;
}

BatchProgress::BatchProgress(std::size_t total) : total_(total) {}

void BatchProgress::finished(Outcome outcome) {
    {
        std::lock_guard lock(mutex_);
        ++done_;
        failed_ += isFailure(outcome);
    }
    changed_.notify_all();
}

bool BatchProgress::waitForChange(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [this] { return done_ != shown_ || done_ == total_; });
    shown_ = done_;
    return done_ == total_;
}

std::string BatchProgress::line() const {
    std::lock_guard lock(mutex_);
    return progressLine(done_, total_, failed_, elapsedSeconds());
}

double BatchProgress::elapsedSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

namespace {

// The summary of a folder whose run ended in an exception.
CaseSummary failedSummary(const std::string& folder, Outcome outcome, std::string message) {
    CaseSummary s;
    s.folder = folder;
    s.outcome = outcome;
    s.message = std::move(message);
    return s;
}

}  // namespace

std::vector<CaseSummary> runBatch(const BatchPlan& plan, unsigned workers, const FolderRunner& run,
                                  BatchProgress& progress,
                                  const std::function<void()>& whileRunning) {
    std::vector<CaseSummary> results(plan.folders.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t k; (k = next.fetch_add(1)) < plan.distinct.size();) {
            const std::size_t i = plan.distinct[k];
            CaseSummary s;
            // Nothing may leave a worker thread: that would end the process.
            try {
                s = run(plan.folders[i]);
            } catch (const std::bad_alloc&) {
                s = failedSummary(plan.folders[i], Outcome::resourceError, "not enough memory");
            } catch (const std::exception& e) {
                s = failedSummary(plan.folders[i], Outcome::crashed, e.what());
            } catch (...) {
                s = failedSummary(plan.folders[i], Outcome::crashed, "an unexpected failure");
            }
            progress.finished(s.outcome);
            results[i] = std::move(s);
        }
    };
    {
        std::vector<std::jthread> threads;
        for (unsigned t = 0; t < workers; ++t) threads.emplace_back(work);
        if (whileRunning) whileRunning();
    }
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (plan.runOf[i] == i) continue;
        results[i] = results[plan.runOf[i]];
        results[i].folder = plan.folders[i];
    }
    return results;
}

}  // namespace hxrate::tools
