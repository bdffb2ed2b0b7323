// What every window program of pixelTuck decides the same way, without a
// toolkit: the options dialog's enabling and show/copy-back rules, the key
// dialog's layout per mode, the key-strength scales, the start-up sequence
// with its disclaimer gate, the job request of the EnCode/DeCode command,
// and the main window's geometry. A front end maps its controls onto these
// plain records and calls the functions; it decides nothing of this itself.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/settings_file.h"
#include "carrier/job.h"
#include "carrier/job_ui.h"
#include "carrier/settings.h"

namespace pt::window {

// ---------------------------------------------------------------------------
// Options dialog

// The options dialog's controls. A radio group is the index of its checked
// button, or kNone when none is checked (a group may come back so after
// Cancel).
inline constexpr int kNone = -1;
struct OptionsControls {
  int cipher = 2;       // rbNone, rbBlowfish, rbTwofish, rbRijndael
  int compression = 1;  // rbNever, rbSensibly, rbSmart, rbEver
  int level = 0;        // rbDefault, rbDefined
  int slider = 1;       // tbCompression, 0..9
  int keyMode = 0;      // rbASCII, rbHex
  int target = 0;       // rbReplaceLast, rbReplaceAll, rbAppend
  bool exitAfterConversion = false;
  bool showBitmap = false;
  bool hidePassword = false;
  bool copyLog = false;
  std::string extensions = kDefaultCompressedExtensions;  // eExtensions, Latin-1

  bool operator==(const OptionsControls&) const = default;
};
enum class LevelRadio { Default = 0, Defined = 1 };

// Which of the dependent controls are enabled.
struct OptionsEnabling {
  bool levelRadios = true;  // rbDefault, rbDefined
  bool slider = false;      // tbCompression with lNone and lMax
  bool extensions = false;  // eExtensions
  bool operator==(const OptionsEnabling&) const = default;
};
OptionsEnabling EnablingOf(const OptionsControls& c);

// Tool tips of the cipher buttons rbNone, rbBlowfish, rbTwofish, rbRijndael.
inline constexpr const char* kCipherOptionTips[] = {
    "Choose this only if you want to transfer no secure information",
    "Blowfish is more secure than DES but less secure than Rijndael or Twofish",
    "Twofish is the most secure synchronous encryption Method known today",
    "Rijndael is choosen as the American Encryption Standard Method (its faster but no so "
    "secure than Twofish)"};

// Puts the settings into the controls; a value outside the listed ones
// leaves its group as it was.
void ShowSettings(const Settings& s, OptionsControls& c);
// Copies the controls back into the settings (after OK).
void CopyBack(const OptionsControls& c, Settings& s);

// ---------------------------------------------------------------------------
// Key entry dialog

// How the dialog looks for a mode: masked ASCII input hides the characters
// and shows the re-entry field with its label and scale.
struct KeyEntryLayout {
  bool masked = false;
  bool reenterShown = false;
};
KeyEntryLayout KeyEntryLayoutFor(bool maskInput, bool asciiMode);

// The key-strength scales under the key fields: the k-th character stands
// over the k-th character typed, so each word starts where a key of that
// many characters reaches the level.
inline constexpr const char* kAsciiScale = "ASCII: Low      Medium          High";
inline constexpr const char* kHexScale =
    "Hex  :          Low             Medium                       High";
inline constexpr const char* kReenterScale = "Level: Low      Medium      High";

// ---------------------------------------------------------------------------
// Captions and mnemonics

// A caption with an Alt+letter mnemonic on the first occurrence of letter
// (either case); "&" in the caption itself is doubled. The caption is shown
// unchanged; CaptionText gives it back without the marker.
std::string WithMnemonic(std::string_view caption, char letter);
std::string CaptionText(std::string_view marked);

// The Alt+letter of each button and radio button of a dialog, by the
// control's name; every front end marks the same letters.
struct Mnemonic {
  const char* control;
  char letter;
};
inline constexpr Mnemonic kOptionsMnemonics[] = {
    {"rbNone", 'N'},    {"rbBlowfish", 'B'},    {"rbTwofish", 'T'},    {"rbRijndael", 'R'},
    {"cbExit", 'E'},    {"cbShow", 'I'},        {"rbASCII", 'A'},      {"rbHex", 'H'},
    {"cbHide", 'P'},    {"cbLOG", 'G'},         {"rbNever", 'V'},      {"rbSensibly", 'S'},
    {"rbSmart", 'F'},   {"rbEver", 'W'},        {"rbDefault", 'D'},    {"rbDefined", 'U'},
    {"rbReplaceLast", 'L'}, {"rbReplaceAll", 'X'}, {"rbAppend", 'M'}, {"bOK", 'O'},
    {"bCancel", 'C'}};
inline constexpr Mnemonic kKeyMnemonics[] = {
    {"rbASCII", 'A'}, {"rbHex", 'H'}, {"bOK", 'O'}, {"bCancel", 'C'}};
inline constexpr Mnemonic kDisclaimerMnemonics[] = {
    {"rbNo", 'D'}, {"rbYes", 'A'}, {"bOK", 'O'}};
// The caption marked with the control's letter from the table (as it is
// when the table has none for it).
std::string MarkedCaption(std::span<const Mnemonic> table, std::string_view control,
                          std::string_view caption);

// ---------------------------------------------------------------------------
// Message boxes

// The title of a box of the kind.
const char* MessageTitle(MsgKind kind);
// The answer of Enter (the default button) and of Escape or the close box
// (the set's cautious answer). Replacing a file is never the default.
MsgAnswer EnterAnswer(MsgButtons buttons);
MsgAnswer EscapeAnswer(MsgButtons buttons);

// ---------------------------------------------------------------------------
// Start-up and the disclaimer

// The front end's part of the start-up sequence.
class StartupHost {
 public:
  virtual ~StartupHost() = default;
  // Shows the disclaimer modally; true when it was accepted.
  virtual bool AskDisclaimer() = 0;
  // "Key given by command line is not valid !!!\n", at once, per argument.
  virtual void InvalidCommandLineKey() = 0;
};

// What the front end shows after the start-up sequence.
struct StartupResult {
  bool commandEnabled = true;  // EnCode/DeCode (button, menu item, Ctrl+E)
  KeyMode keyModePreset = KeyMode::Ascii;  // handed to the key dialog's first showing
  bool showBitmap = false;     // cbShow
  int cipherIndex = 2;         // position in the cipher list
};

// The first activation's sequence after the toolkit's own steps (number
// format, caption, cipher list): defaults, the settings file, the
// disclaimer gate, the key dialog's preset, "Show Bitmap", the start-up
// cipher, the run state, then the command line over them.
StartupResult RunStartup(Settings& settings, RunState& state,
                         const SettingsLocation& config,
                         const std::vector<std::string>& args, StartupHost& host);

// The disclaimer's wording, which the dialog shows as a picture: a heading,
// three paragraphs and the closing line.
inline constexpr const char* kDisclaimerHeading = "Please read before you continue";
inline constexpr const char* kDisclaimerParagraphs[] = {
    "1. Cryptography. This program can encipher files. That keeps their content from casual "
    "readers, not their names or sizes, and detects no tampering. Exporting, importing or using "
    "cryptographic software is restricted, or even illegal, in some countries: make sure your "
    "country's laws allow it.",
    "2. Hidden files. Storing files inside pictures may break the rules of the place where you "
    "work. In a company or any other non-private environment, ask the system administrator for "
    "permission first.",
    "3. No liability. The author is not liable for any illegal use of this program or for any "
    "damage that results from it. You use it at your own risk."};
inline constexpr const char* kDisclaimerClosing =
    "Select \"I accept these terms\" to use the program.";

// The log lines that say why EnCode/DeCode is off after a refused
// disclaimer, and how to turn it on.
std::vector<std::string> DisclaimerRefusedLog();
// Help menu: the disclaimer shown again; true when EnCode/DeCode may run now.
bool AcceptDisclaimerAgain(Settings& settings, StartupHost& host);

// ---------------------------------------------------------------------------
// The EnCode/DeCode command

// The request of the EnCode/DeCode command: the cipher at the list
// position, the file (chosen in the file dialog, or the one the command line
// named) and the settings.
JobRequest MakeJobRequest(int cipherIndex, bool byCommandLine, std::string file,
                          const Settings& settings);

// "Exit after Conversion": the window closes once a command-line job has
// reached its end (a failed or stopped one leaves it open).
bool CloseAfterJob(bool byCommandLine, const Settings& settings, const JobOutcome& outcome);

// What the progress bar says it measures.
std::string PhaseCaption(JobPhase phase);

// The warning box after a job whose restored file failed its final check.
inline constexpr const char* kChecksumWarning =
    "The restored file does not match the packed file's checksum.\n"
    "It may be damaged: keep the carrier.";
bool WarnAfterJob(const JobOutcome& outcome);

// The program's exit status when a command-line job closes the window
// ("Exit after Conversion"): 0 only for a job that reached its end and
// whose checks all passed.
int ExitStatusAfter(const JobOutcome& outcome);

// What the window does once a job has returned, in this order: the warning
// of a failed final check, then the close that the user asked for during
// the job or that "Exit after Conversion" asks for; only the latter sets
// the program's exit status.
struct AfterJob {
  bool warnChecksum = false;
  bool close = false;
  std::optional<int> exitStatus;
  bool operator==(const AfterJob&) const = default;
};
AfterJob AfterJobFor(bool byCommandLine, const Settings& settings, const JobOutcome& outcome,
                     bool closeRequested);

// ---------------------------------------------------------------------------
// Main window

// The caption once the start-up sequence has run: "pixelTuck V1.2.1".
std::string MainCaption();

// The about box. pixelTuck has no web address yet; the box keeps its two
// lines and says so rather than naming an address nobody answers at.
inline constexpr const char* kEnglishHomepage = "none published";
inline constexpr const char* kGermanHomepage = "none published";
std::string AboutText();

// The preview shows files up to this size; a larger one gives the message.
inline constexpr long long kMaxPreviewBytes = 10000000;
inline constexpr const char* kPreviewTooLarge =
    "Image is not shown because of a size larger than 10MB";

// Longest stretch of a job without paint, expose and window-manager events
// being processed (a window that does not answer for a few seconds is
// called "Not Responding").
inline constexpr int kKeepAliveMs = 50;

// Tool tips of the main window's controls.
inline constexpr const char* kOpenTip =
    "Pack a file into a carrier bitmap, or unpack a carrier (.bmp) (Ctrl+E)";
inline constexpr const char* kStopTip = "Stop the job (Esc)";
inline constexpr const char* kOptionsTip = "Change the options (Ctrl+O)";
inline constexpr const char* kCloseTip = "Close pixelTuck (Ctrl+F4)";
inline constexpr const char* kCipherTip = "Cipher for packing; unpacking uses the carrier's own";
inline constexpr const char* kShowTip = "Show the carrier in the preview after a job";
inline constexpr const char* kLogTip = "The job log: double-click copies it, right-click offers Copy";

// Which of the main window's commands are offered. During a job only what
// acts on it stays: EnCode/DeCode turns into Stop (also when the refused
// disclaimer had switched it off, for a command-line job), Close and "Show
// Bitmap"; the menu, Options and the cipher list are off.
struct MainControls {
  bool openButton = true;   // bbOpen, as EnCode/DeCode or as Stop
  bool openCommand = true;  // the menu item "&EnCode/DeCode" and Ctrl+E
  bool options = true;      // bbOptions
  bool cipherList = true;   // cbEncMethod with Label1
  bool menu = true;         // the menu bar with every item
  const char* openCaption = "EnCode/DeCode";
  const char* openTip = kOpenTip;
};
MainControls MainControlsFor(bool jobRunning, bool commandEnabled);

// A file dragged onto the window starts the command on it, as if chosen in
// the file dialog: exactly one file, a regular one, while no job runs and
// the command is enabled.
bool TakesDroppedFile(int fileCount, bool regularFile, bool jobRunning, bool commandEnabled);

// ---------------------------------------------------------------------------
// Main window geometry

struct Box {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const Box&) const = default;
};
struct MainLayout {
  Box log;      // ListBox
  Box preview;  // iPanel
  Box bottom;   // pBottom, the progress bar's panel
};
// The client area at its designed size, 729 x 430, and never smaller.
inline constexpr int kClientWidth = 729;
inline constexpr int kClientHeight = 430;
// Places the log and the preview panel in a client area of w x h: at the
// designed size exactly as designed; wider or taller, both grow (the width
// shared between them), the top bar and the margins stay.
MainLayout MainLayoutFor(int w, int h);

// First visible log line that shows the end of a log of `count` lines in a
// list `outerHeight` pixels high, lines of kLogLineHeight pixels.
inline constexpr int kLogLineHeight = 15;
int FirstVisibleLogLine(int count, int outerHeight);

// Where a w x h picture goes inside a panel: scaled to fit the panel less
// its margins with its aspect kept, centred. Empty when w or h is not
// positive.
Box PreviewPlace(int panelWidth, int panelHeight, int w, int h);

}  // namespace pt::window
