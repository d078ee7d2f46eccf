// Colours the window draws its texts in: every text at least 4.5:1 against what it stands
// on, whatever colour scheme the desktop hands the window.
#pragma once

#include <QColor>
#include <QPalette>

namespace korvane {

// The least contrast of a text against its background.
constexpr double kLeastContrast = 4.5;

// The contrast ratio of two colours, from 1 (the same) to 21 (black on white).
double Contrast(const QColor& first, const QColor& second);

// `palette` with each text colour that stands too faint on its background moved towards
// black or white, whichever reads better, until it reaches the least contrast; in the
// active, inactive and disabled groups alike.
QPalette ReadablePalette(QPalette palette);

}  // namespace korvane
