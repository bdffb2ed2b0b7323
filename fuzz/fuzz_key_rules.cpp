// Key rules of the dialog and the -K: switch, and the hex conversion.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "crypto/cipher.h"
#include "crypto/key_rules.h"
#include "util/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string all(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t cut = all.size() / 2;
  const std::string enter = all.substr(0, cut), reenter = all.substr(cut);
  const bool hex = data[0] & 1, shown = data[0] & 2;
  const pt::KeyCheck check = pt::CheckDialogKey(hex, shown, enter, reenter);
  if (check.accepted) {
    const pt::KeyText key = pt::KeyBytesFromDialog(hex, check.text.View());
    if (key.size() < 8 || key.size() > 32) std::abort();
    if (pt::ExtendKey(key.View()).empty()) std::abort();
  } else if (check.message.empty()) {
    std::abort();
  }
  if (const auto cl = pt::ParseCommandLineKey(all)) {
    if (cl->size() < 16 || cl->size() > 64 || !pt::IsHexText(cl->View())) std::abort();
    if (pt::HexToBytes(cl->View()).size() != cl->size() / 2) std::abort();
  }
  (void)pt::KeyCrc16(all);
  return 0;
}
