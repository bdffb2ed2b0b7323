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

#include "util/held_signals.h"
#include "util/os_process.h"

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

unsigned DefaultThreads() {
  if (!FastPathsEnabled()) return 1;
  return std::clamp(UsableCpus(), 1u, kMaxThreads);
}

}  // namespace

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
