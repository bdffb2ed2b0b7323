// The rules a key must pass wherever it enters the program: the key entry
// dialog (ASCII or hex mode, with optional masked re-entry) and the -K:
// command-line switch. Plain functions so that the dialog, the console
// program and the tests share them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "util/key_text.h"

namespace pt {

inline constexpr const char* kCommandLineKeyInvalid =
    "Key given by command line is not valid !!!\n";

struct KeyCheck {
  bool accepted = false;
  std::string message;        // error box text (UTF-8) when not accepted
  bool clearReenter = false;  // the re-entry field is emptied
  // When accepted: the key text as the jobs take it (KeyReply::text). ASCII
  // mode: the typed characters as Windows-1252 bytes, one per character;
  // hex mode: the digits as typed.
  KeyText text;
};

// Validates a typed key, given as UTF-8 text (the dialog's fields, or a line
// read from the terminal by the console program), in this order:
// ASCII mode: re-entry mismatch (only when the re-entry field is shown; the
// texts themselves are compared), a character outside Windows-1252 (or text
// that is not UTF-8), then 8..32 characters. Hex mode: 16..64 characters,
// even count, hex digits.
KeyCheck CheckDialogKey(bool hexMode, bool reenterShown, std::string_view enter,
                        std::string_view reenter);

// The key bytes of an ASCII-mode key typed as UTF-8: one Windows-1252 byte
// per character, the same on every platform. Nothing when a character has no
// such byte (Cyrillic, Chinese, ...) or the text is not UTF-8.
std::optional<KeyText> AsciiKeyBytes(std::string_view utf8);

// Key bytes K from the dialog's text: the characters as typed in ASCII mode,
// HexToBytes of the text as typed in hex mode.
KeyText KeyBytesFromDialog(bool hexMode, std::string_view text);

// The text after "-K:" / "-k:": accepted when it has 16..64 characters and
// is hex text; returns it upper-cased, or nothing.
std::optional<KeyText> ParseCommandLineKey(std::string_view text);

}  // namespace pt
