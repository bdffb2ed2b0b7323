#include "util/key_text.h"

#include <algorithm>
#include <utility>

namespace pt {

namespace {

// Overwrites the whole buffer (also what an earlier, longer content left
// there) and empties it. Growing to the capacity never moves the buffer.
void WipeBuffer(std::string& text) noexcept {
  text.resize(text.capacity());
  SecureWipe(text.data(), text.size());
  text.clear();
}

}  // namespace

KeyText::KeyText(KeyText&& other) noexcept : text_(std::move(other.text_)) { other.Clear(); }

KeyText& KeyText::operator=(KeyText&& other) noexcept {
  if (this != &other) {
    Clear();
    text_.swap(other.text_);
    other.Clear();
  }
  return *this;
}

KeyText KeyText::Take(std::string& text) {
  KeyText taken(text);
  WipeBuffer(text);
  return taken;
}

void KeyText::Clear() noexcept { WipeBuffer(text_); }

void KeyText::Append(std::string_view text) {
  if (text_.size() + text.size() > text_.capacity()) {
    // A grown buffer is a new one: the old one is wiped before it is freed.
    std::string grown;
    grown.reserve(std::max(2 * text_.capacity(), text_.size() + text.size()));
    grown.append(text_);
    Clear();
    text_.swap(grown);
  }
  text_.append(text);
}

}  // namespace pt
