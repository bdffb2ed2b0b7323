// The rules a key must pass wherever it enters the program: the key entry
// dialog (ASCII or hex mode, with optional masked re-entry) and the -K:
// command-line switch. Plain functions so that the dialog, the console
// program and the tests share them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pt {

inline constexpr const char* kCommandLineKeyInvalid =
    "Key given by command line is not valid !!!\n";

struct KeyCheck {
  bool accepted = false;
  std::string message;        // error box text when not accepted
  bool clearReenter = false;  // the re-entry field is emptied
};

// Validates a key typed into the dialog, in the order the dialog checks:
// ASCII mode: re-entry mismatch (only when the re-entry field is shown), then
// 8..32 characters. Hex mode: 16..64 characters, even count, hex digits.
KeyCheck CheckDialogKey(bool hexMode, bool reenterShown, std::string_view enter,
                        std::string_view reenter);

// Key bytes K from the dialog's text: the characters as typed in ASCII mode,
// HexToBytes of the text as typed in hex mode.
std::string KeyBytesFromDialog(bool hexMode, std::string_view text);

// The text after "-K:" / "-k:": accepted when it has 16..64 characters and
// is hex text; returns it upper-cased, or nothing.
std::optional<std::string> ParseCommandLineKey(std::string_view text);

}  // namespace pt
