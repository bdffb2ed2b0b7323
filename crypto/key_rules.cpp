#include "crypto/key_rules.h"

#include <utility>

#include "util/key_text.h"
#include "util/codepage.h"
#include "util/text.h"
#include "util/utf8.h"

namespace pt {

namespace {

KeyCheck Rejected(std::string message, bool clearReenter = false) {
  KeyCheck check;
  check.message = std::move(message);
  check.clearReenter = clearReenter;
  return check;
}

// Characters of UTF-8 text (bytes of text that is not UTF-8).
std::size_t CharacterCount(std::string_view text) {
  if (!IsValidUtf8(text)) return text.size();
  std::size_t n = 0;
  for (char c : text) n += IsUtf8Continuation(c) ? 0u : 1u;
  return n;
}

// The first character of valid UTF-8 text that Windows-1252 lacks.
std::string_view FirstUnusableCharacter(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t len = 1;
    while (i + len < utf8.size() && IsUtf8Continuation(utf8[i + len])) ++len;
    const std::string_view one = utf8.substr(i, len);
    if (!Utf8ToWindows1252(one)) return one;
    i += len;
  }
  return {};
}

std::string UnusableKeyMessage(std::string_view utf8) {
  if (!IsValidUtf8(utf8)) return "Password is no valid UTF-8 text !!!\nPlease try again ...";
  return "Password contains a character that cannot be used in a key (\"" +
         std::string(FirstUnusableCharacter(utf8)) +
         "\") !!!\nKeys may use the characters of the Western European code page "
         "(Windows-1252) only.\nPlease try again ...";
}

}  // namespace

std::optional<KeyText> AsciiKeyBytes(std::string_view utf8) {
  std::optional<std::string> bytes = Utf8ToWindows1252(utf8);
  if (!bytes) return std::nullopt;
  return KeyText::Take(*bytes);
}

KeyCheck CheckDialogKey(bool hexMode, bool reenterShown, std::string_view enter,
                        std::string_view reenter) {
  KeyCheck check;
  if (!hexMode) {
    // The mismatch is reported first, even for a key that is also too short.
    // The typed texts are compared, so two keys that differ only in
    // characters without a Windows-1252 byte never pass as equal.
    if (reenterShown && reenter != enter) {
      return Rejected("Passwords are not identical !!!\nPlease try again ...", true);
    }
    std::optional<KeyText> bytes = AsciiKeyBytes(enter);
    if (!bytes) return Rejected(UnusableKeyMessage(enter));
    const std::size_t count = bytes->size();
    check.text = std::move(*bytes);
    if (count < 8 || count > 32) {
      return Rejected("Password is smaller than 8 or larger than 32 characters (" +
                      std::to_string(count) + ") !!!\nPlease try again ...");
    }
  } else {
    const std::size_t count = CharacterCount(enter);
    if (count < 16 || count > 64) {
      return Rejected("Password is smaller than 16 or larger than 64 characters (" +
                      std::to_string(count) + ") !!!\nPlease try again ...");
    }
    if (count % 2 != 0) {
      return Rejected("HEX Values must be a couple of two-byte-pairs !!!\nPlease try again ...");
    }
    if (!IsHexText(enter)) return Rejected("Password contains non HEX characters");
    check.text = KeyText(enter);
  }
  check.accepted = true;
  return check;
}

KeyText KeyBytesFromDialog(bool hexMode, std::string_view text) {
  // Hex keys are converted as typed: existing carriers depend on the bytes
  // that lower-case digits give.
  return hexMode ? KeyText::Take(HexToBytes(text)) : KeyText(text);
}

std::optional<KeyText> ParseCommandLineKey(std::string_view text) {
  if (text.size() < 16 || text.size() > 64 || !IsHexText(text)) return std::nullopt;
  return KeyText::Take(ToUpperAscii(text));
}

}  // namespace pt
