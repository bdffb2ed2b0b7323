// The program's own icon: window frames, the about box and the disclaimer.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace pt::gui {

// Every drawn size (16 to 256 pixels), so Qt picks a sharp one at any
// scale factor.
QIcon ProgramIcon();

// The icon at `size` logical pixels for a screen of the given scale factor.
QPixmap ProgramPixmap(int size, qreal devicePixelRatio);

}  // namespace pt::gui
