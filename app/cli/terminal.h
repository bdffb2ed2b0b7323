// The console the command-line program talks to: whether input and error
// output are terminals, and reading a line with or without echo. Tests
// replace it with a scripted one.
#pragma once

#include <optional>
#include <string>

namespace pt {

class Terminal {
 public:
  virtual ~Terminal() = default;
  // Standard input is a terminal: questions and keys can be asked.
  virtual bool InputIsTerminal() const = 0;
  // Standard error is a terminal: a progress display makes sense there.
  virtual bool ErrorIsTerminal() const = 0;
  // Shows the prompt on standard error and reads one line (without its line
  // end); hidden turns echo off. Nothing at end of input.
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

// Standard output takes bytes as they are (Windows would turn every line
// feed into CR LF); for unpacking a file to it.
void BinaryStandardOutput();

class ConsoleTerminal : public Terminal {
 public:
  bool InputIsTerminal() const override;
  bool ErrorIsTerminal() const override;
  std::optional<std::string> ReadLine(const std::string& prompt, bool hidden) override;
};

}  // namespace pt
