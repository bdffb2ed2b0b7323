#include "app/gui/program_icon.h"

#include <QString>

namespace pt::gui {

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icons/pixeltuck-%1.png").arg(size), QSize(size, size));
  return icon;
}

QPixmap ProgramPixmap(int size, qreal devicePixelRatio) {
  return ProgramIcon().pixmap(QSize(size, size), devicePixelRatio);
}

}  // namespace pt::gui
