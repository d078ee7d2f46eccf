// Colours the window draws its texts in: every text at least 4.5:1 against what it stands
// on, whatever colour scheme the desktop hands the window.
#pragma once

#include <QColor>
#include <QPalette>

class QAbstractScrollArea;
class QWidget;

namespace korvane {

// The least contrast of a text against its background.
constexpr double kLeastContrast = 4.5;

// The contrast ratio of two colours, from 1 (the same) to 21 (black on white).
double Contrast(const QColor& first, const QColor& second);

// `palette` with each text colour that stands too faint on its background moved towards
// black or white, whichever reads better, until it reaches the least contrast; in the
// active, inactive and disabled groups alike.
QPalette ReadablePalette(QPalette palette);

// Gives `window` the readable colours of the application's palette, now and again each
// time the desktop's colour scheme changes.
void KeepReadable(QWidget& window);

// A menu or message box is a window of its own, drawn in the desktop's colours unless it
// takes those of the widget it belongs to: the readable colours of the main window.
void TakeParentColours(QWidget& window);

// Opens the actions of `view` as its context menu, in the readable colours.
void UseActionsAsContextMenu(QAbstractScrollArea* view);

}  // namespace korvane
