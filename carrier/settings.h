// The user's persistent options, owned by the main window and read by the
// conversion jobs. The configuration file stores them in this order.
#pragma once

#include <cstdint>
#include <string>

namespace pt {

inline constexpr const char* kDefaultCompressedExtensions =
    "zip,gz,arj,rar,lzh,cab,z,bz2,msi";

struct Settings {
  std::int32_t startupCipher = 2;     // 0 None, 1 BlowFish, 2 TwoFish, 3 Rijndael
  std::int32_t compressionMode = 1;   // 0 never, 1 if smaller, 2 unless listed, 3 always
  std::int32_t compressionLevel = -1; // 0..9, negative = library default
  bool showBitmap = false;
  bool exitAfterConversion = false;
  bool copyLog = false;
  std::int32_t keyMode = 1;           // 1 ASCII, 2 hex, 3 neither
  bool hidePassword = false;
  bool disclaimerAccepted = false;
  std::string compressedExtensions = kDefaultCompressedExtensions;
  std::int32_t targetNameRule = 0;    // 1 replace last, 2 replace all, 3 append; 0 acts as 1

  bool operator==(const Settings&) const = default;
};

// What the command line set for a front end's jobs; never stored.
struct RunState {
  std::string commandLineFile;
  std::string commandLineKey;  // upper-case hex, used by one job then emptied
  bool deleteTempFile = true;  // cleared by -D
  bool debugDump = false;      // set by -D
};

}  // namespace pt
