// The fonts of the windows. The layout is fixed in pixels, so fonts are set in pixels
// as well: the desktop's scaling then scales both alike.
#pragma once

#include <QFont>
#include <QString>

class QComboBox;
class QWidget;

namespace korvane {

// Pixel sizes of the point sizes the windows use, at 96 dots per inch.
inline constexpr int kPixels8pt = 11;   // 8.25 pt
inline constexpr int kPixels10pt = 13;  // 9.75 pt
inline constexpr int kPixels12pt = 16;  // 12 pt
inline constexpr int kPixels18pt = 24;  // 18 pt

// The desktop's sans-serif family.
QFont SansFont(int pixel_size, bool bold = false, bool italic = false);
// A serif family.
QFont SerifFont(int pixel_size, bool bold = false, bool italic = false);
// The system's fixed-pitch font.
QFont FixedFont(int pixel_size);

// `font`, narrowed so that `text` fits into `width` pixels: first the condensed cut of
// the family, then smaller sizes, never below `min_pixel_size`.
QFont FittingFont(QFont font, const QString& text, int width, int min_pixel_size);

// Widens `widget` where `text` in the widget's own font needs more than its width less
// `chrome` (indicator, margins, frame), keeping its left edge, or its centre when
// `centred`: a text that does not fit gets a bigger box, never a smaller font.
void GrowToFit(QWidget* widget, const QString& text, int chrome, bool centred = false);

// The width in pixels that a combo box leaves for the text of its chosen item.
int ComboTextRoom(const QComboBox* combo);

}  // namespace korvane
