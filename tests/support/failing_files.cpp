#include "tests/support/failing_files.h"

#include "crypto/cipher.h"

namespace pt::test {

void FailingFiles::FailWritesAfter(std::int64_t bytes) {
  const std::lock_guard<std::mutex> held(lock_);
  writeBudget_ = bytes;
}

void FailingFiles::FailReadsAfter(std::int64_t bytes) {
  const std::lock_guard<std::mutex> held(lock_);
  readBudget_ = bytes;
}

void FailingFiles::FailCommits(bool fail) {
  const std::lock_guard<std::mutex> held(lock_);
  failCommits_ = fail;
}

void FailingFiles::SetNextHiddenNames(std::vector<std::string> names) {
  const std::lock_guard<std::mutex> held(lock_);
  nextNames_.assign(names.begin(), names.end());
}

void FailingFiles::Reset() {
  const std::lock_guard<std::mutex> held(lock_);
  writeBudget_ = readBudget_ = -1;
  failCommits_ = false;
  nextNames_.clear();
}

std::size_t FailingFiles::ReadAllowance(std::size_t n) {
  const std::lock_guard<std::mutex> held(lock_);
  if (readBudget_ < 0 || static_cast<std::uint64_t>(readBudget_) >= n) return n;
  return static_cast<std::size_t>(readBudget_);
}

void FailingFiles::Consumed(std::size_t n) {
  const std::lock_guard<std::mutex> held(lock_);
  if (readBudget_ >= 0) readBudget_ -= static_cast<std::int64_t>(n);
}

bool FailingFiles::MayWrite(std::size_t n) {
  const std::lock_guard<std::mutex> held(lock_);
  if (writeBudget_ < 0) return true;
  if (static_cast<std::uint64_t>(writeBudget_) < n) {
    writeBudget_ = 0;
    return false;
  }
  writeBudget_ -= static_cast<std::int64_t>(n);
  return true;
}

bool FailingFiles::MayClose() {
  const std::lock_guard<std::mutex> held(lock_);
  return !failCommits_;
}

std::string FailingFiles::HiddenName() {
  {
    const std::lock_guard<std::mutex> held(lock_);
    if (!nextNames_.empty()) {
      std::string name = nextNames_.front();
      nextNames_.pop_front();
      return name;
    }
  }
  return FileSystem::HiddenName();
}

JobRequest CommandLineRequest(const std::string& path, int cipherIndex, const JobSettings& settings,
                              FileSystem& files) {
  JobRequest request;
  request.file = path;
  request.cipher = CipherAtListPosition(cipherIndex);
  request.startedByCommandLine = true;
  request.settings = settings;
  request.files = &files;
  return request;
}

}  // namespace pt::test
