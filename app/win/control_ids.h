// Control identifiers of the Windows window program's windows and dialogs.
// The program and its test driver find controls by these.
#pragma once

namespace pt::win::id {

// Window class of the main window, and of the program's own dialogs.
inline constexpr const wchar_t* kMainClass = L"pixelTuckMain";
inline constexpr const wchar_t* kDialogClass = L"pixelTuckDialog";

// Main window.
enum MainControl : int {
  bbOpen = 101,
  bbOptions = 102,
  bbClose = 103,
  cbEncMethod = 104,
  cbShow = 105,
  ListBox = 106,
  iPanel = 107,
  ProgressBar = 108,
  PhaseLabel = 109,
};

// Menu and accelerator commands of the main window.
enum MainCommand : int {
  mOpen = 201,        // Ctrl+E
  mOptions = 202,     // Ctrl+O
  mClose = 203,       // Ctrl+F4
  Info1 = 204,        // about box
  mDisclaimer = 205,  // Help: the disclaimer again
  mCopyLog = 206,     // log context menu: the whole log
  mCopyLine = 207,    // log context menu: the selected line
  mStop = 208,        // Escape during a job
};

// Options dialog.
enum OptionsControl : int {
  rbNone = 301,
  rbBlowfish = 302,
  rbTwofish = 303,
  rbRijndael = 304,
  cbExit = 305,
  cbShowOption = 306,  // "Show Bitmap" of the options dialog
  rbNever = 307,
  rbSensibly = 308,
  rbSmart = 309,
  eExtensions = 310,
  rbEver = 311,
  rbDefault = 312,
  rbDefined = 313,
  tbCompression = 314,
  rbASCII = 315,
  rbHex = 316,
  cbHide = 317,
  cbLOG = 318,
  rbReplaceLast = 319,
  rbReplaceAll = 320,
  rbAppend = 321,
};

// Key entry dialog.
enum KeyControl : int {
  eEnter = 401,
  eReenter = 402,
  rbKeyASCII = 403,
  rbKeyHex = 404,
};

// Disclaimer dialog.
enum DisclaimerControl : int {
  rbDisclaimerNo = 501,
  rbDisclaimerYes = 502,
};

// Message boxes: the text beside the icon.
enum MessageBoxControl : int {
  sMessage = 601,
};

// Buttons of every dialog and message box.
enum DialogButton : int {
  bOK = 1,      // IDOK
  bCancel = 2,  // IDCANCEL
  bAbort = 3,   // IDABORT
  bYes = 6,     // IDYES
  bNo = 7,      // IDNO
};

}  // namespace pt::win::id
