// A stream worked on in batches held in the caller's buffers, its slots 0
// to slots - 1: while the threads work on the batch in one slot, the batch
// before it is written out of another and the one after it read in, so the
// processor's work and the file system's time overlap. With two slots the
// write comes first and the read then refills its slot; with three the
// read and the write run side by side, each with its own slot, as two
// files' copies through the system cache can. Memory is the slots, whatever
// the stream's length.
//
// Threads, step by step:
//   read, write  reads in stream order one at a time, writes the same, on
//                the caller's thread or on a worker thread (which holds
//                back the terminating signals, util/held_signals.h); beside
//                the work of the current slot, and with three slots beside
//                each other. Files only: no front end, no shared state
//                besides their own slot's.
//   work         parts of the current batch on any thread, several at
//                once, each part once; they touch only their part of the
//                slot (and what the caller gives each part for itself).
//   settle       on the caller's thread only, after a step, with nothing
//                else running: the one place to report progress, ask
//                whether to stop or call the front end (JobUi).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace pt {

// What a read brought into its slot.
struct PipelineRead {
  std::size_t bytes = 0;  // 0: the stream has ended
  bool last = false;      // the stream ends with these bytes: no more reads
  bool failed = false;    // the read failed: the pipeline ends with ReadFailed
};

// A batch as the steps see it.
struct PipelineBatch {
  int slot = 0;
  std::int64_t offset = 0;  // of its first byte in the stream
  std::size_t bytes = 0;    // 0 only in the step that writes out the last batch
  bool last = false;        // its read said that the stream ends with it
};

// Every step but read may be left empty.
struct PipelineSteps {
  // 2 or 3 (see above).
  int slots = 2;
  // Fills `slot` with the stream's next batch.
  std::function<PipelineRead(int slot)> read;
  // Into how many parts a batch is worked; 0 for none.
  std::function<std::size_t(const PipelineBatch&)> parts;
  std::function<void(const PipelineBatch&, std::size_t part, std::size_t parts)> work;
  // Writes out a worked batch; false ends the pipeline with WriteFailed.
  std::function<bool(const PipelineBatch&)> write;
  // After each step: the batch's work is done, the one before it written
  // out and the one after it read. streamEnds: no batch follows this one
  // (known now even where its read could not tell; false when the next
  // read failed). The step that only
  // writes out the last batch settles an empty batch. False ends the
  // pipeline with Halted.
  std::function<bool(const PipelineBatch&, bool streamEnds)> settle;
};

enum class PipelineEnd { Done, ReadFailed, WriteFailed, Halted };

// Runs the steps until the stream has ended and every batch is written
// out, or one of them fails or halts. The ends come in this order within a
// step: a failed write (nothing is settled), a halting settle, a failed read.
PipelineEnd RunPipeline(const PipelineSteps& steps);

}  // namespace pt
