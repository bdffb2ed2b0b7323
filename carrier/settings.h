// The user's persistent options: what the conversion jobs read
// (JobSettings), and the whole record the main window owns and the
// configuration file stores (Settings). The enumerators carry the numbers
// the configuration file holds.
#pragma once

#include <cstdint>
#include <string>

namespace pt {

inline constexpr const char* kDefaultCompressedExtensions =
    "zip,gz,arj,rar,lzh,cab,z,bz2,msi";

// When packing compresses the source.
enum class CompressionMode : std::int32_t {
  Never = 0,
  IfSmaller = 1,     // the gzip form is kept only when it is smaller
  UnlessListed = 2,  // unless the extension is in compressedExtensions
  Always = 3,
};

// How the key entry dialog starts: ASCII, hexadecimal, or neither radio
// button (the dialog keeps its own choice).
enum class KeyMode : std::int32_t { Ascii = 1, Hex = 2, Neither = 3 };

// How packing names the carrier; Unset (no file and no options dialog yet)
// acts as ReplaceLast.
enum class TargetNameRule : std::int32_t {
  Unset = 0,
  ReplaceLast = 1,  // report.tar.gz -> report.tar.bmp
  ReplaceAll = 2,   // report.tar.gz -> report.bmp
  Append = 3,       // report.tar.gz -> report.tar.gz.bmp
};

// The cipher the main window selects at start-up; the numbers are the
// positions of its cipher list.
enum class StartupCipher : std::int32_t { None = 0, Blowfish = 1, Twofish = 2, Rijndael = 3 };
// Its position in the cipher list; TwoFish's for a value outside the list.
inline int StartupListPosition(StartupCipher cipher) {
  const auto position = static_cast<std::int32_t>(cipher);
  return position >= 0 && position <= 3 ? position : static_cast<int>(StartupCipher::Twofish);
}

// The options a job reads. A job never changes them.
struct JobSettings {
  CompressionMode compressionMode = CompressionMode::IfSmaller;
  std::int32_t compressionLevel = -1;  // 0..9, negative = library default
  std::string compressedExtensions = kDefaultCompressedExtensions;
  TargetNameRule targetNameRule = TargetNameRule::Unset;
  bool hidePassword = false;  // the key request masks ASCII input and asks twice
  bool copyLog = false;       // the log goes to the clipboard when a job ends

  bool operator==(const JobSettings&) const = default;
};

// All eleven options with their first-run defaults: the job's ones above,
// and these, which only the window programs (and the console program's
// key prompt) read; the jobs never see them.
struct Settings : JobSettings {
  StartupCipher startupCipher = StartupCipher::Twofish;
  bool showBitmap = false;
  bool exitAfterConversion = false;
  KeyMode keyMode = KeyMode::Ascii;
  bool disclaimerAccepted = false;

  bool operator==(const Settings&) const = default;
};

}  // namespace pt
