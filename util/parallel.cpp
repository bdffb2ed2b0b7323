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

// Waits a little for `ready` by looking again and again, which answers
// within a fraction of a microsecond, and gives up after about 50 us.
// Between the steps of a job the other side is usually that close, and
// putting a thread to sleep and waking it costs system calls and the
// scheduler's latency, more so in a virtual machine.
template <typename Ready>
bool SpinFor(const Ready& ready) {
  for (int i = 0; i < 2000; ++i) {
    if (ready()) return true;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
  return ready();
}

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
    if (threads_.size() < helpers) {
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
    }
    task_ = &task;
    count_ = count;
    next_.store(0);
    error_ = nullptr;
    busy_.store(helpers);
    wanted_.store(helpers);
    generation_.fetch_add(1);  // under the lock: a sleeping worker cannot miss it
    lock.unlock();
    wake_.notify_all();
    Work();
    if (!SpinFor([this] { return busy_.load() == 0; })) {
      lock.lock();
      finished_.wait(lock, [this] { return busy_.load() == 0; });
      lock.unlock();
    }
    task_ = nullptr;
    if (error_) std::rethrow_exception(error_);
  }

 private:
  void WorkerLoop() {
    std::uint64_t seen = 0;
    for (;;) {
      const auto called = [&] { return stop_.load() || generation_.load() != seen; };
      if (!SpinFor(called)) {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, called);
      }
      if (stop_.load()) return;
      seen = generation_.load();
      // Only as many workers as the step wants join it.
      std::size_t wanted = wanted_.load();
      while (wanted > 0 && !wanted_.compare_exchange_weak(wanted, wanted - 1)) {
      }
      if (wanted == 0) continue;
      Work();
      if (busy_.fetch_sub(1) == 1) {
        // Under the lock: the caller either still sees the count above zero
        // and then sleeps before this wakes it, or sees zero.
        std::lock_guard<std::mutex> lock(mutex_);
        finished_.notify_all();
      }
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
  // Set before generation_ moves on, read after a worker saw it move.
  const std::function<void(std::size_t)>* task_ = nullptr;
  std::size_t count_ = 0;
  std::exception_ptr error_;
  std::atomic<std::size_t> next_{0};
  std::atomic<std::size_t> busy_{0};
  std::atomic<std::size_t> wanted_{0};
  std::atomic<std::uint64_t> generation_{0};
  std::atomic<bool> stop_{false};
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
