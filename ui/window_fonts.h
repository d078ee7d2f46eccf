// The fonts of the windows. The layout is fixed in pixels, so fonts are set in pixels
// as well: the desktop's scaling then scales both alike.
#pragma once

#include <QFont>
#include <QString>

class QComboBox;

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

// The width in pixels that a combo box leaves for the text of its chosen item.
int ComboTextRoom(const QComboBox* combo);

}  // namespace korvane
