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
#include <cstdlib>

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

void Check(QAbstractButton* b) { b->setChecked(true); }

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
  rbNone->setToolTip(
      QStringLiteral("Choose this only if you want to transfer no secure information"));
  rbBlowfish->setToolTip(QStringLiteral(
      "Blowfish is more secure than DES but less secure than Rijndael or Twofish"));
  rbTwofish->setToolTip(QStringLiteral(
      "Twofish is the most secure synchronous encryption Method known today"));
  rbRijndael->setToolTip(QStringLiteral(
      "Rijndael is choosen as the American Encryption Standard Method (its faster but "
      "no so secure than Twofish)"));
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

  // Start-up state before the first ShowSettings.
  Check(rbTwofish);
  Check(rbSensibly);
  Check(rbDefault);
  Check(rbASCII);
  Check(rbReplaceLast);
  tbCompression->setValue(1);
  eExtensions->setText(QString::fromLatin1(pt::kDefaultCompressedExtensions));
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
  const bool compress = !rbNever->isChecked();
  rbDefault->setEnabled(compress);
  rbDefined->setEnabled(compress);
  rbDefinedClick();
  eExtensions->setEnabled(rbSmart->isChecked());
}

void TOptionsForm::rbDefinedClick() {
  const bool level = !rbNever->isChecked() && rbDefined->isChecked();
  lNone->setEnabled(level);
  lMax->setEnabled(level);
  tbCompression->setEnabled(level);
}

void TOptionsForm::FormActivate() {
  eExtensions->setEnabled(rbSmart->isChecked());
  rbNeverClick();
}

void TOptionsForm::ShowSettings(const pt::Settings& s) {
  QRadioButton* const ciphers[] = {rbNone, rbBlowfish, rbTwofish, rbRijndael};
  if (s.startupCipher >= 0 && s.startupCipher <= 3) Check(ciphers[s.startupCipher]);
  QRadioButton* const modes[] = {rbNever, rbSensibly, rbSmart, rbEver};
  if (s.compressionMode >= 0 && s.compressionMode <= 3) Check(modes[s.compressionMode]);
  tbCompression->setValue(std::abs(s.compressionLevel));
  Check(s.compressionLevel >= 0 ? rbDefined : rbDefault);
  cbShow->setChecked(s.showBitmap);
  cbExit->setChecked(s.exitAfterConversion);
  cbLOG->setChecked(s.copyLog);
  cbHide->setChecked(s.hidePassword);
  eExtensions->setText(QString::fromLatin1(s.compressedExtensions.c_str()));
  if (s.keyMode == 1) Check(rbASCII);
  if (s.keyMode == 2) Check(rbHex);
  if (s.targetNameRule == 2) {
    Check(rbReplaceAll);
  } else if (s.targetNameRule == 3) {
    Check(rbAppend);
  } else {
    Check(rbReplaceLast);
  }
}

void TOptionsForm::ReadSettings(pt::Settings& s) const {
  const QRadioButton* const ciphers[] = {rbNone, rbBlowfish, rbTwofish, rbRijndael};
  for (int i = 0; i < 4; ++i)
    if (ciphers[i]->isChecked()) s.startupCipher = i;
  const QRadioButton* const modes[] = {rbNever, rbSensibly, rbSmart, rbEver};
  for (int i = 0; i < 4; ++i)
    if (modes[i]->isChecked()) s.compressionMode = i;
  s.showBitmap = cbShow->isChecked();
  s.exitAfterConversion = cbExit->isChecked();
  s.copyLog = cbLOG->isChecked();
  s.hidePassword = cbHide->isChecked();
  if (rbASCII->isChecked()) {
    s.keyMode = 1;
  } else if (rbHex->isChecked()) {
    s.keyMode = 2;
  } else {
    s.keyMode = 3;
  }
  s.compressedExtensions = eExtensions->text().toLatin1().toStdString();
  if (rbDefined->isChecked()) s.compressionLevel = tbCompression->value();
  if (rbDefault->isChecked()) s.compressionLevel = -tbCompression->value();
  if (rbReplaceLast->isChecked()) s.targetNameRule = 1;
  if (rbReplaceAll->isChecked()) s.targetNameRule = 2;
  if (rbAppend->isChecked()) s.targetNameRule = 3;
}

std::vector<QAbstractButton*> TOptionsForm::Checkables() const {
  return {rbNone,  rbBlowfish, rbTwofish, rbRijndael, cbExit,        cbShow,
          rbNever, rbSensibly, rbSmart,   rbEver,     rbDefault,     rbDefined,
          rbASCII, rbHex,      cbHide,    cbLOG,      rbReplaceLast, rbReplaceAll,
          rbAppend};
}

TOptionsForm::ControlState TOptionsForm::CaptureState() const {
  ControlState st;
  for (const QAbstractButton* b : Checkables()) st.checked.push_back(b->isChecked());
  st.slider = tbCompression->value();
  st.extensions = eExtensions->text();
  return st;
}

void TOptionsForm::RestoreState(const ControlState& state) {
  const auto buttons = Checkables();
  if (state.checked.size() != buttons.size()) return;
  // Exclusivity off while restoring, so a group may come back with no
  // button checked, as it may have been before.
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const bool radio = qobject_cast<QRadioButton*>(buttons[i]) != nullptr;
    if (radio) buttons[i]->setAutoExclusive(false);
    buttons[i]->setChecked(state.checked[i]);
    if (radio) buttons[i]->setAutoExclusive(true);
  }
  tbCompression->setValue(state.slider);
  eExtensions->setText(state.extensions);
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
