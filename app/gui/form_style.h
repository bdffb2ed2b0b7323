// Fonts shared by the windows and the key dialog. Family names are the classic ones; fontconfig
// maps them to metric-compatible faces where they are missing.
#pragma once

#include <QAbstractButton>
#include <QFont>
#include <span>

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

// Puts the button's Alt+letter from the dialog's table (found by the
// button's object name) into its caption; the caption reads the same
// (pt::window::CaptionText gives it back unmarked).
inline void SetMnemonic(QAbstractButton* button, std::span<const pt::window::Mnemonic> table) {
  button->setText(QString::fromStdString(pt::window::MarkedCaption(
      table, button->objectName().toStdString(), button->text().toStdString())));
}

}  // namespace pt::gui
