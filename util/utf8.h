// UTF-8, the program's own text: the one decoder and encoder that the code
// page, the key rules, stored names and the console's escaping share.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pt {

// Decodes the well-formed sequence at s[i] (no overlong forms, no
// surrogates, nothing above U+10FFFF) and moves i past it; nothing, with i
// unchanged, when the sequence there is malformed or cut off.
std::optional<char32_t> DecodeUtf8(std::string_view s, std::size_t& i);

// Length of the well-formed sequence at s[i], or 0.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i);

bool IsValidUtf8(std::string_view s);

// The bytes that continue a sequence (10xxxxxx).
bool IsUtf8Continuation(char c);

// Appends cp (up to U+10FFFF) as one to four bytes.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace pt
