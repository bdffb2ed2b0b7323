// The comma-separated list parser on arbitrary lines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "util/csv_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  pt::CSV_Parser parser(100, [](const std::string&) {});
  if (parser.parseString(text)) {
    for (int i = 0; i < parser.getItemCount(); ++i) {
      if (parser.getItem(i).size() > 99) std::abort();
    }
  }
  const std::size_t cut = text.find('\n');
  if (cut != std::string::npos) {
    (void)pt::ExtensionInList(text.substr(0, cut), text.substr(cut + 1), {});
  }
  return 0;
}
