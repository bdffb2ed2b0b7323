// Key material held in memory: the one wipe primitive, and the one type
// that holds a key's text or bytes on its way from the user to the cipher.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pt {

// Overwrites memory that held key material; the volatile stores keep the
// compiler from dropping them.
template <typename T>
void SecureWipe(T* p, std::size_t n) {
  volatile T* v = p;
  for (std::size_t i = 0; i < n; ++i) v[i] = T{};
}

// Typed characters, hex digits or key bytes. Every byte this object ever
// held is overwritten when it is cleared, assigned over, grows, is moved
// from or goes out of scope. It is never copied silently: copies are asked
// for with Copy, and text from a plain string is taken over with Take,
// which wipes that string.
class KeyText {
 public:
  KeyText() = default;
  explicit KeyText(std::string_view text) { Append(text); }
  KeyText(KeyText&& other) noexcept;
  KeyText& operator=(KeyText&& other) noexcept;
  KeyText(const KeyText&) = delete;
  KeyText& operator=(const KeyText&) = delete;
  ~KeyText() { Clear(); }

  // Takes the text of a plain string and wipes the string's whole buffer.
  static KeyText Take(std::string& text);
  static KeyText Take(std::string&& text) { return Take(text); }
  KeyText Copy() const { return KeyText(View()); }

  void Clear() noexcept;
  void Append(std::string_view text);
  void Append(char c) { Append(std::string_view(&c, 1)); }

  std::string_view View() const { return text_; }
  const std::uint8_t* Bytes() const { return reinterpret_cast<const std::uint8_t*>(text_.data()); }
  std::size_t size() const { return text_.size(); }
  bool empty() const { return text_.empty(); }

  bool operator==(const KeyText& other) const { return text_ == other.text_; }

 private:
  std::string text_;
};

}  // namespace pt
