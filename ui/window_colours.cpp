#include "window_colours.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QMenu>
#include <algorithm>
#include <cmath>
#include <utility>

namespace korvane {

namespace {

double Luminance(const QColor& color) {
    const auto channel = [](double value) {
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
           0.0722 * channel(color.blueF());
}

QColor Mix(const QColor& from, const QColor& to, double share) {
    return QColor::fromRgbF(
        static_cast<float>(from.redF() + (to.redF() - from.redF()) * share),
        static_cast<float>(from.greenF() + (to.greenF() - from.greenF()) * share),
        static_cast<float>(from.blueF() + (to.blueF() - from.blueF()) * share));
}

// Sets the readable colours on the window it watches at each change of the application's
// palette, before the window takes the new palette in.
class ReadableColours final : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ApplicationPaletteChange) {
            static_cast<QWidget*>(watched)->setPalette(ReadablePalette(QApplication::palette()));
        }
        return false;
    }
};

}  // namespace

double Contrast(const QColor& first, const QColor& second) {
    const double one = Luminance(first);
    const double other = Luminance(second);
    return (std::max(one, other) + 0.05) / (std::min(one, other) + 0.05);
}

QPalette ReadablePalette(QPalette palette) {
    // Each text role and the background it is drawn on.
    constexpr std::pair<QPalette::ColorRole, QPalette::ColorRole> kPairs[] = {
        {QPalette::WindowText, QPalette::Window},
        {QPalette::Text, QPalette::Base},
        // Captions in read-only text boxes without a base of their own stand on the window.
        {QPalette::Text, QPalette::Window},
        {QPalette::PlaceholderText, QPalette::Window},
        {QPalette::ButtonText, QPalette::Button},
        {QPalette::HighlightedText, QPalette::Highlight},
        {QPalette::PlaceholderText, QPalette::Base},
        {QPalette::ToolTipText, QPalette::ToolTipBase}};
    for (const QPalette::ColorGroup group :
         {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (const auto& [text_role, background_role] : kPairs) {
            const QColor text = palette.color(group, text_role);
            const QColor background = palette.color(group, background_role);
            if (Contrast(text, background) >= kLeastContrast) {
                continue;
            }
            const QColor end = Contrast(Qt::black, background) > Contrast(Qt::white, background)
                                   ? QColor(Qt::black)
                                   : QColor(Qt::white);
            // The least step towards the end that is enough, so that the text keeps as much
            // of its own colour (a disabled text stays greyer than an enabled one).
            QColor readable = end;
            for (int step = 1; step < 20; ++step) {
                const QColor mixed = Mix(text, end, step / 20.0);
                if (Contrast(mixed, background) >= kLeastContrast) {
                    readable = mixed;
                    break;
                }
            }
            palette.setColor(group, text_role, readable);
        }
    }
    return palette;
}

void KeepReadable(QWidget& window) {
    window.setPalette(ReadablePalette(QApplication::palette()));
    window.installEventFilter(new ReadableColours(&window));
}

void TakeParentColours(QWidget& window) {
    window.setAttribute(Qt::WA_WindowPropagation);
    window.setPalette(QPalette());  // resolved anew, now from the parent
}

void UseActionsAsContextMenu(QAbstractScrollArea* view) {
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(view, &QWidget::customContextMenuRequested, view, [view](QPoint place) {
        QMenu menu(view);
        TakeParentColours(menu);
        menu.addActions(view->actions());
        menu.exec(view->viewport()->mapToGlobal(place));
    });
}

}  // namespace korvane
