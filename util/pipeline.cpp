#include "util/pipeline.h"

#include "util/parallel.h"

namespace pt {

PipelineEnd RunPipeline(const PipelineSteps& steps) {
  const bool sideBySide = steps.slots >= 3;
  const int slots = sideBySide ? 3 : 2;
  // The tasks of a step before the parts of its work.
  const std::size_t fileTasks = sideBySide ? 2 : 1;
  PipelineRead got = steps.read(0);
  if (got.failed) return PipelineEnd::ReadFailed;
  PipelineBatch cur{0, 0, got.bytes, got.last || got.bytes == 0};
  PipelineBatch prev;  // worked, not yet written out
  bool pending = false;
  while (cur.bytes > 0 || pending) {
    const std::size_t parts = cur.bytes > 0 && steps.parts ? steps.parts(cur) : 0;
    const int nextSlot = (cur.slot + 1) % slots;
    PipelineRead next;
    bool writeFailed = false;
    // Task 0 writes out the batch before; with two slots it then reads the
    // next batch into the slot just freed, with three task 1 reads it into
    // the free slot meanwhile. The others are the parts of the current batch.
    ParallelFor(parts + fileTasks, [&](std::size_t task) {
      if (task == 0) {
        if (pending && steps.write && !steps.write(prev)) {
          writeFailed = true;
          return;
        }
        if (!sideBySide && !cur.last) next = steps.read(nextSlot);
        return;
      }
      if (task < fileTasks) {
        if (!cur.last) next = steps.read(nextSlot);
        return;
      }
      steps.work(cur, task - fileTasks, parts);
    });
    if (writeFailed) return PipelineEnd::WriteFailed;
    const bool streamEnds = cur.last || (next.bytes == 0 && !next.failed);
    if (steps.settle && !steps.settle(cur, streamEnds)) return PipelineEnd::Halted;
    if (next.failed) return PipelineEnd::ReadFailed;
    pending = cur.bytes > 0;
    prev = cur;
    cur = PipelineBatch{nextSlot, cur.offset + static_cast<std::int64_t>(cur.bytes),
                        next.bytes, streamEnds};
  }
  return PipelineEnd::Done;
}

}  // namespace pt
