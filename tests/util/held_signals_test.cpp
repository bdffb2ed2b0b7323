// The worker threads of bulk work never take the signals that run the
// clean-up: the handler must run where the list of begun files is kept
// consistent, on the thread that started the job.
#include <gtest/gtest.h>

#ifdef __linux__
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "util/parallel.h"

namespace pt {
namespace {

// The blocked signals of one thread, from /proc/self/task/<tid>/status.
unsigned long long BlockedSignals(const std::filesystem::path& task) {
  std::ifstream status(task / "status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigBlk:", 0) == 0) return std::stoull(line.substr(7), nullptr, 16);
  }
  return 0;
}

TEST(WorkerThreads, HoldBackEverySignalThatRunsTheCleanUp) {
  SetWorkerThreads(4);
  ParallelFor(16, [](std::size_t) {});
  SetWorkerThreads(0);
  int workers = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    if (task.path().filename() == std::to_string(::getpid())) continue;
    ++workers;
    const unsigned long long blocked = BlockedSignals(task.path());
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
      EXPECT_NE(blocked & (1ULL << (sig - 1)), 0u) << sigabbrev_np(sig) << " in " << task.path();
    }
  }
  EXPECT_GE(workers, 3);  // the pool's helpers stay
}

}  // namespace
}  // namespace pt
#endif
