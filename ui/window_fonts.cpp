#include "window_fonts.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QWidget>

namespace korvane {

namespace {

QFont Styled(QFont font, int pixel_size, bool bold, bool italic) {
    font.setPixelSize(pixel_size);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

bool Fits(const QFont& font, const QString& text, int width) {
    return QFontMetrics(font).horizontalAdvance(text) <= width;
}

}  // namespace

QFont SansFont(int pixel_size, bool bold, bool italic) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    return Styled(font, pixel_size, bold, italic);
}

QFont SerifFont(int pixel_size, bool bold, bool italic) {
    QFont font(QStringLiteral("serif"));
    font.setStyleHint(QFont::Serif);
    return Styled(font, pixel_size, bold, italic);
}

QFont FixedFont(int pixel_size) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(pixel_size);
    return font;
}

QFont FittingFont(QFont font, const QString& text, int width, int min_pixel_size) {
    if (Fits(font, text, width)) {
        return font;
    }
    font.setStretch(QFont::Condensed);
    while (!Fits(font, text, width) && font.pixelSize() > min_pixel_size) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    return font;
}

void GrowToFit(QWidget* widget, const QString& text, int chrome, bool centred) {
    const int needed = widget->fontMetrics().horizontalAdvance(text) + chrome;
    const int growth = needed - widget->width();
    if (growth > 0) {
        QRect place = widget->geometry();
        place.setWidth(needed);
        place.moveLeft(centred ? place.left() - growth / 2 : place.left());
        widget->setGeometry(place);
    }
}

int ComboTextRoom(const QComboBox* combo) {
    QStyleOptionComboBox option;
    option.initFrom(combo);
    return combo->style()
        ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
        .width();
}

}  // namespace korvane
