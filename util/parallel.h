// Spreads independent pieces of bulk work (cipher rows, compression blocks)
// over the processor's cores while the caller waits: a job stays one
// synchronous call on its thread; only its inner loops run on several
// threads, and the result is the same whatever their number.
#pragma once

#include <cstddef>
#include <functional>

#include "util/os_process.h"  // UsableCpus

namespace pt {

// False when the environment variable PIXELTUCK_FALLBACK is set to anything
// but "" or "0": then only the portable code paths run, on one thread. The
// test suite runs once each way, so both stay correct.
bool FastPathsEnabled();

// Threads that bulk work may use, at least 1: UsableCpus() (at most 8),
// 1 when fast paths are off, or the number SetWorkerThreads chose.
unsigned WorkerThreads();

// Fixes the thread count (0 returns to the default); for benchmarks and tests.
void SetWorkerThreads(unsigned n);

// Runs task(i) for every i in [0, count) on up to WorkerThreads() threads,
// the caller's included, and returns when all have run. Tasks must be
// independent of each other. An exception of a task is rethrown here once
// every task has ended. A call from inside a task runs its tasks serially.
void ParallelFor(std::size_t count, const std::function<void(std::size_t)>& task);

}  // namespace pt
