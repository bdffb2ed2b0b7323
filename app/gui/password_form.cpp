#include "app/gui/password_form.h"

#include <QFont>
#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <initializer_list>
#include <optional>
#include <string_view>

#include "crypto/key_rules.h"
#include "util/key_text.h"
#include "app/gui/form_style.h"
#include "app/window/window_logic.h"

namespace {

QLabel* ScaleLabel(const QString& text, const QColor& colour, QWidget* parent,
                   int x, int y) {
  auto* l = new QLabel(text, parent);
  l->setFont(pt::gui::FixedFont(14, false));
  QPalette p = l->palette();
  p.setColor(QPalette::WindowText, colour);
  l->setPalette(p);
  l->move(x, y);
  l->adjustSize();
  return l;
}

// A scale line's k-th character stands over the k-th character typed into
// `edit`: the same advance as the edit's font (two scale lines sit 15
// pixels apart, so their 14-pixel glyphs are spaced out rather than
// enlarged, which keeps descenders off the line below) and the same left
// edge as the edit's text.
void AlignScale(QLabel* label, QLineEdit* edit) {
  QFont font = pt::gui::FixedFont(14, false);
  const qreal want = QFontMetricsF(edit->font()).horizontalAdvance(QLatin1Char('W'));
  const qreal have = QFontMetricsF(font).horizontalAdvance(QLatin1Char('W'));
  font.setLetterSpacing(QFont::AbsoluteSpacing, want - have);
  label->setFont(font);
  label->adjustSize();
  // Where the edit draws its first character, measured on an empty twin
  // (the cursor sits 5 pixels into the rectangle cursorRect gives).
  QLineEdit twin;
  twin.setFont(edit->font());
  twin.setStyleSheet(edit->styleSheet());
  twin.resize(edit->size());
  twin.ensurePolished();
  const QRect cursor = twin.inputMethodQuery(Qt::ImCursorRectangle).toRect();
  label->move(edit->x() + cursor.x() + 5, label->y());
}

// Masked fields show '#' rather than the platform's bullet.
const char* const kHashEcho = "QLineEdit { lineedit-password-character: 35; }";

std::string_view View(const QByteArray& bytes) {
  return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

void WipeBytes(QByteArray& bytes) {
  if (!bytes.isEmpty()) pt::SecureWipe(bytes.data(), static_cast<std::size_t>(bytes.size()));
}

// Overwrites the text an edit field holds before emptying it (clear() alone
// frees the characters without overwriting them).
void WipeEdit(QLineEdit* edit) {
  QString held = edit->text();  // shares the field's own buffer
  if (held.isEmpty()) return;
  // The field lets go of its buffer (its display takes same-length filler),
  // so `held` is its only owner and is overwritten in place, not copied.
  edit->setText(QString(held.size(), QLatin1Char('#')));
  pt::SecureWipe(reinterpret_cast<char16_t*>(held.data()), static_cast<std::size_t>(held.size()));
  edit->clear();
}

}  // namespace

TPassword_Form::TPassword_Form(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Password_Form"));
  setWindowTitle(QStringLiteral("Enter a Key or press <ESC> ..."));
  // A resizable tool window: title and close box only.
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFont(pt::gui::FormFont(11));
  errorBox = [this](const QString& text) {
    QMessageBox::critical(this, QStringLiteral("Error"), text);
  };
  CreateControls();
  ConnectControls();
  resize(682, 256);
  setMinimumSize(682, 256);
}

TPassword_Form::~TPassword_Form() = default;

void TPassword_Form::CreateControls() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  layout->addWidget(Panel1);

  lEnter = new QLabel(
      QStringLiteral("Enter at least 8, (better 16) ... up to 32 ASCII or 16 up "
                     "to 64 HEX characters:"),
      Panel1);
  lEnter->setObjectName(QStringLiteral("lEnter"));
  lEnter->setFont(pt::gui::FormFont(13));
  lEnter->move(15, 15);
  lEnter->adjustSize();

  eEnter = new QLineEdit(Panel1);
  eEnter->setObjectName(QStringLiteral("eEnter"));
  eEnter->setFont(pt::gui::FixedFont(16, true));
  eEnter->setGeometry(15, 35, 651, 26);
  eEnter->setStyleSheet(QString::fromLatin1(kHashEcho));
  // Design-time filler; ApplyKeyMode replaces it before any key is read.
  eEnter->setText(QStringLiteral(
      "1234567890123456789012345678901234567890123456789012345678901234"));

  lMeasure1 = ScaleLabel(QString::fromLatin1(pt::window::kAsciiScale),
                         QColor(0x00, 0x80, 0x00), Panel1, 17, 65);
  lMeasure1->setObjectName(QStringLiteral("lMeasure1"));
  Label1 = ScaleLabel(QString::fromLatin1(pt::window::kHexScale),
                      QColor(0xFF, 0x00, 0x00), Panel1, 17, 80);
  Label1->setObjectName(QStringLiteral("Label1"));

  GroupBox1 = new QGroupBox(QStringLiteral("Key Type"), Panel1);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox1->setGeometry(15, 105, 246, 86);
  rbASCII = new QRadioButton(QStringLiteral("Enter Key manually (ASCII Mode)"), GroupBox1);
  rbASCII->setObjectName(QStringLiteral("rbASCII"));
  rbASCII->move(15, 25);
  rbASCII->adjustSize();
  rbASCII->setChecked(true);
  rbHex = new QRadioButton(QStringLiteral("Enter Key manually (Hex Mode)"), GroupBox1);
  rbHex->setObjectName(QStringLiteral("rbHex"));
  rbHex->move(15, 48);
  rbHex->adjustSize();

  Panel2 = new QFrame(Panel1);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel2->setGeometry(280, 110, 386, 81);
  lReenter = new QLabel(
      QStringLiteral("Reenter your ASCII password or press <ESC> ..."), Panel2);
  lReenter->setObjectName(QStringLiteral("lReenter"));
  lReenter->setFont(pt::gui::FormFont(13));
  lReenter->move(27, 10);
  lReenter->adjustSize();
  eReenter = new QLineEdit(Panel2);
  eReenter->setObjectName(QStringLiteral("eReenter"));
  eReenter->setFont(pt::gui::FixedFont(16, true));
  eReenter->setGeometry(25, 30, 331, 26);
  eReenter->setStyleSheet(QString::fromLatin1(kHashEcho));
  eReenter->setEchoMode(QLineEdit::Password);
  lMeasure2 = ScaleLabel(QString::fromLatin1(pt::window::kReenterScale),
                         QColor(0x00, 0x80, 0x00), Panel2, 30, 57);
  lMeasure2->setObjectName(QStringLiteral("lMeasure2"));

  bOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                        QStringLiteral("OK"), Panel1);
  bOK->setObjectName(QStringLiteral("bOK"));
  bOK->setGeometry(15, 205, 281, 35);
  bOK->setDefault(true);
  bOK->setAutoDefault(true);
  bCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                            QStringLiteral("Cancel"), Panel1);
  bCancel->setObjectName(QStringLiteral("bCancel"));
  bCancel->setGeometry(385, 205, 281, 35);
  bCancel->setAutoDefault(false);

  for (QAbstractButton* button :
       std::initializer_list<QAbstractButton*>{rbASCII, rbHex, bOK, bCancel})
    pt::gui::SetMnemonic(button, pt::window::kKeyMnemonics);

  setTabOrder(eEnter, eReenter);
  setTabOrder(eReenter, rbASCII);
  setTabOrder(rbASCII, rbHex);
  setTabOrder(rbHex, bOK);
  setTabOrder(bOK, bCancel);
}

void TPassword_Form::ConnectControls() {
  // Checking a mode from code must behave like a click, so listen to toggled.
  connect(rbASCII, &QRadioButton::toggled, this, [this](bool on) {
    if (on) rbASCIIClick();
  });
  connect(rbHex, &QRadioButton::toggled, this, [this](bool on) {
    if (on) rbASCIIClick();
  });
  connect(bOK, &QPushButton::clicked, this, &TPassword_Form::bOKClick);
  connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TPassword_Form::ApplyKeyMode() {
  const bool masked = pt::window::KeyEntryLayoutFor(maskInput, rbASCII->isChecked()).masked;
  eEnter->setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
  eReenter->setVisible(masked);
  lReenter->setVisible(masked);
  lMeasure2->setVisible(masked);
  // An empty sunken panel would look like a missing control.
  Panel2->setFrameStyle(masked ? (QFrame::Panel | QFrame::Sunken) : QFrame::NoFrame);
  WipeEdit(eEnter);
  if (masked) WipeEdit(eReenter);
}

void TPassword_Form::rbASCIIClick() {
  ApplyKeyMode();
  if (eEnter->isEnabled()) eEnter->setFocus();
  // Checked with the keyboard (arrow keys), a radio button takes the focus
  // after it has been clicked: the key field takes it back then.
  QMetaObject::invokeMethod(
      this, [this] {
        if (eEnter->isEnabled() && isVisible()) eEnter->setFocus();
      },
      Qt::QueuedConnection);
}

void TPassword_Form::FormActivate() {
  eEnter->setFocus();
  if (pendingKeyMode) {
    if (*pendingKeyMode == pt::KeyMode::Ascii) rbASCII->setChecked(true);
    if (*pendingKeyMode == pt::KeyMode::Hex) rbHex->setChecked(true);
    pendingKeyMode.reset();
  }
}

void TPassword_Form::bOKClick() {
  QByteArray enter = eEnter->text().toUtf8();
  QByteArray reenter = eReenter->text().toUtf8();
  const pt::KeyCheck check = pt::CheckDialogKey(HexMode(), ReenterShown(), View(enter),
                                                View(reenter));
  WipeBytes(enter);
  WipeBytes(reenter);
  if (check.accepted) {
    accept();
    return;
  }
  if (check.clearReenter) WipeEdit(eReenter);
  errorBox(QString::fromUtf8(check.message.c_str()));
}

bool TPassword_Form::HexMode() const { return rbHex->isChecked(); }

pt::KeyText TPassword_Form::KeyText() const {
  QByteArray utf8 = eEnter->text().toUtf8();
  std::optional<pt::KeyText> bytes = pt::AsciiKeyBytes(View(utf8));
  WipeBytes(utf8);
  if (!bytes) return {};
  return std::move(*bytes);
}

void TPassword_Form::WipeFields() {
  WipeEdit(eEnter);
  WipeEdit(eReenter);
}

bool TPassword_Form::ReenterShown() const { return !eReenter->isHidden(); }

void TPassword_Form::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The edits' text margins are known once the style has polished them.
  AlignScale(lMeasure1, eEnter);
  AlignScale(Label1, eEnter);
  AlignScale(lMeasure2, eReenter);
  if (QScreen* s = screen()) {
    const QRect area = s->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  FormActivate();
}
