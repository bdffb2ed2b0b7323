#include "util/parallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#elif defined(__linux__)
#include <sched.h>

#include <fstream>
#include <string>
#endif

#include "util/held_signals.h"

namespace pt {

namespace {

constexpr unsigned kMaxThreads = 8;

std::atomic<unsigned> g_threadOverride{0};
thread_local bool t_insideTask = false;

// Worker threads that stay for the life of the process, so that a job's
// many small parallel steps do not each pay for starting threads.
class Pool {
 public:
  ~Pool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
  }

  void Run(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& task) {
    std::lock_guard<std::mutex> one(runMutex_);
    std::size_t helpers = std::min<std::size_t>(threads - 1, count - 1);
    std::unique_lock<std::mutex> lock(mutex_);
    // Workers take no terminating signals (they inherit the mask).
    const HeldSignals forWorkers;
    while (threads_.size() < helpers) {
      try {
        threads_.emplace_back([this] { WorkerLoop(); });
      } catch (const std::exception&) {
        // No thread to be had (memory, limits): the caller does the rest.
        helpers = threads_.size();
      }
    }
    task_ = &task;
    count_ = count;
    next_.store(0);
    error_ = nullptr;
    busy_ = helpers;
    wanted_ = helpers;
    ++generation_;
    lock.unlock();
    wake_.notify_all();

    Work();

    lock.lock();
    finished_.wait(lock, [this] { return busy_ == 0; });
    task_ = nullptr;
    if (error_) std::rethrow_exception(error_);
  }

 private:
  void WorkerLoop() {
    std::uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stop_ || (generation_ != seen && wanted_ > 0); });
      if (stop_) return;
      seen = generation_;
      --wanted_;
      lock.unlock();
      Work();
      lock.lock();
      if (--busy_ == 0) finished_.notify_all();
    }
  }

  void Work() {
    t_insideTask = true;
    for (;;) {
      const std::size_t i = next_.fetch_add(1);
      if (i >= count_) break;
      try {
        (*task_)(i);
      } catch (...) {
        std::lock_guard<std::mutex> lock(errorMutex_);
        if (!error_) error_ = std::current_exception();
      }
    }
    t_insideTask = false;
  }

  std::mutex runMutex_;  // one parallel step at a time
  std::mutex mutex_;
  std::mutex errorMutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::vector<std::thread> threads_;
  const std::function<void(std::size_t)>* task_ = nullptr;
  std::size_t count_ = 0;
  std::atomic<std::size_t> next_{0};
  std::size_t busy_ = 0;
  std::size_t wanted_ = 0;
  std::uint64_t generation_ = 0;
  bool stop_ = false;
  std::exception_ptr error_;
};

#ifdef __linux__
// Whole CPUs a quota of `quota` microseconds per `period` allows; 0 for no
// limit.
unsigned CpusOfQuota(long long quota, long long period) {
  if (quota <= 0 || period <= 0) return 0;
  return static_cast<unsigned>(std::max<long long>(1, (quota + period - 1) / period));
}

// The CPU quota of this process's control group, in CPUs; 0 for none. The
// group's own folder is tried first, then the root of the mounted tree,
// which is the group itself inside a container.
unsigned CgroupCpuLimit() {
  std::ifstream groups("/proc/self/cgroup");
  std::string line;
  unsigned limit = 0;
  const auto tighten = [&limit](unsigned cpus) {
    if (cpus != 0 && (limit == 0 || cpus < limit)) limit = cpus;
  };
  while (std::getline(groups, line)) {
    // "0::/path" (v2) or "3:cpu,cpuacct:/path" (v1).
    const std::size_t first = line.find(':');
    const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
    if (second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    const std::string path = line.substr(second + 1);
    if (controllers.empty()) {
      for (const std::string& dir : {"/sys/fs/cgroup" + path, std::string("/sys/fs/cgroup")}) {
        std::ifstream max(dir + "/cpu.max");
        std::string quota;
        long long period = 0;
        if (max >> quota >> period) {
          if (quota != "max") tighten(CpusOfQuota(std::atoll(quota.c_str()), period));
          break;
        }
      }
    } else if (("," + controllers + ",").find(",cpu,") != std::string::npos) {
      for (const std::string& dir : {"/sys/fs/cgroup/" + controllers + path,
                                     "/sys/fs/cgroup/cpu" + path, std::string("/sys/fs/cgroup/cpu")}) {
        std::ifstream quotaFile(dir + "/cpu.cfs_quota_us");
        std::ifstream periodFile(dir + "/cpu.cfs_period_us");
        long long quota = 0;
        long long period = 0;
        if (quotaFile >> quota && periodFile >> period) {
          tighten(CpusOfQuota(quota, period));
          break;
        }
      }
    }
  }
  return limit;
}
#endif

unsigned DefaultThreads() {
  if (!FastPathsEnabled()) return 1;
  return std::clamp(UsableCpus(), 1u, kMaxThreads);
}

}  // namespace

unsigned UsableCpus() {
  unsigned cpus = std::thread::hardware_concurrency();
#ifdef _WIN32
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0) {
    cpus = 0;
    for (; process != 0; process &= process - 1) ++cpus;
  }
#elif defined(__linux__)
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) cpus = static_cast<unsigned>(CPU_COUNT(&set));
  const unsigned quota = CgroupCpuLimit();
  if (quota != 0) cpus = std::min(cpus, quota);
#endif
  return std::max(cpus, 1u);
}

bool FastPathsEnabled() {
  static const bool enabled = [] {
    const char* v = std::getenv("PIXELTUCK_FALLBACK");
    return v == nullptr || v[0] == '\0' || (v[0] == '0' && v[1] == '\0');
  }();
  return enabled;
}

unsigned WorkerThreads() {
  const unsigned chosen = g_threadOverride.load();
  if (chosen != 0) return std::min(chosen, kMaxThreads);
  static const unsigned byDefault = DefaultThreads();
  return byDefault;
}

void SetWorkerThreads(unsigned n) { g_threadOverride.store(n); }

void ParallelFor(std::size_t count, const std::function<void(std::size_t)>& task) {
  if (count == 0) return;
  const unsigned threads = WorkerThreads();
  if (threads <= 1 || count == 1 || t_insideTask) {
    for (std::size_t i = 0; i < count; ++i) task(i);
    return;
  }
  static Pool pool;
  pool.Run(count, threads, task);
}

}  // namespace pt
