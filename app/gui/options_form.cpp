#include "app/gui/options_form.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QVBoxLayout>
#include <initializer_list>
#include <iterator>

#include "app/gui/form_style.h"

namespace {

template <typename T>
T* Named(T* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

QRadioButton* Coloured(QRadioButton* rb, const QColor& c) {
  QPalette p = rb->palette();
  p.setColor(QPalette::WindowText, c);
  p.setColor(QPalette::ButtonText, c);
  rb->setPalette(p);
  return rb;
}

QVBoxLayout* GroupLayout(QGroupBox* g) {
  auto* l = new QVBoxLayout(g);
  l->setContentsMargins(8, 4, 8, 6);
  l->setSpacing(2);
  return l;
}

}  // namespace

TOptionsForm::TOptionsForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("OptionsForm"));
  setWindowTitle(QStringLiteral("pixelTuck Options ..."));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                 Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFont(pt::gui::FormFont(11));
  CreateControls();
  ConnectControls();
  RestoreState(ControlState{});  // the start-up state before any ShowSettings
  // 427 x 449 as designed; a wider font (DejaVu where Arial's metrics are
  // missing) grows the dialog instead of cutting its captions.
  setFixedSize(QSize(427, 449).expandedTo(layout()->totalMinimumSize()));
}

TOptionsForm::~TOptionsForm() = default;

void TOptionsForm::CreateControls() {
  // Left column.
  gbCipher = Named(new QGroupBox(QStringLiteral("Startup Encryption Method "), this), "gbCipher");
  rbNone = Coloured(Named(new QRadioButton(QStringLiteral("None"), gbCipher), "rbNone"),
                    QColor(0xFF, 0x00, 0x00));
  rbBlowfish = Coloured(Named(new QRadioButton(QStringLiteral("Blowfish"), gbCipher), "rbBlowfish"),
                        QColor(0x80, 0x80, 0x00));
  rbTwofish = Coloured(
      Named(new QRadioButton(QStringLiteral("Twofish (Securest Method)"), gbCipher), "rbTwofish"),
      QColor(0x00, 0x80, 0x00));
  rbRijndael = Coloured(
      Named(new QRadioButton(QStringLiteral("Rijndael (AES)"), gbCipher), "rbRijndael"),
      QColor(0x00, 0x80, 0x80));
  QRadioButton* const ciphers[] = {rbNone, rbBlowfish, rbTwofish, rbRijndael};
  for (std::size_t i = 0; i < std::size(ciphers); ++i)
    ciphers[i]->setToolTip(QString::fromUtf8(pt::window::kCipherOptionTips[i]));
  auto* lc = GroupLayout(gbCipher);
  for (QWidget* w : {rbNone, rbBlowfish, rbTwofish, rbRijndael}) lc->addWidget(w);

  gbAutomatic = Named(new QGroupBox(QStringLiteral("Automatic conversion ..."), this), "gbAutomatic");
  cbExit = Named(new QCheckBox(QStringLiteral("Exit after Conversion"), gbAutomatic), "cbExit");
  cbShow = Named(new QCheckBox(QStringLiteral("Show Bitmap"), gbAutomatic), "cbShow");
  auto* la = GroupLayout(gbAutomatic);
  la->addWidget(cbExit);
  la->addWidget(cbShow);

  gbKeys = Named(new QGroupBox(QStringLiteral("Passwords and Keys"), this), "gbKeys");
  lKeyMode = Named(new QLabel(QStringLiteral("Default Encrypton Key Mode"), gbKeys), "lKeyMode");
  rbASCII = Named(new QRadioButton(QStringLiteral("ASCII"), gbKeys), "rbASCII");
  rbHex = Named(new QRadioButton(QStringLiteral("Hex"), gbKeys), "rbHex");
  lHide = Named(new QLabel(QStringLiteral("While entering ASCII Key..."), gbKeys), "lHide");
  cbHide = Named(new QCheckBox(QStringLiteral("Hide Password"), gbKeys), "cbHide");
  auto* lk = GroupLayout(gbKeys);
  lk->addWidget(lKeyMode);
  auto* modes = new QHBoxLayout;
  modes->addWidget(rbASCII);
  modes->addWidget(rbHex);
  modes->addStretch(1);
  lk->addLayout(modes);
  lk->addWidget(lHide);
  lk->addWidget(cbHide);

  gbMisc = Named(new QGroupBox(QStringLiteral("Misc. Options ..."), this), "gbMisc");
  cbLOG = Named(new QCheckBox(QStringLiteral("Copy LOG View"), gbMisc), "cbLOG");
  GroupLayout(gbMisc)->addWidget(cbLOG);

  // Right column.
  gbCompression = Named(new QGroupBox(QStringLiteral("Use compressed File ... "), this), "gbCompression");
  rbNever = Named(new QRadioButton(QStringLiteral("Never"), gbCompression), "rbNever");
  rbSensibly = Named(new QRadioButton(QStringLiteral("If sensibly"), gbCompression), "rbSensibly");
  rbSmart = Named(new QRadioButton(QStringLiteral("If Extension differs from"), gbCompression), "rbSmart");
  eExtensions = Named(new QLineEdit(gbCompression), "eExtensions");
  rbEver = Named(new QRadioButton(QStringLiteral("Always"), gbCompression), "rbEver");
  auto* lm = GroupLayout(gbCompression);
  lm->addWidget(rbNever);
  lm->addWidget(rbSensibly);
  lm->addWidget(rbSmart);
  auto* ext = new QHBoxLayout;
  ext->setContentsMargins(20, 0, 0, 0);
  ext->addWidget(eExtensions);
  lm->addLayout(ext);
  lm->addWidget(rbEver);

  gbLevel = Named(new QGroupBox(QStringLiteral("Compression Level "), this), "gbLevel");
  rbDefault = Named(new QRadioButton(QStringLiteral("Default"), gbLevel), "rbDefault");
  rbDefined = Named(new QRadioButton(QStringLiteral("User Defined"), gbLevel), "rbDefined");
  lNone = Named(new QLabel(QStringLiteral("None"), gbLevel), "lNone");
  tbCompression = Named(new QSlider(Qt::Horizontal, gbLevel), "tbCompression");
  tbCompression->setRange(0, 9);
  tbCompression->setSingleStep(1);
  tbCompression->setPageStep(1);
  tbCompression->setTickInterval(1);
  tbCompression->setTickPosition(QSlider::TicksBelow);
  lMax = Named(new QLabel(QStringLiteral("Max"), gbLevel), "lMax");
  auto* ll = GroupLayout(gbLevel);
  auto* levelModes = new QHBoxLayout;
  levelModes->addWidget(rbDefault);
  levelModes->addWidget(rbDefined);
  levelModes->addStretch(1);
  ll->addLayout(levelModes);
  auto* slider = new QHBoxLayout;
  slider->addWidget(lNone);
  slider->addWidget(tbCompression, 1);
  slider->addWidget(lMax);
  ll->addLayout(slider);

  gbTarget = Named(new QGroupBox(QStringLiteral("Target Filename is Source Filename with ..."), this),
                   "gbTarget");
  rbReplaceLast = Named(
      new QRadioButton(QStringLiteral("LAST Extension replaced by \".bmp\" "), gbTarget),
      "rbReplaceLast");
  rbReplaceAll = Named(
      new QRadioButton(QStringLiteral("ALL Extensions replaced by \".bmp\""), gbTarget),
      "rbReplaceAll");
  rbAppend = Named(new QRadioButton(QStringLiteral("Appended \".bmp\" Extension"), gbTarget),
                   "rbAppend");
  auto* lt = GroupLayout(gbTarget);
  lt->addWidget(rbReplaceLast);
  lt->addWidget(rbReplaceAll);
  lt->addWidget(rbAppend);

  bOK = Named(new QPushButton(QStringLiteral("OK"), this), "bOK");
  bOK->setDefault(true);
  bCancel = Named(new QPushButton(QStringLiteral("Cancel"), this), "bCancel");

  const std::initializer_list<QAbstractButton*> marked = {
      rbNone,    rbBlowfish, rbTwofish, rbRijndael,    cbExit,       cbShow,   rbASCII,
      rbHex,     cbHide,     cbLOG,     rbNever,       rbSensibly,   rbSmart,  rbEver,
      rbDefault, rbDefined,  rbReplaceLast, rbReplaceAll, rbAppend, bOK,      bCancel};
  for (QAbstractButton* button : marked)
    pt::gui::SetMnemonic(button, pt::window::kOptionsMnemonics);

  auto* left = new QVBoxLayout;
  left->addWidget(gbCipher);
  left->addWidget(gbAutomatic);
  left->addWidget(gbKeys);
  left->addWidget(gbMisc);
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(gbCompression);
  right->addWidget(gbLevel);
  right->addWidget(gbTarget);
  right->addStretch(1);
  auto* columns = new QHBoxLayout;
  columns->addLayout(left, 0);
  columns->addLayout(right, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(bOK);
  buttons->addWidget(bCancel);
  auto* all = new QVBoxLayout(this);
  all->setContentsMargins(8, 8, 8, 8);
  all->addLayout(columns, 1);
  all->addLayout(buttons);

}

void TOptionsForm::ConnectControls() {
  for (QRadioButton* rb : {rbNever, rbSensibly, rbSmart, rbEver})
    connect(rb, &QRadioButton::clicked, this, &TOptionsForm::rbNeverClick);
  for (QRadioButton* rb : {rbDefault, rbDefined})
    connect(rb, &QRadioButton::clicked, this, &TOptionsForm::rbDefinedClick);
  connect(bOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TOptionsForm::rbNeverClick() {
  const pt::window::OptionsEnabling e = pt::window::EnablingOf(CaptureState());
  rbDefault->setEnabled(e.levelRadios);
  rbDefined->setEnabled(e.levelRadios);
  rbDefinedClick();
  eExtensions->setEnabled(e.extensions);
}

void TOptionsForm::rbDefinedClick() {
  const bool level = pt::window::EnablingOf(CaptureState()).slider;
  lNone->setEnabled(level);
  lMax->setEnabled(level);
  tbCompression->setEnabled(level);
}

void TOptionsForm::FormActivate() { rbNeverClick(); }

void TOptionsForm::ShowSettings(const pt::Settings& s) {
  ControlState c = CaptureState();
  pt::window::ShowSettings(s, c);
  RestoreState(c);
}

void TOptionsForm::ReadSettings(pt::Settings& s) const {
  pt::window::CopyBack(CaptureState(), s);
}

// The radio groups in the order of OptionsControls' indices.
enum { kCipherGroup, kCompressionGroup, kLevelGroup, kKeyModeGroup, kTargetGroup };

std::vector<QRadioButton*> TOptionsForm::Group(int which) const {
  switch (which) {
    case kCipherGroup:
      return {rbNone, rbBlowfish, rbTwofish, rbRijndael};
    case kCompressionGroup:
      return {rbNever, rbSensibly, rbSmart, rbEver};
    case kLevelGroup:
      return {rbDefault, rbDefined};
    case kKeyModeGroup:
      return {rbASCII, rbHex};
    default:
      return {rbReplaceLast, rbReplaceAll, rbAppend};
  }
}

namespace {

int Checked(const std::vector<QRadioButton*>& group) {
  for (std::size_t i = 0; i < group.size(); ++i)
    if (group[i]->isChecked()) return static_cast<int>(i);
  return pt::window::kNone;
}

// Exclusivity off while setting, so a group may come back with no button
// checked, as it may have been before.
void SetChecked(const std::vector<QRadioButton*>& group, int index) {
  for (std::size_t i = 0; i < group.size(); ++i) {
    group[i]->setAutoExclusive(false);
    group[i]->setChecked(static_cast<int>(i) == index);
    group[i]->setAutoExclusive(true);
  }
}

}  // namespace

TOptionsForm::ControlState TOptionsForm::CaptureState() const {
  ControlState c;
  c.cipher = Checked(Group(kCipherGroup));
  c.compression = Checked(Group(kCompressionGroup));
  c.level = Checked(Group(kLevelGroup));
  c.keyMode = Checked(Group(kKeyModeGroup));
  c.target = Checked(Group(kTargetGroup));
  c.slider = tbCompression->value();
  c.exitAfterConversion = cbExit->isChecked();
  c.showBitmap = cbShow->isChecked();
  c.hidePassword = cbHide->isChecked();
  c.copyLog = cbLOG->isChecked();
  c.extensions = eExtensions->text().toLatin1().toStdString();
  return c;
}

void TOptionsForm::RestoreState(const ControlState& c) {
  SetChecked(Group(kCipherGroup), c.cipher);
  SetChecked(Group(kCompressionGroup), c.compression);
  SetChecked(Group(kLevelGroup), c.level);
  SetChecked(Group(kKeyModeGroup), c.keyMode);
  SetChecked(Group(kTargetGroup), c.target);
  tbCompression->setValue(c.slider);
  cbExit->setChecked(c.exitAfterConversion);
  cbShow->setChecked(c.showBitmap);
  cbHide->setChecked(c.hidePassword);
  cbLOG->setChecked(c.copyLog);
  eExtensions->setText(QString::fromLatin1(c.extensions.c_str()));
  rbNeverClick();
}

void TOptionsForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (QScreen* s = screen()) {
    const QRect area = s->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  FormActivate();
}
