#include "app_icon.h"

#ifdef KORVANE_HAVE_QTSVG
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#endif

// The icon lives in the window library's resources, which a static library has to
// register itself.
static void RegisterIconResource() {
    Q_INIT_RESOURCE(korvane);
}

namespace korvane {

namespace {

constexpr const char* kIconResource = ":/korvane/korvane.svg";

}  // namespace

QIcon AppIcon() {
    static const bool registered = (RegisterIconResource(), true);
    (void)registered;
#ifdef KORVANE_HAVE_QTSVG
    // Rendered here, so the icon needs no image plugin at run time.
    QSvgRenderer renderer{QString::fromLatin1(kIconResource)};
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
#else
    return QIcon(QString::fromLatin1(kIconResource));
#endif
}

}  // namespace korvane
