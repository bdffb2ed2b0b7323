// The dialogs and message boxes of the Windows window program, shown for
// real: a thread timer finds the dialog on top, lets it paint, works its
// controls by the messages a click or a key sends, and closes it; the test
// checks what the call returned. With PT_DIALOG_SHOTS=<folder> each dialog
// is saved there as a BMP picture once it has painted.
#include "app/win/win_dialogs.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/win/control_ids.h"
#include "tests/support/named_case.h"

namespace pt::win {
namespace {

using namespace id;

// ---------------------------------------------------------------------------
// The driver

using Step = std::function<void(HWND dialog)>;

struct Driver {
  std::deque<Step> steps;
  std::string shotName;
  HWND last = nullptr;
  int quietTicks = 0;  // ticks the dialog on top has stayed the same
  int idleTicks = 0;   // ticks with nothing left to do
  bool timedOut = false;
};
Driver* driver = nullptr;

bool IsDialogClass(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return std::wstring(name) == kDialogClass;
}

// The visible, enabled dialog of this thread: a modal one disables its owner.
HWND TopDialog() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM out) -> BOOL {
        if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd) && IsDialogClass(hwnd)) {
          *reinterpret_cast<HWND*>(out) = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

void SaveShot(HWND dialog, const std::string& name);

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (!driver) return;
  HWND dialog = TopDialog();
  if (!dialog) return;
  if (dialog != driver->last) {
    driver->last = dialog;
    driver->quietTicks = 0;
    return;
  }
  // Three ticks to paint before anything is done to a new dialog.
  if (++driver->quietTicks < 3) return;
  if (driver->quietTicks == 3) {
    UpdateWindow(dialog);
    if (!driver->shotName.empty()) SaveShot(dialog, driver->shotName);
    driver->shotName.clear();
  }
  if (driver->steps.empty()) {
    // A dialog that should have closed: fail, and close it so the test ends.
    if (++driver->idleTicks > 100) {
      driver->timedOut = true;
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      driver->idleTicks = 0;
    }
    return;
  }
  Step step = std::move(driver->steps.front());
  driver->steps.pop_front();
  step(dialog);
  driver->quietTicks = 2;  // one tick for the step's messages to be handled
}

// Runs `open` (which shows a modal dialog) while the steps are worked off.
void Drive(std::vector<Step> steps, const std::function<void()>& open, const std::string& shot = {}) {
  Driver d;
  d.steps.assign(steps.begin(), steps.end());
  if (const char* folder = std::getenv("PT_DIALOG_SHOTS"); folder && !shot.empty())
    d.shotName = std::string(folder) + "/" + shot + ".bmp";
  driver = &d;
  const UINT_PTR timer = SetTimer(nullptr, 0, 30, Tick);
  open();
  KillTimer(nullptr, timer);
  driver = nullptr;
  EXPECT_FALSE(d.timedOut) << "a dialog stayed open";
  EXPECT_TRUE(d.steps.empty()) << d.steps.size() << " steps not taken";
}

// What a person does.
Step Click(int id) {
  return [id](HWND dialog) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); };
}
Step Type(int id, const wchar_t* text) {
  return [id, text](HWND dialog) { SetWindowTextW(GetDlgItem(dialog, id), text); };
}
Step Press(WPARAM key) {
  return [key](HWND dialog) {
    HWND focus = GetFocus();
    HWND target = focus && IsChild(dialog, focus) ? focus : dialog;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
  };
}
Step CloseBox() {
  return [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); };
}
Step Check(std::function<void(HWND)> check) { return check; }

std::wstring TextOf(HWND hwnd) {
  wchar_t text[512] = {};
  GetWindowTextW(hwnd, text, 512);
  return text;
}
std::wstring ItemText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
bool Shown(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }
bool Masked(HWND dialog, int id) {
  return (GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & ES_PASSWORD) != 0;
}
// The static texts of a dialog, joined (a message box's text is one).
std::wstring StaticTexts(HWND dialog) {
  std::wstring all;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t name[32] = {};
    GetClassNameW(c, name, 32);
    if (std::wstring(name) == L"Static") all += TextOf(c);
  }
  return all;
}

// A 24-bit BMP of what the screen shows of the dialog.
void SaveShot(HWND dialog, const std::string& name) {
  RECT r{};
  GetWindowRect(dialog, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info{sizeof info, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const int stride = (w * 3 + 3) & ~3;
  std::vector<unsigned char> pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(h));
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(h), pixels.data(),
            reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  if (FILE* out = std::fopen(name.c_str(), "wb")) {
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    std::fwrite(pixels.data(), 1, pixels.size(), out);
    std::fclose(out);
  }
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

// ---------------------------------------------------------------------------
// Message boxes

struct BoxCase : test::NamedCase {
  MsgKind kind;
  MsgButtons buttons;
  Step answer;
  const wchar_t* title;
  MsgAnswer want;
};
class MessageBoxTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(MessageBoxTest, GivesTheButtonsAnswer) {
  const BoxCase& c = GetParam();
  MsgAnswer got = MsgAnswer::Ok;
  Drive({Check([&c](HWND box) {
           EXPECT_EQ(TextOf(box), c.title);
           EXPECT_NE(StaticTexts(box).find(L"Line one"), std::wstring::npos);
         }),
         c.answer},
        [&] { got = ShowMessageBox(nullptr, c.kind, "Line one\nline two", c.buttons); },
        std::string("box-") + c.name);
  EXPECT_EQ(got, c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, MessageBoxTest,
    ::testing::Values(
        BoxCase{"OkAbortEscapeAborts", MsgKind::Warning, MsgButtons::OkAbort, Press(VK_ESCAPE),
                L"Warning", MsgAnswer::Abort},
        BoxCase{"OkAbortCloseBoxAborts", MsgKind::Warning, MsgButtons::OkAbort, CloseBox(),
                L"Warning", MsgAnswer::Abort},
        BoxCase{"OkAbortEnterIsOk", MsgKind::Warning, MsgButtons::OkAbort, Press(VK_RETURN),
                L"Warning", MsgAnswer::Ok},
        BoxCase{"OkAbortAbortButton", MsgKind::Warning, MsgButtons::OkAbort, Click(bAbort),
                L"Warning", MsgAnswer::Abort},
        BoxCase{"YesNoEnterKeepsTheFile", MsgKind::Confirmation, MsgButtons::YesNo,
                Press(VK_RETURN), L"Confirm", MsgAnswer::No},
        BoxCase{"YesNoYesButton", MsgKind::Confirmation, MsgButtons::YesNo, Click(bYes),
                L"Confirm", MsgAnswer::Yes},
        BoxCase{"YesNoEscapeKeepsTheFile", MsgKind::Confirmation, MsgButtons::YesNo,
                Press(VK_ESCAPE), L"Confirm", MsgAnswer::No},
        BoxCase{"YesNoCancelEnterIsYes", MsgKind::Confirmation, MsgButtons::YesNoCancel,
                Press(VK_RETURN), L"Confirm", MsgAnswer::Yes},
        BoxCase{"YesNoCancelEscapeCancels", MsgKind::Confirmation, MsgButtons::YesNoCancel,
                Press(VK_ESCAPE), L"Confirm", MsgAnswer::Cancel},
        BoxCase{"YesNoCancelNoButton", MsgKind::Confirmation, MsgButtons::YesNoCancel,
                Click(bNo), L"Confirm", MsgAnswer::No},
        BoxCase{"ErrorOk", MsgKind::Error, MsgButtons::Ok, Press(VK_RETURN), L"Error",
                MsgAnswer::Ok},
        BoxCase{"PlainOk", MsgKind::Plain, MsgButtons::Ok, Click(bOK), L"pixelTuck",
                MsgAnswer::Ok}),
    test::CaseName());

// A text with a path longer than a line: the box shows all of it, the path
// broken where a line is full, within the screen.
struct LongTextCase : test::NamedCase {
  MsgKind kind;
  MsgButtons buttons;
  std::string text;
};
class LongTextTest : public ::testing::TestWithParam<LongTextCase> {};

// 200 characters, none of them a space.
std::string LongPath() {
  std::string path = "C:";
  while (path.size() < 191) path += "\\folder" + std::to_string(path.size());
  return path.substr(0, 191) + "\\file.bmp";
}

TEST_P(LongTextTest, ShowsAllOfIt) {
  const LongTextCase& c = GetParam();
  Drive({Check([&c](HWND box) {
           HWND text = GetDlgItem(box, sMessage);
           ASSERT_NE(text, nullptr);
           const int n = GetWindowTextLengthW(text);
           std::wstring shown(static_cast<std::size_t>(n) + 1, L'\0');
           GetWindowTextW(text, shown.data(), n + 1);
           shown.resize(static_cast<std::size_t>(n));
           std::wstring want(c.text.begin(), c.text.end());
           EXPECT_EQ(shown, want);
           // The text laid out as the control draws it fits the control.
           RECT control{};
           GetClientRect(text, &control);
           const bool breaksWords = (GetWindowLongW(text, GWL_STYLE) & SS_EDITCONTROL) != 0;
           RECT laid{0, 0, control.right, 0};
           HDC dc = GetDC(text);
           HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(text, WM_GETFONT, 0, 0)));
           DrawTextW(dc, shown.c_str(), n, &laid,
                     DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX |
                         (breaksWords ? DT_EDITCONTROL : 0));
           SelectObject(dc, old);
           ReleaseDC(text, dc);
           EXPECT_LE(laid.right, control.right) << "a line is wider than the text";
           EXPECT_LE(laid.bottom, control.bottom) << "lines below the text's bottom";
           // The control lies inside the box, the box on the screen.
           RECT inBox{}, client{}, frame{};
           GetWindowRect(text, &inBox);
           MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&inBox), 2);
           GetClientRect(box, &client);
           EXPECT_LE(inBox.right, client.right);
           EXPECT_LE(inBox.bottom, client.bottom);
           GetWindowRect(box, &frame);
           EXPECT_GE(frame.left, 0);
           EXPECT_LE(frame.right, GetSystemMetrics(SM_CXSCREEN));
         }),
         Press(VK_ESCAPE)},
        [&c] { ShowMessageBox(nullptr, c.kind, c.text, c.buttons); }, std::string("long-") + c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, LongTextTest,
    ::testing::Values(
        LongTextCase{"ReplaceQuestion", MsgKind::Confirmation, MsgButtons::YesNo,
                     "The file <" + LongPath() + "> already exists.\n\nReplace it ?"},
        LongTextCase{"ErrorBox", MsgKind::Error, MsgButtons::Ok,
                     "File <" + LongPath() + "> could not be opened !!!"}),
    test::CaseName());

TEST(AboutBox, ShowsTheTextAndClosesWithOk) {
  Drive({Check([](HWND box) {
           EXPECT_EQ(TextOf(box), L"Information");
           EXPECT_NE(StaticTexts(box).find(L"German Homepage:\tgerman"), std::wstring::npos);
         }),
         Click(bOK)},
        [] { ShowAbout(nullptr, "pixelTuck V1.2.1\n\nEnglish Homepage:\tenglish\nGerman Homepage:\tgerman"); },
        "about");
}

// ---------------------------------------------------------------------------
// Options dialog

struct OptionsCase : test::NamedCase {
  std::vector<Step> steps;
  bool wantOk;
  std::function<void(Settings&)> wantChange;  // on the defaults
};
class OptionsDialogTest : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(OptionsDialogTest, EditsTheSettings) {
  const OptionsCase& c = GetParam();
  Settings settings;
  Settings want;
  c.wantChange(want);
  bool ok = false;
  Drive(c.steps, [&] { ok = RunOptionsDialog(nullptr, settings); },
        std::string("options-") + c.name);
  EXPECT_EQ(ok, c.wantOk);
  EXPECT_EQ(settings, want);
  // Whatever happened, the next opening shows the settings.
  Drive({Check([&settings](HWND dialog) {
           EXPECT_EQ(Checked(dialog, rbNever), settings.compressionMode == CompressionMode::Never);
           EXPECT_EQ(Checked(dialog, rbSmart),
                     settings.compressionMode == CompressionMode::UnlessListed);
           EXPECT_EQ(ItemText(dialog, eExtensions), std::wstring(settings.compressedExtensions.begin(),
                                                                 settings.compressedExtensions.end()));
         }),
         Press(VK_ESCAPE)},
        [&] { RunOptionsDialog(nullptr, settings); });
}

INSTANTIATE_TEST_SUITE_P(
    Exchanges, OptionsDialogTest,
    ::testing::Values(
        OptionsCase{"OkCopiesBack",
                    {Click(rbSmart), Type(eExtensions, L"zip,7z"), Click(rbHex), Click(rbDefined),
                     [](HWND dialog) {
                       SendMessageW(GetDlgItem(dialog, tbCompression), TBM_SETPOS, TRUE, 7);
                     },
                     Click(rbRijndael), Click(cbLOG), Click(rbAppend), Click(bOK)},
                    true,
                    [](Settings& s) {
                      s.compressionMode = CompressionMode::UnlessListed;
                      s.compressedExtensions = "zip,7z";
                      s.keyMode = KeyMode::Hex;
                      s.compressionLevel = 7;
                      s.startupCipher = StartupCipher::Rijndael;
                      s.copyLog = true;
                      s.targetNameRule = TargetNameRule::Append;
                    }},
        OptionsCase{"CancelLeavesTheSettings",
                    {Click(rbNever), Click(rbBlowfish), Type(eExtensions, L"x"), Click(cbExit),
                     Click(bCancel)},
                    false, [](Settings&) {}},
        OptionsCase{"EscapeLeavesTheSettings",
                    {Click(rbEver), Click(cbHide), Press(VK_ESCAPE)}, false, [](Settings&) {}}),
    test::CaseName());

TEST(OptionsDialog, EnablingFollowsTheControlsAsTheyChange) {
  Settings settings;
  Drive({Click(rbNever),
         Check([](HWND dialog) {
           EXPECT_FALSE(Enabled(dialog, rbDefault));
           EXPECT_FALSE(Enabled(dialog, rbDefined));
           EXPECT_FALSE(Enabled(dialog, tbCompression));
           EXPECT_FALSE(Enabled(dialog, eExtensions));
         }),
         Click(rbSmart), Click(rbDefined),
         Check([](HWND dialog) {
           EXPECT_TRUE(Enabled(dialog, rbDefault));
           EXPECT_TRUE(Enabled(dialog, tbCompression));
           EXPECT_TRUE(Enabled(dialog, eExtensions));
         }),
         Click(rbDefault),
         Check([](HWND dialog) {
           EXPECT_FALSE(Enabled(dialog, tbCompression));
           EXPECT_TRUE(Enabled(dialog, eExtensions));
         }),
         Click(bCancel)},
        [&] { RunOptionsDialog(nullptr, settings); });
}

// ---------------------------------------------------------------------------
// Key dialog

TEST(KeyDialog, AcceptsAValidKeyAndRefusesAShortOne) {
  KeyDialog dialog;
  KeyReply reply;
  Drive({Type(eEnter, L"short"), Click(bOK),
         Check([](HWND box) {  // the error box over the dialog
           EXPECT_EQ(TextOf(box), L"Error");
           EXPECT_NE(StaticTexts(box).find(L"(5)"), std::wstring::npos);
         }),
         Press(VK_RETURN),
         Check([](HWND key) { EXPECT_EQ(ItemText(key, eEnter), L"short"); }),
         Type(eEnter, L"long enough"), Press(VK_RETURN)},
        [&] { reply = dialog.Run(nullptr, KeyRequest(false, true)); }, "key-ascii");
  EXPECT_TRUE(reply.ok);
  EXPECT_FALSE(reply.hexMode);
  EXPECT_EQ(reply.text.View(), "long enough");
}

TEST(KeyDialog, MaskedInputAsksTwiceAndAMismatchEmptiesTheReentry) {
  KeyDialog dialog;
  KeyReply reply;
  Drive({Check([](HWND key) {
           EXPECT_TRUE(Masked(key, eEnter));
           EXPECT_TRUE(Shown(key, eReenter));
         }),
         Type(eEnter, L"abcdefgh"), Type(eReenter, L"abcdefgX"), Click(bOK),
         Check([](HWND box) {
           EXPECT_NE(StaticTexts(box).find(L"Passwords are not identical"), std::wstring::npos);
         }),
         Press(VK_RETURN),
         Check([](HWND key) {
           EXPECT_EQ(ItemText(key, eReenter), L"");
           EXPECT_EQ(ItemText(key, eEnter), L"abcdefgh");
         }),
         Type(eReenter, L"abcdefgh"), Click(bOK)},
        [&] { reply = dialog.Run(nullptr, KeyRequest(true, true)); }, "key-masked");
  EXPECT_TRUE(reply.ok);
  EXPECT_EQ(reply.text.View(), "abcdefgh");
}

TEST(KeyDialog, SwitchingByKeyboardPutsTheFocusInTheKeyField) {
  KeyDialog dialog;
  KeyReply reply;
  Drive({Type(eEnter, L"typed before"),
         [](HWND key) { SetFocus(GetDlgItem(key, rbKeyASCII)); }, Press(VK_DOWN),
         Check([](HWND key) {
           EXPECT_TRUE(Checked(key, rbKeyHex));
           EXPECT_EQ(GetFocus(), GetDlgItem(key, eEnter));
           EXPECT_EQ(ItemText(key, eEnter), L"");  // switching empties the key
           EXPECT_FALSE(Masked(key, eEnter));      // hex is never masked
           EXPECT_FALSE(Shown(key, eReenter));
         }),
         Press(VK_ESCAPE)},
        [&] { reply = dialog.Run(nullptr, KeyRequest(true, true)); }, "key-hex");
  EXPECT_FALSE(reply.ok);
  EXPECT_TRUE(reply.hexMode);
}

TEST(KeyDialog, KeepsItsFieldsBetweenShowingsUntilWiped) {
  KeyDialog dialog;
  dialog.SetPendingKeyMode(KeyMode::Hex);
  Drive({Check([](HWND key) { EXPECT_TRUE(Checked(key, rbKeyHex)); }),
         Type(eEnter, L"00112233445566"), Press(VK_ESCAPE)},
        [&] { dialog.Run(nullptr, KeyRequest(false, true)); });
  // A repeated showing within one job shows the dialog as it was left.
  Drive({Check([](HWND key) {
           EXPECT_TRUE(Checked(key, rbKeyHex));
           EXPECT_EQ(ItemText(key, eEnter), L"00112233445566");
         }),
         Press(VK_ESCAPE)},
        [&] { dialog.Run(nullptr, KeyRequest(false, false)); });
  dialog.Wipe();
  Drive({Check([](HWND key) { EXPECT_EQ(ItemText(key, eEnter), L""); }), Press(VK_ESCAPE)},
        [&] { dialog.Run(nullptr, KeyRequest(false, false)); });
}

// ---------------------------------------------------------------------------
// Disclaimer

struct DisclaimerCase : test::NamedCase {
  std::vector<Step> steps;
  bool wantAccepted;
};
class DisclaimerTest : public ::testing::TestWithParam<DisclaimerCase> {};

TEST_P(DisclaimerTest, AcceptedOnlyWithTheAcceptButtonSelected) {
  bool accepted = !GetParam().wantAccepted;
  Drive(GetParam().steps, [&] { accepted = RunDisclaimerDialog(nullptr); },
        std::string("disclaimer-") + GetParam().name);
  EXPECT_EQ(accepted, GetParam().wantAccepted);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, DisclaimerTest,
    ::testing::Values(DisclaimerCase{"OkAsShownRefuses", {Click(bOK)}, false},
                      DisclaimerCase{"AcceptThenOk", {Click(rbDisclaimerYes), Click(bOK)}, true},
                      DisclaimerCase{"AcceptThenCloseBox", {Click(rbDisclaimerYes), CloseBox()}, true},
                      DisclaimerCase{"AcceptThenRefuseThenEscape",
                                     {Click(rbDisclaimerYes), Click(rbDisclaimerNo),
                                      Press(VK_ESCAPE)},
                                     false}),
    test::CaseName());

}  // namespace
}  // namespace pt::win
