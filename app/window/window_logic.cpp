#include "app/window/window_logic.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "app/version.h"
#include "crypto/cipher.h"
#include "crypto/key_rules.h"

namespace pt::window {

// ---------------------------------------------------------------------------
// Options dialog

OptionsEnabling EnablingOf(const OptionsControls& c) {
  OptionsEnabling e;
  const bool compress = c.compression != 0;
  e.levelRadios = compress;
  e.slider = compress && c.level == static_cast<int>(LevelRadio::Defined);
  e.extensions = c.compression == 2;
  return e;
}

namespace {

// The radio button of a value among `count` buttons, or kNone.
template <typename Enum>
int RadioOf(Enum value, int count, int first = 0) {
  const int index = static_cast<int>(value) - first;
  return index >= 0 && index < count ? index : kNone;
}

}  // namespace

void ShowSettings(const Settings& s, OptionsControls& c) {
  if (const int radio = RadioOf(s.startupCipher, 4); radio != kNone) c.cipher = radio;
  if (const int radio = RadioOf(s.compressionMode, 4); radio != kNone) c.compression = radio;
  c.slider = std::abs(s.compressionLevel);
  c.level = static_cast<int>(s.compressionLevel >= 0 ? LevelRadio::Defined : LevelRadio::Default);
  c.showBitmap = s.showBitmap;
  c.exitAfterConversion = s.exitAfterConversion;
  c.copyLog = s.copyLog;
  c.hidePassword = s.hidePassword;
  c.extensions = s.compressedExtensions;
  // Neither key mode leaves the group as it was.
  if (const int radio = RadioOf(s.keyMode, 2, 1); radio != kNone) c.keyMode = radio;
  // Unset, or anything unknown, shows as ReplaceLast.
  c.target = std::max(RadioOf(s.targetNameRule, 3, 1), 0);
}

void CopyBack(const OptionsControls& c, Settings& s) {
  if (c.cipher >= 0 && c.cipher <= 3) s.startupCipher = static_cast<StartupCipher>(c.cipher);
  if (c.compression >= 0 && c.compression <= 3) {
    s.compressionMode = static_cast<CompressionMode>(c.compression);
  }
  s.showBitmap = c.showBitmap;
  s.exitAfterConversion = c.exitAfterConversion;
  s.copyLog = c.copyLog;
  s.hidePassword = c.hidePassword;
  s.keyMode = c.keyMode == 0 ? KeyMode::Ascii : c.keyMode == 1 ? KeyMode::Hex : KeyMode::Neither;
  s.compressedExtensions = c.extensions;
  if (c.level == static_cast<int>(LevelRadio::Defined)) s.compressionLevel = c.slider;
  if (c.level == static_cast<int>(LevelRadio::Default)) s.compressionLevel = -c.slider;
  if (c.target >= 0 && c.target <= 2) s.targetNameRule = static_cast<TargetNameRule>(c.target + 1);
}

// ---------------------------------------------------------------------------
// Key entry dialog

KeyEntryLayout KeyEntryLayoutFor(bool maskInput, bool asciiMode) {
  const bool masked = maskInput && asciiMode;
  return {masked, masked};
}

// ---------------------------------------------------------------------------
// Captions and mnemonics

std::string WithMnemonic(std::string_view caption, char letter) {
  const auto same = [letter](char ch) {
    return std::tolower(static_cast<unsigned char>(ch)) ==
           std::tolower(static_cast<unsigned char>(letter));
  };
  const auto wordStart = [caption](std::size_t i) {
    return i == 0 || !std::isalnum(static_cast<unsigned char>(caption[i - 1]));
  };
  // The letter where a word starts reads best; else its first occurrence.
  std::size_t at = std::string_view::npos;
  for (std::size_t i = 0; i < caption.size() && at == std::string_view::npos; ++i)
    if (same(caption[i]) && wordStart(i)) at = i;
  for (std::size_t i = 0; i < caption.size() && at == std::string_view::npos; ++i)
    if (same(caption[i])) at = i;
  std::string out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (i == at) out += '&';
    out += caption[i];
    if (caption[i] == '&') out += '&';
  }
  return out;
}

std::string CaptionText(std::string_view marked) {
  std::string out;
  for (std::size_t i = 0; i < marked.size(); ++i) {
    if (marked[i] == '&' && i + 1 < marked.size()) ++i;  // "&&" is one "&"
    out += marked[i];
  }
  return out;
}

std::string MarkedCaption(std::span<const Mnemonic> table, std::string_view control,
                          std::string_view caption) {
  for (const Mnemonic& m : table)
    if (control == m.control) return WithMnemonic(caption, m.letter);
  return std::string(caption);
}

// ---------------------------------------------------------------------------
// Message boxes

const char* MessageTitle(MsgKind kind) {
  switch (kind) {
    case MsgKind::Error: return "Error";
    case MsgKind::Warning: return "Warning";
    case MsgKind::Confirmation: return "Confirm";
    case MsgKind::Information: return "Information";
    case MsgKind::Plain: break;
  }
  return "pixelTuck";
}

MsgAnswer EnterAnswer(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::YesNoCancel: return MsgAnswer::Yes;
    case MsgButtons::YesNo: return MsgAnswer::No;
    case MsgButtons::Ok:
    case MsgButtons::OkAbort: break;
  }
  return MsgAnswer::Ok;
}

MsgAnswer EscapeAnswer(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::OkAbort: return MsgAnswer::Abort;
    case MsgButtons::YesNoCancel: return MsgAnswer::Cancel;
    case MsgButtons::YesNo: return MsgAnswer::No;
    case MsgButtons::Ok: break;
  }
  return MsgAnswer::Ok;
}

// ---------------------------------------------------------------------------
// Start-up and the disclaimer

StartupResult RunStartup(Settings& settings, RunState& state, const SettingsLocation& config,
                         const std::vector<std::string>& args, StartupHost& host) {
  // The defaults of a first run; the settings file goes over them.
  settings = Settings{};
  LoadSettings(settings, config);

  StartupResult result;
  if (!settings.disclaimerAccepted) {
    if (host.AskDisclaimer()) {
      settings.disclaimerAccepted = true;
    } else {
      result.commandEnabled = false;
    }
  }
  result.keyModePreset = settings.keyMode;
  result.showBitmap = settings.showBitmap;
  result.cipherIndex = StartupListPosition(settings.startupCipher);
  state.deleteTempFile = true;
  state.debugDump = false;
  state.commandLineKey.Clear();

  CommandLineEffects fx;
  ParseCommandLine(args, state, fx, [&host] { host.InvalidCommandLineKey(); });
  if (fx.cipherIndex >= 0 && fx.cipherIndex <= 3) result.cipherIndex = fx.cipherIndex;
  if (fx.checkShow) result.showBitmap = true;
  return result;
}

std::vector<std::string> DisclaimerRefusedLog() {
  return {"EnCode/DeCode is disabled: the disclaimer was not accepted.",
          "Help > Disclaimer ... shows it again; accept it there to",
          "enable EnCode/DeCode."};
}

bool AcceptDisclaimerAgain(Settings& settings, StartupHost& host) {
  if (!host.AskDisclaimer()) return settings.disclaimerAccepted;
  settings.disclaimerAccepted = true;
  return true;
}

// ---------------------------------------------------------------------------
// The EnCode/DeCode command

JobRequest MakeJobRequest(int cipherIndex, bool byCommandLine, std::string file,
                          const Settings& settings) {
  JobRequest request;
  request.cipher = CipherAtListPosition(
      std::clamp(cipherIndex, 0, static_cast<int>(kCipherListItems.size()) - 1));
  request.startedByCommandLine = byCommandLine;
  request.file = std::move(file);
  request.settings = settings;
  return request;
}

bool CloseAfterJob(bool byCommandLine, const Settings& settings, const JobOutcome& outcome) {
  return byCommandLine && settings.exitAfterConversion && outcome.end == JobEnd::Completed;
}

std::string PhaseCaption(JobPhase phase) {
  switch (phase) {
    case JobPhase::Reading:
      return "Reading";
    case JobPhase::Compressing:
      return "Compressing";
    case JobPhase::Writing:
      return "Writing";
    case JobPhase::Decompressing:
      return "Decompressing";
    case JobPhase::Checking:
      return "Checking";
  }
  return {};
}

bool WarnAfterJob(const JobOutcome& outcome) { return outcome.checksumError; }

int ExitStatusAfter(const JobOutcome& outcome) {
  return outcome.end == JobEnd::Completed && !outcome.checksumError ? 0 : 1;
}

AfterJob AfterJobFor(bool byCommandLine, const Settings& settings, const JobOutcome& outcome,
                     bool closeRequested) {
  AfterJob after;
  after.warnChecksum = WarnAfterJob(outcome);
  const bool exitAfter = CloseAfterJob(byCommandLine, settings, outcome);
  after.close = closeRequested || exitAfter;
  if (exitAfter) after.exitStatus = ExitStatusAfter(outcome);
  return after;
}

// ---------------------------------------------------------------------------
// Main window

std::string MainCaption() { return std::string("pixelTuck ") + kProgramVersionText; }

std::string AboutText() {
  return MainCaption() + "\n\nEnglish Homepage:\t" + kEnglishHomepage + "\nGerman Homepage:\t" +
         kGermanHomepage;
}

MainControls MainControlsFor(bool jobRunning, bool commandEnabled) {
  MainControls c;
  if (jobRunning) {
    c.openButton = true;
    c.openCommand = c.options = c.cipherList = c.menu = false;
    c.openCaption = "Stop";
    c.openTip = kStopTip;
  } else {
    c.openButton = c.openCommand = commandEnabled;
  }
  return c;
}

bool TakesDroppedFile(int fileCount, bool regularFile, bool jobRunning, bool commandEnabled) {
  return fileCount == 1 && regularFile && !jobRunning && commandEnabled;
}

// ---------------------------------------------------------------------------
// Main window geometry

MainLayout MainLayoutFor(int w, int h) {
  const int dw = std::max(0, w - kClientWidth);
  const int dh = std::max(0, h - kClientHeight);
  const int logGrows = dw / 2;
  MainLayout l;
  l.log = {10, 50, 356 + logGrows, 336 + dh};
  l.preview = {378 + logGrows, 36, 349 + dw - logGrows, 365 + dh};
  l.bottom = {0, 401 + dh, kClientWidth + dw, 29};
  return l;
}

int FirstVisibleLogLine(int count, int outerHeight) {
  const int visible = outerHeight / kLogLineHeight;
  return std::max(0, count - visible);
}

Box PreviewPlace(int panelWidth, int panelHeight, int w, int h) {
  if (w <= 0 || h <= 0) return {};
  const int W = panelWidth - 5;
  const int H = panelHeight - 5;
  const double scale = std::min(static_cast<double>(W) / w, static_cast<double>(H) / h);
  const int nw = static_cast<int>(std::floor(w * scale));
  const int nh = static_cast<int>(std::floor(h * scale));
  return {2 + (W - nw) / 2, 2 + (H - nh) / 2, nw, nh};
}

}  // namespace pt::window
