#include "app/cli/cli_ui.h"

#include <algorithm>
#include <chrono>

#include "app/command_line.h"
#include "crypto/key_rules.h"
#include "util/text.h"
#include "util/utf8.h"

namespace pt {

// ---------------------------------------------------------------------------
// Escaping

namespace {

const char kHexDigits[] = "0123456789abcdef";

void AppendEscapedByte(std::string& out, unsigned char b) {
  out += "\\x";
  out += kHexDigits[b >> 4];
  out += kHexDigits[b & 0x0F];
}

}  // namespace

std::string EscapeControls(std::string_view text, bool keepLayout) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      const bool layout = keepLayout && (b == '\n' || b == '\t');
      if ((b < 0x20 || b == 0x7F) && !layout) {
        AppendEscapedByte(out, b);
      } else {
        out += static_cast<char>(b);
      }
      ++i;
      continue;
    }
    const std::size_t n = Utf8SequenceLength(text, i);
    if (n == 0) {
      AppendEscapedByte(out, b);  // not UTF-8: the raw byte could be a C1 control
      ++i;
    } else if (n == 2 && b == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      // U+0080..U+009F: C1 controls (U+009B starts a control sequence).
      out += "\\u00";
      const auto c = static_cast<unsigned char>(text[i + 1]);
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 0x0F];
      i += 2;
    } else {
      out.append(text.substr(i, n));
      i += n;
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// Progress

CliClock SteadyClock() {
  return [] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
}

namespace {

const char* PhaseName(JobPhase phase) {
  switch (phase) {
    case JobPhase::Reading: return "Reading";
    case JobPhase::Compressing: return "Compressing";
    case JobPhase::Writing: return "Writing";
    case JobPhase::Decompressing: return "Decompressing";
    case JobPhase::Checking: return "Checking";
  }
  return "";
}

std::string Clock(double seconds) {
  const auto s = static_cast<long long>(seconds + 0.5);
  return IntToStrPadded(s / 3600, 2, '0') + ":" + IntToStrPadded((s % 3600) / 60, 2, '0') +
         ":" + IntToStrPadded(s % 60, 2, '0');
}

// Redrawn when the percentage changes, and at least this often for the rate.
constexpr double kRedrawSeconds = 0.5;
// The rate is shown once it rests on this much time.
constexpr double kRateAfterSeconds = 0.5;

}  // namespace

CliProgress::CliProgress(std::ostream& err, bool enabled, CliClock clock, CliColumns columns)
    : err_(err), enabled_(enabled), clock_(std::move(clock)), columns_(std::move(columns)) {}

void CliProgress::SetVisible(bool visible) {
  visible_ = visible;
  if (!visible) {
    ClearLine();
    inPhase_ = false;
  }
}

void CliProgress::SetPosition(int percent) {
  position_ = percent;
  // Jobs that report their phases get the fuller line from Working.
  if (!enabled_ || !visible_ || phaseReports_ || percent == shownPosition_) return;
  Show(IntToStrPadded(percent, 3, ' ') + " %");
  shownPosition_ = percent;
}

void CliProgress::Working(JobPhase phase, std::int64_t done, std::int64_t total) {
  phaseReports_ = true;
  if (!enabled_) return;
  const double now = clock_();
  if (!inPhase_ || phase != phase_) {
    ClearLine();
    inPhase_ = true;
    phase_ = phase;
    phaseStart_ = now;
    lastDrawn_ = now;
  }
  if (total <= 0 || done >= total) {
    // The phase has ended: its line goes.
    ClearLine();
    inPhase_ = false;
    return;
  }
  const int percent = static_cast<int>(std::clamp<std::int64_t>(done * 100 / total, 0, 100));
  if (percent == shownPosition_ && now - lastDrawn_ < kRedrawSeconds) return;
  lastDrawn_ = now;
  shownPosition_ = percent;

  std::string line = PhaseName(phase);
  line.resize(14, ' ');
  line += IntToStrPadded(percent, 3, ' ') + " %";
  const double elapsed = now - phaseStart_;
  if (elapsed >= kRateAfterSeconds && done > 0) {
    const double rate = static_cast<double>(done) / elapsed;
    const std::string speed = "  " + FormatFixed(rate / (1024.0 * 1024.0), 1) + " MiB/s";
    const std::string left = "  " + Clock(static_cast<double>(total - done) / rate) + " left";
    const std::size_t room = Room();
    if (line.size() + speed.size() <= room) line += speed;
    if (line.size() + left.size() <= room) line += left;
  }
  Show(line);
}

std::size_t CliProgress::Room() const {
  const int columns = columns_ ? columns_() : 0;
  // The last column stays free: writing there wraps on some terminals.
  return columns > 1 ? static_cast<std::size_t>(columns - 1) : std::string::npos;
}

void CliProgress::Show(const std::string& full) {
  const std::string text = full.substr(0, Room());
  std::string line = "\r" + text;
  // Blanks over the rest of a longer line shown before.
  if (text.size() < shownWidth_) line += std::string(shownWidth_ - text.size(), ' ') + "\r" + text;
  err_ << line << std::flush;
  shownWidth_ = std::max<std::size_t>(text.size(), 1);
}

void CliProgress::ClearLine() {
  if (shownWidth_ == 0) return;
  err_ << '\r' << std::string(shownWidth_, ' ') << '\r' << std::flush;
  shownWidth_ = 0;
  shownPosition_ = -1;
}

// ---------------------------------------------------------------------------
// Window

CliUi::CliUi(std::ostream& out, std::ostream& err, Terminal& terminal, KeyMode keyMode,
             CliOptions options, CliClock clock)
    : out_(out),
      err_(err),
      terminal_(terminal),
      keyMode_(keyMode),
      options_(options),
      progress_(err, terminal.ErrorIsTerminal() && !options.quiet, std::move(clock),
                [&terminal] { return terminal.ErrorColumns(); }) {}

void CliUi::AddLogLine(const std::string& line) {
  if (options_.quiet) return;
  progress_.ClearLine();
  // Flushed at once: a long job shows its steps as they happen.
  out_ << EscapeControls(line, false) << '\n' << std::flush;
}

void CliUi::Working(JobPhase phase, std::int64_t done, std::int64_t total) {
  progress_.Working(phase, done, total);
}

MsgAnswer CliUi::ShowMessage(MsgKind, const std::string& text, MsgButtons buttons) {
  progress_.ClearLine();
  out_ << std::flush;
  err_ << EscapeControls(text, true) << '\n' << std::flush;
  if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
  if (buttons == MsgButtons::YesNo) return AskYesNo();
  return Ask(buttons);
}

MsgAnswer CliUi::AskReplace(const std::string& text) {
  // --force answers this question only, never another Yes/No question.
  if (options_.force) {
    progress_.ClearLine();
    AddLogLine(kReplacedByForce);
    return MsgAnswer::Yes;
  }
  if (!terminal_.InputIsTerminal()) {
    progress_.ClearLine();
    out_ << std::flush;
    err_ << EscapeControls(text, true) << '\n' << kReplaceRefusedMessage << '\n' << std::flush;
    return MsgAnswer::No;
  }
  return ShowMessage(MsgKind::Confirmation, text, MsgButtons::YesNo);
}

MsgAnswer CliUi::AskYesNo() {
  if (!terminal_.InputIsTerminal()) {
    err_ << "-> No (no terminal to ask)\n" << std::flush;
    return MsgAnswer::No;
  }
  for (;;) {
    const auto line = terminal_.ReadLine("[Y]es or [N]o ? ", false);
    if (!line) return MsgAnswer::No;
    const std::string a = ToLowerAscii(*line);
    if (a == "y" || a == "yes") return MsgAnswer::Yes;
    if (a == "n" || a == "no") return MsgAnswer::No;
  }
}

MsgAnswer CliUi::Ask(MsgButtons buttons) {
  const bool okAbort = buttons == MsgButtons::OkAbort;
  // Without a terminal nobody can answer: take the choice that stops.
  const MsgAnswer stop = okAbort ? MsgAnswer::Abort : MsgAnswer::Cancel;
  if (!terminal_.InputIsTerminal()) {
    err_ << (okAbort ? "-> Abort" : "-> Cancel") << " (no terminal to ask)\n" << std::flush;
    return stop;
  }
  const std::string prompt = okAbort ? "[O]k or [A]bort ? " : "[Y]es, [N]o or [C]ancel ? ";
  for (;;) {
    const auto line = terminal_.ReadLine(prompt, false);
    if (!line) return stop;
    const std::string a = ToLowerAscii(*line);
    if (okAbort) {
      if (a == "o" || a == "ok") return MsgAnswer::Ok;
      if (a == "a" || a == "abort") return MsgAnswer::Abort;
    } else {
      if (a == "y" || a == "yes") return MsgAnswer::Yes;
      if (a == "n" || a == "no") return MsgAnswer::No;
      if (a == "c" || a == "cancel") return MsgAnswer::Cancel;
    }
  }
}

KeyReply CliUi::RequestKey(const KeyRequest& request) {
  progress_.ClearLine();
  out_ << std::flush;
  if (!terminal_.InputIsTerminal()) {
    err_ << kKeyNeededMessage << '\n' << std::flush;
    return {};
  }
  const bool hex = keyMode_ == KeyMode::Hex;
  // As in the dialog, a masked ASCII key is asked for a second time; so is
  // every key that makes a new carrier, where one typing error would lock
  // the file away for good.
  const bool twice = request.newCarrier || (request.maskInput && !hex);
  const std::string prompt =
      hex ? "Enter the key, 16 up to 64 HEX characters (end of input cancels): "
          : "Enter the key, 8 up to 32 ASCII characters (end of input cancels): ";
  for (;;) {
    // The typed text is wiped as soon as the key bytes are taken from it.
    std::optional<std::string> typed = terminal_.ReadLine(prompt, true);
    if (!typed) return {};
    const KeyText enter = KeyText::Take(*typed);
    KeyText reenter;
    if (twice) {
      typed = terminal_.ReadLine(hex ? "Reenter the key: " : "Reenter your ASCII password: ", true);
      if (!typed) return {};
      reenter = KeyText::Take(*typed);
      // The dialog compares only ASCII keys; hex digits are compared here.
      if (hex && enter != reenter) {
        err_ << "Passwords are not identical !!!\nPlease try again ...\n" << std::flush;
        continue;
      }
    }
    // The terminal gives UTF-8; the key rules make one Windows-1252 byte of
    // each character, as the window program does.
    KeyCheck check = CheckDialogKey(hex, twice && !hex, enter.View(), reenter.View());
    if (check.accepted) return KeyReply{true, hex, std::move(check.text)};
    err_ << EscapeControls(check.message, true) << '\n' << std::flush;
  }
}

}  // namespace pt
