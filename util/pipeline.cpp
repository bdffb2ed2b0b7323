#include "util/pipeline.h"

#include "util/parallel.h"

namespace pt {

PipelineEnd RunPipeline(const PipelineSteps& steps) {
  PipelineRead got = steps.read(0);
  if (got.failed) return PipelineEnd::ReadFailed;
  PipelineBatch cur{0, 0, got.bytes, got.last || got.bytes == 0};
  PipelineBatch prev;  // worked, not yet written out
  bool pending = false;
  while (cur.bytes > 0 || pending) {
    const std::size_t parts = cur.bytes > 0 && steps.parts ? steps.parts(cur) : 0;
    PipelineRead next;
    bool writeFailed = false;
    // Task 0 is the file system's (write, then read into the slot just
    // freed); the others are the parts of the current batch.
    ParallelFor(parts + 1, [&](std::size_t task) {
      if (task == 0) {
        if (pending && steps.write && !steps.write(prev)) {
          writeFailed = true;
          return;
        }
        if (!cur.last) next = steps.read(cur.slot ^ 1);
        return;
      }
      steps.work(cur, task - 1, parts);
    });
    if (writeFailed) return PipelineEnd::WriteFailed;
    const bool streamEnds = cur.last || (next.bytes == 0 && !next.failed);
    if (steps.settle && !steps.settle(cur, streamEnds)) return PipelineEnd::Halted;
    if (next.failed) return PipelineEnd::ReadFailed;
    pending = cur.bytes > 0;
    prev = cur;
    cur = PipelineBatch{cur.slot ^ 1, cur.offset + static_cast<std::int64_t>(cur.bytes),
                        next.bytes, streamEnds};
  }
  return PipelineEnd::Done;
}

}  // namespace pt
