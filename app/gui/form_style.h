// Fonts shared by the windows and the key dialog. Family names are the classic ones; fontconfig
// maps them to metric-compatible faces where they are missing.
#pragma once

#include <QAbstractButton>
#include <QFont>

#include "app/window/window_logic.h"

namespace pt::gui {

inline QFont FormFont(int pixels) {
  QFont f;
  f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                 QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(pixels);
  return f;
}

inline QFont FixedFont(int pixels, bool bold = false) {
  QFont f;
  f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                 QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
  f.setStyleHint(QFont::TypeWriter);
  f.setFixedPitch(true);
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

// Puts an Alt+letter mnemonic into a button's caption; the caption reads
// the same (pt::window::CaptionText gives it back unmarked).
inline void SetMnemonic(QAbstractButton* button, char letter) {
  button->setText(QString::fromStdString(
      pt::window::WithMnemonic(button->text().toStdString(), letter)));
}

}  // namespace pt::gui
