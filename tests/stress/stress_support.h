// Shared pieces of the stress tests: a private folder tree with a snapshot
// of everything in it, hand-made carriers, in-memory gzip, a replayable seed
// and a job runner with a fresh scripted window per run.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "carrier/carrier_format.h"
#include "carrier/file_io.h"
#include "app/run_state.h"
#include "carrier/job.h"
#include "tests/support/failing_files.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/test_files.h"

namespace pt::stress {

using test::Bytes;
using test::CrcOf;
using test::HandMadeCarrier;
using test::Le32;
using test::MixedData;  // gzip shrinks it
using test::NoiseData;  // gzip does not
using test::PlainHeader;
using test::ReadBytes;
using test::ScriptedUi;
using test::WriteBytes;

// gzip file bytes (RFC 1952) of data, made in memory.
Bytes Gzip(const Bytes& data, int level = 6);
// gzip file bytes of n zero bytes, made piecewise (n may be large).
Bytes GzipOfZeros(std::size_t n);

// Header of a carrier whose payload is gz, the gzip form of data.
CarrierHeader GzipHeader(const std::string& name, const Bytes& data, const Bytes& gz);

// Seed of a random test: PT_TEST_SEED when set, else a fresh one; printed
// so that a failure can be replayed.
std::uint64_t TestSeed();

// Everything below a folder: relative path -> "file:" + bytes, "dir",
// "link:" + target or "special" (pipes, devices). Links are not followed.
using Snapshot = std::map<std::string, std::string>;
Snapshot TakeSnapshot(const std::filesystem::path& root);
// Human-readable differences, for failure output.
std::string SnapshotDiff(const Snapshot& before, const Snapshot& after);
std::string FileEntry(const Bytes& data);
// True when s holds a half-written output file that was not in `before`.
bool AnyPartialFile(const Snapshot& s, const Snapshot* before = nullptr);

// The folder tree of one test: root/box holds the files a job works on;
// root itself must never change, so anything escaping the box shows.
class StressTest : public ::testing::Test {
 protected:
  StressTest();
  ~StressTest() override;

  std::string Box(const std::string& name) const { return (box_ / name).string(); }
  std::string Root(const std::string& name) const { return (root_ / name).string(); }
  const std::filesystem::path& root() const { return root_; }
  const std::filesystem::path& box() const { return box_; }

  // Runs the command as the command line starts it, with a fresh window.
  JobOutcome Run(const std::string& path, int cipherIndex = 0);
  // Packs data stored as box/name without faults; returns the carrier path.
  std::string Pack(const std::string& name, const Bytes& data, int cipherIndex = 0,
                   const std::string& hexKey = "");

  ScriptedUi& ui() { return *ui_; }
  std::string Messages() const;
  std::string Log() const;
  std::string LastMessage() const;
  bool ReadyLineLogged() const;
  double lastSeconds() const { return lastSeconds_; }

  Settings settings;
  RunState state;
  test::FailingFiles files;  // every file of every run goes through it
  // Runs before each job on the fresh window (queues key replies, hooks).
  std::function<void(ScriptedUi&)> prepareUi;

 private:
  std::filesystem::path root_;
  std::filesystem::path box_;
  std::unique_ptr<ScriptedUi> ui_ = std::make_unique<ScriptedUi>();
  double lastSeconds_ = 0;
};

}  // namespace pt::stress
