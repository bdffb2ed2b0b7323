#include "app/cli/cli_ui.h"

#include "crypto/key_rules.h"
#include "util/text.h"

namespace pt {

// ---------------------------------------------------------------------------
// Progress

void CliProgress::SetVisible(bool visible) {
  visible_ = visible;
  if (!visible) ClearLine();
}

void CliProgress::SetPosition(int percent) {
  position_ = percent;
  if (!enabled_ || !visible_ || percent == shownPosition_) return;
  err_ << '\r' << IntToStrPadded(percent, 3, ' ') << " %" << std::flush;
  lineShown_ = true;
  shownPosition_ = percent;
}

void CliProgress::ClearLine() {
  if (!lineShown_) return;
  err_ << "\r      \r" << std::flush;
  lineShown_ = false;
  shownPosition_ = -1;
}

// ---------------------------------------------------------------------------
// Window

CliUi::CliUi(std::ostream& out, std::ostream& err, Terminal& terminal, std::int32_t keyMode)
    : out_(out),
      err_(err),
      terminal_(terminal),
      keyMode_(keyMode),
      progress_(err, terminal.ErrorIsTerminal()) {}

void CliUi::AddLogLine(const std::string& line) {
  progress_.ClearLine();
  // Flushed at once: a long job shows its steps as they happen.
  out_ << line << '\n' << std::flush;
}

void CliUi::RepaintLog() { out_ << std::flush; }

MsgAnswer CliUi::ShowMessage(MsgKind, const std::string& text, MsgButtons buttons) {
  progress_.ClearLine();
  out_ << std::flush;
  err_ << text << '\n' << std::flush;
  if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
  return Ask(buttons);
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
  const bool hex = keyMode_ == 2;
  // As in the dialog: only an ASCII key is asked for a second time.
  const bool twice = request.maskInput && !hex;
  const std::string prompt =
      hex ? "Enter the key, 16 up to 64 HEX characters (end of input cancels): "
          : "Enter the key, 8 up to 32 ASCII characters (end of input cancels): ";
  for (;;) {
    const auto enter = terminal_.ReadLine(prompt, true);
    if (!enter) return {};
    std::string reenter;
    if (twice) {
      const auto again = terminal_.ReadLine("Reenter your ASCII password: ", true);
      if (!again) return {};
      reenter = *again;
    }
    const KeyCheck check = CheckDialogKey(hex, twice, *enter, reenter);
    if (check.accepted) return KeyReply{true, hex, check.text};
    err_ << check.message << '\n' << std::flush;
  }
}

}  // namespace pt
