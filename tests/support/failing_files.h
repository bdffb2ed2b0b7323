// A file system that fails where a test says: reads or writes after so many
// bytes (counted over every file of a job together), the close of a
// finished file, and hidden names chosen in advance.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "carrier/file_io.h"
#include "carrier/job.h"

namespace pt::test {

class FailingFiles : public FileSystem {
 public:
  // Negative: never fails (the start).
  void FailWritesAfter(std::int64_t bytes);
  void FailReadsAfter(std::int64_t bytes);
  void FailCommits(bool fail);
  // The next hidden names handed out, in order, before random ones (file
  // names only, e.g. ".pixeltuck-000000000001.partial").
  void SetNextHiddenNames(std::vector<std::string> names);
  void Reset();

  std::size_t ReadAllowance(std::size_t n) override;
  void Consumed(std::size_t n) override;
  bool MayWrite(std::size_t n) override;
  bool MayClose() override;
  std::string HiddenName() override;

 private:
  std::mutex lock_;
  std::int64_t writeBudget_ = -1;
  std::int64_t readBudget_ = -1;
  bool failCommits_ = false;
  std::deque<std::string> nextNames_;
};

// The request the command line makes for path, with the cipher at list
// position cipherIndex; every file of the job goes through `files`.
JobRequest CommandLineRequest(const std::string& path, int cipherIndex, const JobSettings& settings,
                              FileSystem& files);

}  // namespace pt::test
