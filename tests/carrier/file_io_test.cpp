// InputFile as a stream: what the key file and standard input are read
// through.

#include "carrier/file_io.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>
#endif

#include "tests/app/temp_dir.h"
#include "tests/support/named_case.h"

namespace pt {
namespace {

struct StreamCase : test::NamedCase {
  enum What { File, Folder, Missing } what;
  std::size_t bound;
  bool opened;
  std::string read;  // of "first line\nsecond line\n"
  int error;         // SystemError after the open
};

class StreamTest : public test::TempDirTest, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(StreamTest, OpensAndReadsUpToTheBound) {
  const StreamCase& c = GetParam();
  const std::string text = "first line\nsecond line\n";
  std::string path = PathOf("missing");
  if (c.what == StreamCase::File) path = Write("key.txt", text);
  if (c.what == StreamCase::Folder) {
    path = PathOf("folder");
    std::filesystem::create_directory(dir_ / "folder");
  }
  InputFile in;
  ASSERT_EQ(in.OpenStream(path), c.opened);
  EXPECT_EQ(in.IsFolder(), c.what == StreamCase::Folder);
  EXPECT_EQ(in.SystemError(), c.error);
  if (!c.opened) return;
  EXPECT_EQ(in.Size(), static_cast<std::int64_t>(text.size()));
  std::string buf(64, '\0');
  buf.resize(in.ReadSome(buf.data(), c.bound));
  EXPECT_EQ(buf, c.read);
  EXPECT_FALSE(in.Failed());
}

INSTANTIATE_TEST_SUITE_P(
    Streams, StreamTest,
    ::testing::Values(StreamCase{"FileCutAtTheBound", StreamCase::File, 5, true, "first", 0},
                      StreamCase{"FileShorterThanTheBound", StreamCase::File, 64, true,
                                 "first line\nsecond line\n", 0},
                      StreamCase{"FolderRefused", StreamCase::Folder, 64, false, "", EISDIR},
                      StreamCase{"MissingFile", StreamCase::Missing, 64, false, "", ENOENT}),
    test::CaseName());

#ifndef _WIN32
// A pipe gives what its writer has written so far: the key's line, not the
// bound, and nothing of what follows later.
class PipeTest : public test::TempDirTest {};

TEST_F(PipeTest, GivesWhatIsThereWithoutWaitingForTheBound) {
  const std::string fifo = PathOf("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::atomic<bool> readerDone{false};
  std::thread writer([&] {
    std::ofstream out(fifo, std::ios::binary);
    out << "key line\n" << std::flush;
    for (int i = 0; i < 500 && !readerDone; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    out << "written later\n";
  });
  InputFile in;
  ASSERT_TRUE(in.OpenStream(fifo));
  EXPECT_EQ(in.Size(), -1);
  std::string buf(256, '\0');
  buf.resize(in.ReadSome(buf.data(), buf.size()));
  readerDone = true;
  writer.join();
  EXPECT_EQ(buf, "key line\n");
}
#endif

}  // namespace
}  // namespace pt
