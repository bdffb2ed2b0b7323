// Header check of a carrier's first 1854 bytes, plus the field readers.
#include <cstddef>
#include <cstdint>

#include "carrier/carrier_format.h"
#include "carrier/target_name.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto info = pt::ParseCarrierStart(data, size);
  if (info) {
    const pt::CarrierHeader& h = info->header;
    (void)pt::ParseVersionNumber(pt::FieldText(h.Version, sizeof h.Version));
    (void)pt::SafeOutputName(pt::FieldText(h.FileName, sizeof h.FileName));
    (void)pt::IsCompressedPayload(h);
  }
  return 0;
}
