// The console the command-line program talks to: whether input and error
// output are terminals, and reading a line with or without echo. Tests
// replace it with a scripted one.
#pragma once

#include <istream>
#include <optional>
#include <string>

namespace pt {

class Terminal {
 public:
  virtual ~Terminal() = default;
  // There is a terminal to ask questions and keys on (the controlling
  // terminal, even when standard input is a pipe).
  virtual bool InputIsTerminal() const = 0;
  // Standard input itself is that terminal.
  virtual bool StandardInputIsTerminal() const { return InputIsTerminal(); }
  // Standard error is a terminal: a progress display makes sense there.
  virtual bool ErrorIsTerminal() const = 0;
  // Columns of the terminal on standard error; 0 when unknown.
  virtual int ErrorColumns() const { return 0; }
  // Shows the prompt on the terminal and reads one line from it (without
  // its line end); hidden turns echo off. Nothing at end of input.
  virtual std::optional<std::string> ReadLine(const std::string& prompt, bool hidden) = 0;
};

// Longest line ReadLine keeps; the rest of a longer line is discarded.
inline constexpr std::size_t kMaxInputLine = 1024;

// While it lives, a Windows console shows the program's UTF-8 output as
// UTF-8 (the console's own code page is restored afterwards). Nothing to do
// elsewhere: terminals there take UTF-8 as it is.
class Utf8Console {
 public:
  Utf8Console();
  ~Utf8Console();
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;

 private:
  unsigned savedCodePage_ = 0;
};

// Windows: Ctrl+C, Ctrl+Break and closing the console window give the
// console its code page and echo back and end the program through the
// clean-up of InstallSignalCleanup (called first): Ctrl+C and Ctrl+Break as
// SIGINT (exit status 130), closing as SIGTERM. Elsewhere the signals arrive
// as they are and nothing is installed.
void InstallConsoleInterrupts();

// Standard output takes bytes as they are (Windows would turn every line
// feed into CR LF); for unpacking a file to it.
void BinaryStandardOutput();
// The same for standard input, for packing what it brings.
void BinaryStandardInput();

class ConsoleTerminal : public Terminal {
 public:
  ConsoleTerminal() = default;
  // Tests: lines are read from `input` instead of the terminal.
  explicit ConsoleTerminal(std::istream& input) : input_(&input) {}
  bool InputIsTerminal() const override;
  bool StandardInputIsTerminal() const override;
  bool ErrorIsTerminal() const override;
  int ErrorColumns() const override;
  std::optional<std::string> ReadLine(const std::string& prompt, bool hidden) override;

 private:
  void Say(const std::string& text) const;

  std::istream* input_ = nullptr;
};

}  // namespace pt
