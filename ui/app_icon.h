// The program's icon, drawn as SVG: the window icon, the About box's picture and the
// desktop entry's icon.
#pragma once

#include <QIcon>

namespace korvane {

QIcon AppIcon();

}  // namespace korvane
