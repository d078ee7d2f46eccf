#include "about_box.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "app_icon.h"
#include "program_facts.h"
#include "window_colours.h"
#include "window_fonts.h"

namespace korvane {

namespace {

constexpr int kClientWidth = 400;
constexpr int kClientHeight = 157;
// The etched separator across the box.
constexpr int kSeparatorTop = 120;
constexpr int kIconSize = 32;

template <typename Widget>
Widget* Place(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

}  // namespace

AboutBox::AboutBox(QWidget* main_window)
    : QDialog(main_window, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Shown without a loop of its own, yet the main window takes no input meanwhile.
    setWindowModality(Qt::WindowModal);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(SansFont(kPixels8pt));
    KeepReadable(*this);

    picIcon_ = Place<QLabel>(this, "picIcon", 16, 16, 36, 36);
    picIcon_->setAlignment(Qt::AlignCenter);
    picIcon_->setPixmap(AppIcon().pixmap(kIconSize, kIconSize));
    lblTitle_ = Place<QLabel>(this, "lblTitle", 70, 16, 259, 24);
    lblTitle_->setFont(SansFont(kPixels12pt));
    lblVersion_ = Place<QLabel>(this, "lblVersion", 70, 40, 259, 23);
    lblVersion_->setFont(SansFont(kPixels12pt));
    lblDescription_ = Place<QLabel>(this, "lblDescription", 70, 75, 323, 38);
    lblDescription_->setText(
        QStringLiteral("Checks and repairs ATR disk images, converts XEX files\n"
                       "into bootable ATR images and creates empty ones."));
    lblDescription_->setFont(FittingFont(font(), lblDescription_->text().section('\n', 0, 0),
                                         lblDescription_->width(), kPixels8pt - 2));
    auto* line = Place<QFrame>(this, "Line1", 5, kSeparatorTop, kClientWidth - 10, 2);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    cmdOK_ = Place<QPushButton>(this, "cmdOK", 152, 128, 84, 23);
    cmdOK_->setText(QStringLiteral("OK"));
    cmdOK_->setDefault(true);
    cmdOK_->setAutoDefault(true);
    connect(cmdOK_, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    Form_Load();
}

void AboutBox::Form_Load() {
    const QString title = QString::fromLatin1(kProgramTitle);
    setWindowTitle(QStringLiteral("Info zu ") + title);
    lblVersion_->setText(QStringLiteral("Version %1.%2.%3")
                             .arg(kVersionMajor)
                             .arg(kVersionMinor)
                             .arg(kVersionRevision));
    lblTitle_->setText(title);
}

void AboutBox::cmdOK_Click() {
    // Closing ends the modality, which puts the main window back into use, and discards
    // the box (it is deleted on close).
    accept();
}

void AboutBox::reject() {
    // Esc and the close box do what OK does.
    cmdOK_Click();
}

}  // namespace korvane
