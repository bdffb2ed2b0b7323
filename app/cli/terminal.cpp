#include "app/cli/terminal.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "util/codepage.h"
#include "util/os_text.h"
#else
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace pt {

namespace {

#ifdef _WIN32

// A console, not a file, pipe or the NUL device (which _isatty takes for a
// terminal, as it is a character device).
bool IsConsole(DWORD which) {
  DWORD mode = 0;
  const HANDLE h = GetStdHandle(which);
  return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

// The console's own input, opened once: questions and keys are read from it
// even when standard input brings a file through a pipe.
HANDLE ConsoleIn() {
  static const HANDLE h = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      0, nullptr);
  return h;
}

bool HasConsoleIn() {
  DWORD mode = 0;
  const HANDLE h = ConsoleIn();
  return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

// One line typed into the console, read as UTF-16 and returned as UTF-8: the
// narrow console input would arrive in the OEM code page (e-acute as 0x82).
std::optional<std::string> ReadConsoleLine() {
  const HANDLE h = ConsoleIn();
  std::wstring line;
  bool any = false;
  for (;;) {
    wchar_t c = 0;
    DWORD got = 0;
    if (!ReadConsoleW(h, &c, 1, &got, nullptr) || got == 0) break;
    any = true;
    if (c == L'\n') break;
    // Ctrl+Z at the start of a line ends the input, as in a narrow read.
    if (c == 0x1A && line.empty()) return std::nullopt;
    if (line.size() < kMaxInputLine) line.push_back(c);
  }
  if (!any) return std::nullopt;
  return Utf8Text(line);
}

// What the console had before the program changed it, for the console
// control handler: an interrupted program must not leave the user's
// console in UTF-8 or without echo. 0: nothing to restore.
std::atomic<UINT> g_savedCodePage{0};
std::atomic<DWORD> g_savedInputMode{0};
std::atomic<bool> g_echoIsOff{false};

void RestoreConsole() {
  if (g_echoIsOff.exchange(false)) SetConsoleMode(ConsoleIn(), g_savedInputMode.load());
  if (const UINT cp = g_savedCodePage.exchange(0); cp != 0) SetConsoleOutputCP(cp);
}

// Runs on a thread of its own. The C runtime's Ctrl+C handler would raise
// SIGINT as well, but Ctrl+Break and closing the console would end the
// process without the clean-up of begun files.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  RestoreConsole();
  std::raise(event == CTRL_CLOSE_EVENT ? SIGTERM : SIGINT);
  return TRUE;
}

class EchoOff {
 public:
  explicit EchoOff(bool active) {
    handle_ = ConsoleIn();
    if (active && GetConsoleMode(handle_, &saved_)) {
      g_savedInputMode = saved_;
      g_echoIsOff = true;
      changed_ = SetConsoleMode(handle_, saved_ & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
    }
  }
  ~EchoOff() {
    if (g_echoIsOff.exchange(false) && changed_) SetConsoleMode(handle_, saved_);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  HANDLE handle_ = nullptr;
  DWORD saved_ = 0;
  bool changed_ = false;
};

#else

// Restored from the signal handler too: an interrupted key entry must not
// leave the user's terminal without echo. The handler then passes the
// signal on to the one it replaced (which removes begun files), or ends the
// process as the signal would.
using SignalHandler = void (*)(int);
struct termios g_savedMode {};
volatile std::sig_atomic_t g_echoIsOff = 0;
volatile std::sig_atomic_t g_ttyFd = -1;

// The controlling terminal, opened once: questions and keys are read from
// it even when standard input brings a file through a pipe.
int TerminalFd() {
  static const int fd = [] {
    const int opened = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    g_ttyFd = opened;
    return opened;
  }();
  return fd;
}
SignalHandler g_oldInt = SIG_DFL;
SignalHandler g_oldTerm = SIG_DFL;

extern "C" void RestoreEchoAndReraise(int sig) {
  if (g_echoIsOff != 0) ::tcsetattr(g_ttyFd, TCSANOW, &g_savedMode);
  g_echoIsOff = 0;
  const SignalHandler old = sig == SIGINT ? g_oldInt : g_oldTerm;
  std::signal(sig, old == SIG_IGN || old == SIG_ERR ? SIG_DFL : old);
  std::raise(sig);
}

class EchoOff {
 public:
  explicit EchoOff(bool active) {
    if (!active || TerminalFd() < 0 || ::tcgetattr(TerminalFd(), &g_savedMode) != 0) return;
    struct termios quiet = g_savedMode;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    g_oldInt = std::signal(SIGINT, RestoreEchoAndReraise);
    g_oldTerm = std::signal(SIGTERM, RestoreEchoAndReraise);
    g_echoIsOff = 1;
    changed_ = ::tcsetattr(TerminalFd(), TCSAFLUSH, &quiet) == 0;
  }
  ~EchoOff() {
    if (g_echoIsOff == 0) return;
    if (changed_) ::tcsetattr(TerminalFd(), TCSAFLUSH, &g_savedMode);
    g_echoIsOff = 0;
    std::signal(SIGINT, g_oldInt);
    std::signal(SIGTERM, g_oldTerm);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  bool changed_ = false;
};

#endif

}  // namespace

#ifdef _WIN32
Utf8Console::Utf8Console() {
  savedCodePage_ = GetConsoleOutputCP();
  g_savedCodePage = savedCodePage_;
  if (savedCodePage_ != 0) SetConsoleOutputCP(CP_UTF8);
}
Utf8Console::~Utf8Console() {
  if (g_savedCodePage.exchange(0) != 0) SetConsoleOutputCP(savedCodePage_);
}

void InstallConsoleInterrupts() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }
#else
Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;

void InstallConsoleInterrupts() {}
#endif

void BinaryStandardOutput() {
  std::cout.flush();
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
}

void BinaryStandardInput() {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
#endif
}

bool ConsoleTerminal::InputIsTerminal() const {
  if (input_ != nullptr) return true;
#ifdef _WIN32
  return HasConsoleIn();
#else
  return TerminalFd() >= 0;
#endif
}

bool ConsoleTerminal::StandardInputIsTerminal() const {
  if (input_ != nullptr) return true;
#ifdef _WIN32
  return IsConsole(STD_INPUT_HANDLE);
#else
  return ::isatty(STDIN_FILENO) != 0;
#endif
}

bool ConsoleTerminal::ErrorIsTerminal() const {
#ifdef _WIN32
  return IsConsole(STD_ERROR_HANDLE);
#else
  return ::isatty(STDERR_FILENO) != 0;
#endif
}

int ConsoleTerminal::ErrorColumns() const {
#ifdef _WIN32
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
#else
  struct winsize size {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
#endif
}

// Text for the user at the prompt: on the terminal itself where it is read
// from there (standard error may go to a file), else on standard error.
void ConsoleTerminal::Say(const std::string& text) const {
#ifndef _WIN32
  if (input_ == nullptr && TerminalFd() >= 0) {
    std::cerr << std::flush;
    std::size_t at = 0;
    while (at < text.size()) {
      const ssize_t put = ::write(TerminalFd(), text.data() + at, text.size() - at);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return;
      at += static_cast<std::size_t>(put);
    }
    return;
  }
#endif
  std::cerr << text << std::flush;
}

std::optional<std::string> ConsoleTerminal::ReadLine(const std::string& prompt, bool hidden) {
  std::string line;
  // Reserved once: a key typed here is never copied into a larger buffer.
  line.reserve(kMaxInputLine + 1);
  bool any = false;
  // One byte of the line: from the test's stream, else from the terminal.
  const auto next = [this]() -> int {
    if (input_ != nullptr) return input_->get();
#ifdef _WIN32
    return std::char_traits<char>::eof();
#else
    for (;;) {
      unsigned char c = 0;
      const ssize_t got = ::read(TerminalFd(), &c, 1);
      if (got == 1) return c;
      if (got < 0 && errno == EINTR) continue;
      return std::char_traits<char>::eof();
    }
#endif
  };
  {
    // Echo goes off before the prompt shows: switching it discards what was
    // typed ahead, and nothing may be typed before the prompt.
    EchoOff echo(hidden && input_ == nullptr && InputIsTerminal());
    Say(prompt);
    bool done = false;
#ifdef _WIN32
    if (input_ == nullptr) {
      const auto typed = HasConsoleIn() ? ReadConsoleLine() : std::nullopt;
      any = typed.has_value();
      line = typed.value_or("");
      done = true;
    }
#endif
    while (!done) {
      const int c = next();
      if (c == std::char_traits<char>::eof()) break;
      any = true;
      if (c == '\n') break;
      // Bounded: a line longer than any key is cut, not stored whole.
      if (line.size() < kMaxInputLine) line.push_back(static_cast<char>(c));
    }
  }
  // The user's Enter was not echoed either.
  if (hidden) Say("\n");
  if (!any) {
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace pt
