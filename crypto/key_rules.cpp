#include "crypto/key_rules.h"

#include <utility>

#include "util/text.h"

namespace pt {

namespace {

KeyCheck Rejected(std::string message, bool clearReenter = false) {
  KeyCheck check;
  check.message = std::move(message);
  check.clearReenter = clearReenter;
  return check;
}

}  // namespace

KeyCheck CheckDialogKey(bool hexMode, bool reenterShown, std::string_view enter,
                        std::string_view reenter) {
  const std::string count = std::to_string(enter.size());
  if (!hexMode) {
    // The mismatch is reported first, even for a key that is also too short.
    if (reenterShown && reenter != enter) {
      return Rejected("Passwords are not identical !!!\nPlease try again ...", true);
    }
    if (enter.size() < 8 || enter.size() > 32) {
      return Rejected("Password is smaller than 8 or larger than 32 characters (" +
                      count + ") !!!\nPlease try again ...");
    }
  } else {
    if (enter.size() < 16 || enter.size() > 64) {
      return Rejected("Password is smaller than 16 or larger than 64 characters (" +
                      count + ") !!!\nPlease try again ...");
    }
    if (enter.size() % 2 != 0) {
      return Rejected("HEX Values must be a couple of two-byte-pairs !!!\nPlease try again ...");
    }
    if (!IsHexText(enter)) return Rejected("Password contains non HEX characters");
  }
  KeyCheck check;
  check.accepted = true;
  return check;
}

std::string KeyBytesFromDialog(bool hexMode, std::string_view text) {
  // Hex keys are converted as typed: existing carriers depend on the bytes
  // that lower-case digits give.
  return hexMode ? HexToBytes(text) : std::string(text);
}

std::optional<std::string> ParseCommandLineKey(std::string_view text) {
  if (text.size() < 16 || text.size() > 64 || !IsHexText(text)) return std::nullopt;
  return ToUpperAscii(text);
}

}  // namespace pt
