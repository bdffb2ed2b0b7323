// The whole unpacking job on an arbitrary carrier file, with a fixed key and
// scripted answers. The first input byte picks how the key is given and
// which answers the boxes get; the rest is the carrier. Nothing may be
// written outside the scratch folder, and memory and time stay bounded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "carrier/job.h"
#include "tests/support/scripted_ui.h"

namespace {

std::filesystem::path Scratch() {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() /
             ("pixeltuck-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t mode = data[0];
  const auto root = Scratch();
  const auto dir = root / "work";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string carrier = (dir / "c.bmp").string();
  {
    std::ofstream out(carrier, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }

  pt::test::ScriptedUi ui;
  pt::JobRequest request;
  request.file = carrier;
  request.startedByCommandLine = true;
  request.deleteTempFile = (mode & 1) != 0;
  const std::string hexKey = "00112233445566778899AABBCCDDEEFF";
  const pt::KeyText commandLineKey(hexKey);
  if (mode & 2) {
    request.commandLineKey = &commandLineKey;
  } else {
    ui.keys.push_back(pt::test::HexKey(hexKey));
    ui.keys.push_back(pt::test::AsciiKey("fuzzing key 123"));
  }
  if (mode & 4) ui.answers.push_back(pt::MsgAnswer::Ok);
  if (mode & 8) ui.answers.push_back(pt::MsgAnswer::Yes);
  (void)pt::RunJob(request, ui);

  // Everything the job wrote stays in its folder.
  for (const auto& e : std::filesystem::directory_iterator(root)) {
    if (e.path().filename() != "work") std::abort();
  }
  std::filesystem::remove_all(dir);
  return 0;
}
