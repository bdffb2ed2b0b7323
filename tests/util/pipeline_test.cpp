#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "util/parallel.h"
#include "util/pipeline.h"
#include "tests/support/named_case.h"

namespace pt {
namespace {

constexpr std::size_t kBatch = 1000;

// A stream held in memory, read in batches of kBatch bytes the way a file
// is (a short read is its end), worked on by flipping bits part by part and
// written out behind. Records what the steps saw.
struct MemoryStream {
  MemoryStream(std::size_t length, int slotCount) : slots(slotCount) {
    for (std::size_t i = 0; i < length; ++i) source.push_back(static_cast<char>(i * 7 + i / 13));
  }

  PipelineSteps Steps() {
    PipelineSteps steps;
    steps.slots = slots;
    steps.read = [this](int s) {
      EnterIo();
      PipelineRead got;
      if (reads++ == failRead) {
        got.failed = true;
      } else {
        got.bytes = std::min(kBatch, source.size() - at);
        slot[s] = source.substr(at, got.bytes);
        at += got.bytes;
        got.last = got.bytes < kBatch;
      }
      LeaveIo();
      return got;
    };
    steps.parts = [](const PipelineBatch& b) { return (b.bytes + 99) / 100; };
    steps.work = [this](const PipelineBatch& b, std::size_t part, std::size_t) {
      for (std::size_t i = part * 100; i < b.bytes && i < part * 100 + 100; ++i) {
        slot[b.slot][i] ^= 0x5A;
      }
    };
    steps.write = [this](const PipelineBatch& b) {
      EnterIo();
      const bool ok = writes++ != failWrite;
      if (ok) written += slot[b.slot].substr(0, b.bytes);
      LeaveIo();
      return ok;
    };
    steps.settle = [this](const PipelineBatch& b, bool streamEnds) {
      if (std::this_thread::get_id() != caller) settledElsewhere = true;
      settledOffsets.push_back(b.offset);
      ends.push_back(streamEnds);
      return static_cast<int>(settledOffsets.size()) != haltAt;
    };
    return steps;
  }

  std::string Expected() const {
    std::string s = source;
    for (char& c : s) c ^= 0x5A;
    return s;
  }

  void EnterIo() {
    if (ioInFlight++ != 0) ioOverlapped = true;
  }
  void LeaveIo() { --ioInFlight; }

  int slots;
  std::string source;
  std::size_t at = 0;
  std::string slot[3];
  std::string written;
  int reads = 0, writes = 0;
  int failRead = -1, failWrite = -1, haltAt = -1;
  std::atomic<int> ioInFlight{0};
  std::atomic<bool> ioOverlapped{false};
  std::thread::id caller = std::this_thread::get_id();
  bool settledElsewhere = false;
  std::vector<std::int64_t> settledOffsets;
  std::vector<bool> ends;
};

struct StreamCase : test::NamedCase {
  std::size_t length;
  std::vector<std::int64_t> settled;  // offsets of the settled batches, the empty last step's too
};

class PipelineStream : public testing::TestWithParam<std::tuple<StreamCase, unsigned, int>> {
 protected:
  void TearDown() override { SetWorkerThreads(0); }
};

TEST_P(PipelineStream, WritesEveryBatchWorkedInOrderAndSettlesOnTheCallersThread) {
  const auto& [c, threads, slots] = GetParam();
  SetWorkerThreads(threads);
  MemoryStream m(c.length, slots);
  EXPECT_EQ(RunPipeline(m.Steps()), PipelineEnd::Done);
  EXPECT_EQ(m.written, m.Expected());
  EXPECT_EQ(m.settledOffsets, c.settled);
  // Only the last batch with bytes is known to end the stream (and the
  // empty step after it).
  std::vector<bool> ends(c.settled.size(), false);
  for (std::size_t i = ends.size() >= 2 ? ends.size() - 2 : 0; i < ends.size(); ++i) ends[i] = true;
  EXPECT_EQ(m.ends, ends);
  EXPECT_FALSE(m.settledElsewhere);
  if (slots == 2) {
    EXPECT_FALSE(m.ioOverlapped) << "a read and a write ran at once";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, PipelineStream,
    testing::Combine(testing::Values(StreamCase{"Empty", 0, {}},
                                     StreamCase{"ShortOfOneBatch", 250, {0, 250}},
                                     StreamCase{"EndsOnABatchBoundary", 2000, {0, 1000, 2000}},
                                     StreamCase{"EndsInsideABatch", 2500, {0, 1000, 2000, 2500}}),
                     testing::Values(1u, 3u), testing::Values(2, 3)),
    [](const auto& p) {
      return std::string(std::get<0>(p.param).name) +
             (std::get<1>(p.param) == 1 ? "OnOneThread" : "OnThreeThreads") +
             (std::get<2>(p.param) == 2 ? "ReadAfterWrite" : "ReadBesideWrite");
    });

struct EndCase : test::NamedCase {
  int failRead, failWrite, haltAt;
  PipelineEnd end;
  std::size_t bytesWritten;
  std::size_t settles;
};

class PipelineEnds : public testing::TestWithParam<std::tuple<EndCase, int>> {
 protected:
  void SetUp() override { SetWorkerThreads(2); }
  void TearDown() override { SetWorkerThreads(0); }
};

TEST_P(PipelineEnds, StopsWhereTheStepSaysAndWritesNothingAfter) {
  const auto& [c, slots] = GetParam();
  MemoryStream m(5500, slots);
  m.failRead = c.failRead;
  m.failWrite = c.failWrite;
  m.haltAt = c.haltAt;
  EXPECT_EQ(RunPipeline(m.Steps()), c.end);
  EXPECT_EQ(m.written, m.Expected().substr(0, c.bytesWritten));
  EXPECT_EQ(m.settledOffsets.size(), c.settles);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, PipelineEnds,
    testing::Combine(testing::Values(
        // The first read has nothing to overlap: nothing is settled.
        EndCase{"FirstReadFails", 0, -1, -1, PipelineEnd::ReadFailed, 0, 0},
        // The batch before the failed read is settled, never written.
        EndCase{"LaterReadFails", 2, -1, -1, PipelineEnd::ReadFailed, 1000, 2},
        // A failed write settles nothing more.
        EndCase{"WriteFails", -1, 1, -1, PipelineEnd::WriteFailed, 1000, 2},
        // The halting settle's batch is worked but not written.
        EndCase{"SettleHalts", -1, -1, 3, PipelineEnd::Halted, 2000, 3}),
        testing::Values(2, 3)),
    [](const auto& p) {
      return std::string(std::get<0>(p.param).name) +
             (std::get<1>(p.param) == 2 ? "ReadAfterWrite" : "ReadBesideWrite");
    });

}  // namespace
}  // namespace pt
