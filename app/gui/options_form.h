// The options dialog: the only editor of Settings. The main window fills it,
// runs it and copies it back (TpixelTuck_Form::mOptionsClick).
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "app/window/window_logic.h"
#include "carrier/settings.h"

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

class TOptionsForm : public QDialog {
  Q_OBJECT

 public:
  // Every control state the dialog can be put back to after Cancel.
  using ControlState = pt::window::OptionsControls;

  explicit TOptionsForm(QWidget* parent = nullptr);
  ~TOptionsForm() override;

  // Puts the settings into the controls (pt::window::ShowSettings).
  void ShowSettings(const pt::Settings& s);
  // Copies the controls back into s after OK (pt::window::CopyBack).
  void ReadSettings(pt::Settings& s) const;
  // The controls as a plain record, and back.
  ControlState CaptureState() const;
  void RestoreState(const ControlState& state);

  void rbNeverClick();
  void rbDefinedClick();
  void FormActivate();

  QGroupBox* gbCipher;
  QRadioButton* rbNone;
  QRadioButton* rbBlowfish;
  QRadioButton* rbTwofish;
  QRadioButton* rbRijndael;
  QGroupBox* gbAutomatic;
  QCheckBox* cbExit;
  QCheckBox* cbShow;
  QGroupBox* gbCompression;
  QRadioButton* rbNever;
  QRadioButton* rbSensibly;
  QRadioButton* rbSmart;
  QLineEdit* eExtensions;
  QRadioButton* rbEver;
  QGroupBox* gbLevel;
  QRadioButton* rbDefault;
  QRadioButton* rbDefined;
  QLabel* lNone;
  QSlider* tbCompression;
  QLabel* lMax;
  QGroupBox* gbKeys;
  QLabel* lKeyMode;
  QRadioButton* rbASCII;
  QRadioButton* rbHex;
  QLabel* lHide;
  QCheckBox* cbHide;
  QGroupBox* gbMisc;
  QCheckBox* cbLOG;
  QGroupBox* gbTarget;
  QRadioButton* rbReplaceLast;
  QRadioButton* rbReplaceAll;
  QRadioButton* rbAppend;
  QPushButton* bOK;
  QPushButton* bCancel;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CreateControls();
  void ConnectControls();
  std::vector<QRadioButton*> Group(int which) const;
};
