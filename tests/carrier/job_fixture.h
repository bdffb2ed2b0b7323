// Runs the EnCode/DeCode command against files in a temporary folder with a
// scripted window.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "carrier/file_io.h"
#include "app/run_state.h"
#include "carrier/job.h"
#include "crypto/cipher.h"
#include "tests/support/failing_files.h"
#include "tests/support/test_files.h"
#include "tests/support/scripted_ui.h"
#include "util/text.h"

namespace pt::test {

class JobTest : public ::testing::Test {
 protected:
  // Round trips pack and unpack the same names again and again: here the
  // user agrees to replace; the tests of the question itself answer No.
  JobTest() { ui.replaceAnswer = MsgAnswer::Yes; }

  // Runs the command as the command line starts it, on path.
  JobOutcome Run(const std::string& path, int cipherIndex = 0) {
    return RunJob(CommandLineRequest(path, cipherIndex, settings, files), state, ui);
  }

  // Writes data as `name` and packs it; returns the carrier path.
  std::string Pack(const std::string& name, const Bytes& data, int cipherIndex = 0,
                   const std::string& hexKey = "") {
    WriteBytes(dir.Path(name), data);
    state.commandLineKey = KeyText(hexKey);
    const JobOutcome out = Run(dir.Path(name), cipherIndex);
    EXPECT_EQ(out.end, JobEnd::Completed) << Messages();
    return out.outputPath;
  }

  // Unpacks the carrier after moving the original away; returns the bytes
  // restored under `name`.
  Bytes Unpack(const std::string& carrier, const std::string& name,
               const std::string& hexKey = "") {
    std::filesystem::remove(dir.Path(name));
    state.commandLineKey = KeyText(hexKey);
    const JobOutcome out = Run(carrier);
    EXPECT_EQ(out.end, JobEnd::Completed) << Messages();
    EXPECT_FALSE(out.checksumError) << Log();
    return ReadBytes(dir.Path(name));
  }

  std::string Messages() const {
    std::string all;
    for (const auto& m : ui.messages) all += "[" + m.text + "] ";
    return all;
  }
  std::string Log() const {
    std::string all;
    for (const auto& l : ui.log) all += l + "\n";
    return all;
  }
  static std::string CrcText(const Bytes& data);

  Settings settings;
  RunState state;
  ScriptedUi ui;
  TempDir dir;
  FailingFiles files;  // every file of every run goes through it
};

}  // namespace pt::test
