// End-to-end runs of the real console program. Each test copies the program
// into its own folder, so that a configuration file beside it belongs to that
// test alone; standard input is the null device (no terminal) unless a test
// feeds it.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/cli_ui.h"
#include "app/version.h"
#include "tests/app/temp_dir.h"
#include "tests/support/named_case.h"

namespace pt {
namespace {

namespace fs = std::filesystem;

class CliProgramTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
#ifdef _WIN32
    program_ = PathOf("pixeltuck-cli.exe");
#else
    program_ = PathOf("pixeltuck-cli");
#endif
    fs::copy_file(PT_CLI_BINARY, FsPath(program_));
    fs::create_directory(dir_ / "work");
  }

  struct Result {
    int status = -1;
    std::string out;
    std::string err;
  };

#ifdef _WIN32
  // One argument as the C runtime splits a command line: quoted, with the
  // backslashes before a quote doubled.
  static std::wstring Quote(const std::wstring& s) {
    std::wstring q = L"\"";
    std::size_t slashes = 0;
    for (wchar_t c : s) {
      if (c == L'\\') {
        ++slashes;
        continue;
      }
      q.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
      slashes = 0;
      q += c;
    }
    q.append(2 * slashes, L'\\');
    return q + L"\"";
  }

  // CreateProcessW rather than the shell: arguments reach the program as
  // wide text, whatever the code page. input: the bytes on standard input
  // (none: the NUL device).
  Result Run(const std::vector<std::string>& args, const std::string* input = nullptr) const {
    std::wstring cmd = Quote(WideText(program_));
    for (const auto& a : args) cmd += L" " + Quote(WideText(a));
    const std::string outFile = PathOf("stdout.txt");
    const std::string errFile = PathOf("stderr.txt");
    const std::wstring inFile = input ? WidePath(Write("stdin.txt", *input)) : L"NUL";
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    auto open = [&](const std::wstring& name, DWORD access, DWORD disposition) {
      return CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = open(inFile, GENERIC_READ, OPEN_EXISTING);
    si.hStdOutput = open(WidePath(outFile), GENERIC_WRITE, CREATE_ALWAYS);
    si.hStdError = open(WidePath(errFile), GENERIC_WRITE, CREATE_ALWAYS);
    PROCESS_INFORMATION pi{};
    Result r;
    if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                       &pi)) {
      WaitForSingleObject(pi.hProcess, INFINITE);
      DWORD code = 0;
      if (GetExitCodeProcess(pi.hProcess, &code)) r.status = static_cast<int>(code);
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
    for (HANDLE h : {si.hStdInput, si.hStdOutput, si.hStdError}) CloseHandle(h);
    // Text output ends its lines with CR LF on Windows.
    r.out = WithoutCarriageReturns(Read(outFile));
    r.err = WithoutCarriageReturns(Read(errFile));
    return r;
  }

  static std::string WithoutCarriageReturns(std::string s) {
    std::erase(s, '\r');
    return s;
  }
#else
  static std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
  }

  // input: the bytes on standard input (none: /dev/null).
  Result Run(const std::vector<std::string>& args, const std::string* input = nullptr) const {
    std::string cmd = Quote(program_);
    for (const auto& a : args) cmd += " " + Quote(a);
    const std::string outFile = PathOf("stdout.txt");
    const std::string errFile = PathOf("stderr.txt");
    const std::string inFile = input ? Write("stdin.txt", *input) : "/dev/null";
    // Through a pipe, as from another program; in a session of its own, so
    // that no terminal the tests were started from can be asked anything.
    cmd = "cat " + Quote(inFile) + " | setsid -w " + cmd + " >" + Quote(outFile) + " 2>" +
          Quote(errFile);
    Result r;
    const int raw = std::system(cmd.c_str());
    if (raw != -1 && WIFEXITED(raw)) r.status = WEXITSTATUS(raw);
    r.out = Read(outFile);
    r.err = Read(errFile);
    return r;
  }
#endif

  std::string Work(const std::string& name) const { return PathOf("work/" + name); }

  std::string program_;
};

std::string SampleBytes(std::size_t n) {
  std::string s;
  std::uint32_t x = 12345;
  for (std::size_t i = 0; i < n; ++i) {
    x = x * 1103515245U + 12345U;
    s.push_back(static_cast<char>(x >> 24));
  }
  return s;
}

TEST_F(CliProgramTest, HelpExitsZero) {
  for (const char* arg : {"-h", "--help"}) {
    const Result r = Run({arg});
    EXPECT_EQ(r.status, 0) << arg;
    EXPECT_EQ(r.out.rfind("Usage: pixeltuck-cli", 0), 0U) << r.out;
    EXPECT_EQ(r.err, "");
  }
}

TEST_F(CliProgramTest, VersionFromTheProject) {
  const Result r = Run({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind(std::string("pixeltuck-cli (pixelTuck) ") + kProgramVersion + "\n", 0), 0U)
      << r.out;
}

TEST_F(CliProgramTest, UnusableArgumentsExitTwo) {
  const std::string file = Write("work/a.txt", "abc");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"--key-file"}, {"-K:0123", file}, {Work("missing.txt")}, {"-N", "-S"}}) {
    const Result r = Run(args);
    EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(CliProgramTest, PackAndUnpackWithoutCipher) {
  const std::string content = SampleBytes(10000);
  const std::string file = Write("work/data.bin", content);
  Result r = Run({"-N", "-S", file});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Try to encode file:"), std::string::npos);
  EXPECT_EQ(r.err, "");  // no progress line where there is no terminal
  const std::string carrier = Work("data.bmp");
  ASSERT_TRUE(fs::exists(carrier));
  EXPECT_EQ(Read(carrier).substr(0, 2), "BM");

  fs::remove(file);
  r = Run({carrier});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Try to decode file:"), std::string::npos);
  EXPECT_EQ(Read(file), content);
}

TEST_F(CliProgramTest, NamesOutsideAsciiInAFolderOutsideAscii) {
  // Found, packed and restored under the same names (on Windows too, where
  // narrow system text would lose them or fail to convert).
  const std::string folder = "J\xC3\xBCrgen";
  fs::create_directory(FsPath(PathOf(folder)));
  for (const std::string name : {"caf\xC3\xA9", "\xD0\x9A\xD0\xBB"}) {
    SCOPED_TRACE(name);
    const std::string file = Write(folder + "/" + name + ".txt", "some bytes");
    const Result packed = Run({"-N", file});
    ASSERT_EQ(packed.status, 0) << packed.err;
    fs::remove(FsPath(file));
    const Result unpacked = Run({PathOf(folder + "/" + name + ".bmp")});
    ASSERT_EQ(unpacked.status, 0) << unpacked.err;
    EXPECT_EQ(Read(file), "some bytes");
  }
}

TEST_F(CliProgramTest, MissingKeyWithoutTerminalExitsOne) {
  const std::string file = Write("work/data.bin", "abc");
  const Result r = Run({"-T", file});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("A key is needed"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(Work("data.bmp")));
}

struct CipherCase : test::NamedCase {
  const char* flag;
};

class CliCipherTest : public CliProgramTest,
                      public ::testing::WithParamInterface<CipherCase> {};

// Compression is switched off by the settings beside the program, so that an
// unenciphered carrier would hold the plain text.
TEST_P(CliCipherTest, KeyedRoundTrip) {
  Write("pixeltuck.cfg", "2 0 -1 0 0 0 1 0 1 zip 1");
  std::string content;
  for (int i = 0; i < 200; ++i) content += "plain text marker line " + std::to_string(i) + "\n";
  const std::string file = Write("work/plain.txt", content);
  const std::string key = "-K:00112233445566778899aabbccddeeff";

  Result r = Run({GetParam().flag, key, file});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string carrier = Read(Work("plain.bmp"));
  EXPECT_EQ(carrier.find("plain text marker"), std::string::npos);

  fs::remove(file);
  r = Run({key, Work("plain.bmp")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(file), content);

  // A different key is refused before anything is written, even with --force.
  r = Run({"--force", "-K:ffeeddccbbaa99887766554433221100", Work("plain.bmp")});
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.err.find("wrong key"), std::string::npos) << r.err;
  EXPECT_EQ(Read(file), content);
}

INSTANTIATE_TEST_SUITE_P(Ciphers, CliCipherTest,
                         ::testing::Values(CipherCase{"TwoFish", "-T"},
                                           CipherCase{"Rijndael", "-R"},
                                           CipherCase{"BlowFish", "--cipher=blowfish"}),
                         test::CaseName());

TEST_F(CliProgramTest, NoneCarrierHoldsPlainText) {
  // The counterpart of the keyed test: without a cipher the marker is there.
  Write("pixeltuck.cfg", "2 0 -1 0 0 0 1 0 1 zip 1");
  const std::string file = Write("work/plain.txt", "plain text marker");
  ASSERT_EQ(Run({"-N", file}).status, 0);
  EXPECT_NE(Read(Work("plain.bmp")).find("plain text marker"), std::string::npos);
}

TEST_F(CliProgramTest, SettingsBesideProgramAreUsedAndKept) {
  // Start-up cipher None and rule 3 (append .bmp).
  const std::string cfg = Write("pixeltuck.cfg", "0 1 -1 0 0 0 1 0 1 zip 3");
  const std::string file = Write("work/report.doc", "report");
  const Result r = Run({file});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(Work("report.doc.bmp")));
  EXPECT_EQ(Read(cfg), "0 1 -1 0 0 0 1 0 1 zip 3");
}

TEST_F(CliProgramTest, NoSettingsFileIsCreated) {
  const std::string file = Write("work/a.txt", "abc");
  ASSERT_EQ(Run({"-N", file}).status, 0);
  EXPECT_FALSE(fs::exists(PathOf("pixeltuck.cfg")));
  EXPECT_FALSE(fs::exists(PathOf("pixeltuck-cli.cfg")));
}

TEST_F(CliProgramTest, ExistingFilesAreReplacedOnlyWithForce) {
  const std::string file = Write("work/a.txt", "first");
  ASSERT_EQ(Run({"-N", file}).status, 0);
  const std::string carrier = Read(Work("a.bmp"));
  Write("work/a.txt", "second");

  // No terminal to ask: refused, nothing written, either way round.
  for (const std::string& target : {file, Work("a.bmp")}) {
    const Result r = Run({"-N", target});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
  }
  EXPECT_EQ(Read(Work("a.bmp")), carrier);
  EXPECT_EQ(Read(file), "second");

  Result r = Run({"-N", "-f", file});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(kReplacedByForce), std::string::npos) << r.out;
  EXPECT_NE(Read(Work("a.bmp")), carrier);
  Write("work/a.txt", "third");
  r = Run({"--force", Work("a.bmp")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(file), "second");
}

TEST_F(CliProgramTest, KeyFromStandardInput) {
  const std::string content = SampleBytes(5000);
  const std::string file = Write("work/data.bin", content);
  const std::string key = "00112233445566778899aabbccddeeff\nthe rest is not read\n";
  Result r = Run({"-T", "--key-file", "-", file}, &key);
  ASSERT_EQ(r.status, 0) << r.err;
  fs::remove(file);
  r = Run({"-K:00112233445566778899AABBCCDDEEFF", Work("data.bmp")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(file), content);
}

TEST_F(CliProgramTest, ControlCharactersOfNamesReachNoTerminal) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows file names cannot hold control characters";
#endif
  // A name that would set the window title, ring the bell and clear the
  // screen; and one that is not UTF-8 with a C1 control sequence introducer.
  for (const std::string name : {"t\x1b]0;owned\x07\x1b[2J.txt", "x\x9b" "2J.txt"}) {
    const std::string file = Write("work/" + name, "abc");
    const std::string carrier = Work(name.substr(0, name.size() - 4) + ".bmp");
    const Result pack = Run({"-N", file});
    ASSERT_EQ(pack.status, 0) << pack.err;
    fs::remove(file);
    const Result unpack = Run({carrier, Work("missing\x1b[2J")});
    EXPECT_EQ(unpack.status, 2);
    for (const std::string& text : {pack.out, unpack.out, unpack.err}) {
      EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
      EXPECT_EQ(text.find('\x9b'), std::string::npos) << text;
    }
    EXPECT_NE(pack.out.find("-> \"" + EscapeControls(name, false) + "\""), std::string::npos)
        << pack.out;
    EXPECT_NE(unpack.err.find("missing\\x1b[2J"), std::string::npos) << unpack.err;
    fs::remove(carrier);
  }
}

#ifdef __linux__
// Keys are asked on the terminal, not on standard input: a program whose
// input comes from elsewhere (a pipe, xargs) still asks, and the prompts
// show on the terminal whatever standard error is.
TEST_F(CliProgramTest, KeyIsTypedOnTheTerminalWhateverStandardInputIs) {
  const std::string file = Write("work/secret.txt", "typed key");
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string slave = ::ptsname(master);
  const std::string out = PathOf("stdout.txt");
  const std::string err = PathOf("stderr.txt");
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setsid();
    // Opened after setsid: the session's controlling terminal.
    const int tty = ::open(slave.c_str(), O_RDWR);
    const int in = ::open("/dev/null", O_RDONLY);
    const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (tty < 0 || in < 0 || o < 0 || e < 0 || ::dup2(in, 0) < 0 || ::dup2(o, 1) < 0 ||
        ::dup2(e, 2) < 0) {
      ::_exit(127);
    }
    ::execl(program_.c_str(), program_.c_str(), "-T", file.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ASSERT_GT(pid, 0);
  std::string shown;
  // Reads the terminal until `prompt` shows; false when the program closed it.
  const auto awaitPrompt = [&](const std::string& prompt) {
    for (;;) {
      const std::size_t at = shown.find(prompt);
      if (at != std::string::npos) {
        shown.erase(0, at + prompt.size());
        return true;
      }
      char buf[256];
      const ssize_t got = ::read(master, buf, sizeof buf);
      if (got <= 0) return false;
      shown.append(buf, static_cast<std::size_t>(got));
    }
  };
  const std::string typed = "a long enough key\n";
  const bool asked = awaitPrompt("Enter the key") &&
                     ::write(master, typed.data(), typed.size()) == static_cast<ssize_t>(typed.size()) &&
                     awaitPrompt("Reenter") &&
                     ::write(master, typed.data(), typed.size()) == static_cast<ssize_t>(typed.size());
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(master);
  ASSERT_TRUE(asked) << Read(err);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Read(err);

  fs::remove(file);
  std::string hex;
  for (unsigned char c : std::string("a long enough key")) {
    hex += "0123456789ABCDEF"[c >> 4];
    hex += "0123456789ABCDEF"[c & 0x0F];
  }
  ASSERT_EQ(Run({"-K:" + hex, Work("secret.bmp")}).status, 0);
  EXPECT_EQ(Read(file), "typed key");
}
#endif

TEST_F(CliProgramTest, PacksStandardInputUnderTheGivenName) {
  const std::string content = SampleBytes(300000) + "\r\n\x1a\n";
  Result r = Run({"-N", "--name", "notes.txt", "-o", Work(""), "-"}, &content);
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir_ / "work")) names.push_back(Utf8Path(e.path().filename()));
  EXPECT_EQ(names, std::vector<std::string>{"notes.bmp"});  // the copy of the input is gone
  r = Run({Work("notes.bmp")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(Work("notes.txt")), content);
  const std::string empty;
  EXPECT_EQ(Run({"-N", "--name", "empty.txt", "-o", Work(""), "-"}, &empty).status, 2);
}

TEST_F(CliProgramTest, NonCarrierBmpExitsOne) {
  const std::string bmp = Write("work/picture.bmp", SampleBytes(3000));
  const Result r = Run({bmp});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(r.err.empty());
}

// ---------------------------------------------------------------------------
// Interruptions

// POSIX signals and the file-size limit of "ulimit -f"; Windows has neither
// (Ctrl+C reaches a console program as a console event, and no limit makes a
// write fail), so these runs are for the other platforms only.
#ifndef _WIN32

// A large source whose blocks are all holes: quick to make, slow enough to
// pack or unpack that the run can be stopped in the middle.
void MakeLargeFile(const std::string& path, std::int64_t size) {
  std::ofstream(path, std::ios::binary) << "start";
  fs::resize_file(path, static_cast<std::uintmax_t>(size));
}

// Files a job has begun: hidden partial outputs and gzip temp files.
std::vector<std::string> BegunFiles(const fs::path& dir) {
  std::vector<std::string> found;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    const bool partial = name.rfind(".pixeltuck-", 0) == 0;
    const bool gzipTemp = name.size() > 10 && name.find(".pixeltuck") != std::string::npos;
    if (partial || gzipTemp) found.push_back(name);
  }
  return found;
}

class CliInterruptTest : public CliProgramTest {
 protected:
  // Starts the program with standard input /dev/null and the output into
  // files; fileSizeLimit > 0 sets the limit the shell's "ulimit -f" sets.
  pid_t Start(const std::vector<std::string>& args, rlim_t fileSizeLimit = 0) const {
    std::vector<std::string> all{program_};
    all.insert(all.end(), args.begin(), args.end());
    const std::string out = PathOf("stdout.txt");
    const std::string err = PathOf("stderr.txt");
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setsid();  // no terminal to ask
      const int in = ::open("/dev/null", O_RDONLY);
      const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (in < 0 || o < 0 || e < 0 || ::dup2(in, 0) < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0) {
        ::_exit(127);
      }
      if (fileSizeLimit > 0) {
        const struct rlimit limit {fileSizeLimit, fileSizeLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
      const struct rlimit noCore {0, 0};  // SIGQUIT would dump one
      ::setrlimit(RLIMIT_CORE, &noCore);
      std::vector<char*> argv;
      for (const std::string& a : all) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    return pid;
  }

  // Waits until the job has begun a file, or has ended (false).
  bool AwaitBegunFile(pid_t pid) const {
    for (;;) {
      if (!BegunFiles(dir_ / "work").empty()) return true;
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) return false;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }

  static int WaitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
  }
};

struct InterruptCase : test::NamedCase {
  int signal;
  bool unpack;
  const char* settings;  // compression mode 0 (never) or 3 (always)
};

void PrintTo(const InterruptCase& c, std::ostream* os) { *os << c.name; }

class CliSignalTest : public CliInterruptTest,
                      public ::testing::WithParamInterface<InterruptCase> {};

TEST_P(CliSignalTest, LeavesNoBegunFileBehind) {
  Write("pixeltuck.cfg", GetParam().settings);
  const std::string source = Work("big.bin");
  MakeLargeFile(source, std::int64_t{256} << 20);
  std::vector<std::string> args{"-N", source};
  if (GetParam().unpack) {
    ASSERT_EQ(Run({"-N", source}).status, 0);
    fs::remove(source);
    args = {Work("big.bmp")};
  }
  const auto before = [&] {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_ / "work")) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }();

  const pid_t pid = Start(args);
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(AwaitBegunFile(pid)) << "the job ended before it could be stopped";
  ASSERT_EQ(::kill(pid, GetParam().signal), 0);
  const int status = WaitFor(pid);
  // The signal still ends the program, as it would have without the cleanup.
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), GetParam().signal);

  std::vector<std::string> after;
  for (const auto& e : fs::directory_iterator(dir_ / "work")) after.push_back(e.path().filename());
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, CliSignalTest,
    ::testing::Values(
        InterruptCase{"PackInterrupted", SIGINT, false, "2 0 -1 0 0 0 1 0 1 zip 1"},
        InterruptCase{"PackTerminatedWhileCompressing", SIGTERM, false, "2 3 -1 0 0 0 1 0 1 zip 1"},
        InterruptCase{"UnpackHungUp", SIGHUP, true, "2 0 -1 0 0 0 1 0 1 zip 1"},
        InterruptCase{"UnpackQuitWhileInflating", SIGQUIT, true, "2 3 -1 0 0 0 1 0 1 zip 1"}),
    test::CaseName());

// `pixeltuck-cli ... | head -1`, or quitting a pager: the reader of the log
// goes away while the job runs. The program is not killed where it stands;
// the failed writes end the job and nothing begun stays.
class CliClosedPipeTest : public CliInterruptTest,
                          public ::testing::WithParamInterface<InterruptCase> {};

TEST_P(CliClosedPipeTest, LeavesNoBegunFileBehind) {
  Write("pixeltuck.cfg", GetParam().settings);
  const std::string source = Work("big.bin");
  MakeLargeFile(source, std::int64_t{256} << 20);
  std::vector<std::string> args{program_, "-N", source};
  if (GetParam().unpack) {
    ASSERT_EQ(Run({"-N", source}).status, 0);
    fs::remove(source);
    args = {program_, Work("big.bmp")};
  }
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string err = PathOf("stderr.txt");
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || e < 0 || ::dup2(in, 0) < 0 || ::dup2(fds[1], 1) < 0 || ::dup2(e, 2) < 0) {
      ::_exit(127);
    }
    ::close(fds[0]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ASSERT_GT(pid, 0);
  ::close(fds[1]);
  char c = 0;
  while (::read(fds[0], &c, 1) == 1 && c != '\n') {
  }
  ::close(fds[0]);  // as head does after its first line
  const int status = WaitFor(pid);
  EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(BegunFiles(dir_ / "work"), std::vector<std::string>{});
  if (!GetParam().unpack) {
    // The carrier's rows come after the log lines that failed.
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_FALSE(fs::exists(Work("big.bmp")));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pipes, CliClosedPipeTest,
    ::testing::Values(
        InterruptCase{"PackWithGzipStage", SIGPIPE, false, "2 3 -1 0 0 0 1 0 1 zip 1"},
        InterruptCase{"UnpackGzipPayload", SIGPIPE, true, "2 3 -1 0 0 0 1 0 1 zip 1"}),
    test::CaseName());

TEST_F(CliInterruptTest, FileSizeLimitIsAWriteErrorNotAKill) {
  Write("pixeltuck.cfg", "2 0 -1 0 0 0 1 0 1 zip 1");
  const std::string source = Write("work/data.bin", SampleBytes(3 << 20));
  const int status = WaitFor(Start({"-N", source}, 1 << 20));
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(Read(PathOf("stderr.txt")).find("Error while writing target file"), std::string::npos);
  EXPECT_EQ(BegunFiles(dir_ / "work"), std::vector<std::string>{});
  EXPECT_FALSE(fs::exists(Work("data.bmp")));
}
#endif  // !_WIN32

}  // namespace
}  // namespace pt
