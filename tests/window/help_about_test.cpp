// The About box and the help: the box's modality and its ways out; the help viewer with
// and without the compiled help file.
#include <QAction>
#include <QGuiApplication>
#include <QPushButton>
#include <QTextBlock>
#include <QtTest>
#include <functional>

#include "about_box.h"
#include "chm_archive.h"
#include "help_window.h"
#include "program_location.h"
#include "report_text.h"
#include "window_harness.h"

using namespace korvane;
using namespace korvane::testing;

namespace {

const std::filesystem::path kHelpFile = KORVANE_HELP_FILE;

}  // namespace

class HelpAboutTest : public QObject {
    Q_OBJECT

  private slots:
    void aboutBoxOpensAndClosesTwice();
    void helpWithoutTheFileNamesThePath();
    void helpOpensTheDefaultPageAndFollowsLinks();
};

void HelpAboutTest::aboutBoxOpensAndClosesTwice() {
    TempDir dir;
    WindowHarness h(dir.path());
    // Enter, Escape and the close box each close it, each time opened from the menu. The
    // main window is out of use while the box is open, and back in use after.
    for (const int way_out : {int(Qt::Key_Return), int(Qt::Key_Escape), 0}) {
        h.Trigger("Aboutmenu");
        QPointer<AboutBox> box = h.window().about_box();
        QCOMPARE(QGuiApplication::modalWindow(), box->windowHandle());
        way_out != 0 ? QTest::keyClick(box, Qt::Key(way_out)) : void(box->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(box.isNull() && QGuiApplication::modalWindow() == nullptr);
    }
}

void HelpAboutTest::helpWithoutTheFileNamesThePath() {
    TempDir dir;
    WindowHarness h(dir.path());
    // The test program's own help file would be help_about_test.CHM beside it.
    const std::filesystem::path expected = ProgramDirectory() / "help_about_test.CHM";
    QVERIFY(!std::filesystem::exists(expected));
    h.Trigger("Onlinehelp");
    HelpWindow* help = h.window().help_window();
    QVERIFY(help != nullptr && help->isVisible());
    QCOMPARE(help->browser()->toPlainText(),
             QStringLiteral("Cannot open ") + QString::fromStdString(DisplayName(expected)));

    // The help window goes when the main window is closed.
    h.Trigger("Exitmenu");
    QVERIFY(!h.window().isVisible() && !help->isVisible());
}

void HelpAboutTest::helpOpensTheDefaultPageAndFollowsLinks() {
    HelpWindow help;
    help.Open(kHelpFile);
    QTextBrowser* browser = help.browser();
    QCOMPARE(browser->documentTitle(), QStringLiteral("Korvane Tool Suite Help"));
    // Links between pages are relative to the page, some with an anchor.
    browser->setSource(QUrl("check.html"));
    QCOMPARE(browser->documentTitle(), QStringLiteral("ATR File Check and Repair"));
    browser->setSource(QUrl("report.html#convert"));
    QCOMPARE(browser->documentTitle(), QStringLiteral("The report lines"));
    // Opening the file again starts at its default page.
    help.Open(kHelpFile);
    QCOMPARE(browser->source(), QUrl("chm:/index.html"));
    QVERIFY(!browser->isBackwardAvailable());
}

QTEST_MAIN(HelpAboutTest)
#include "help_about_test.moc"
