// The About box and the help: the box's texts, its modality and its three ways out; the
// help viewer over the compiled help file, and the help file against its pages.
#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTextBlock>
#include <QtTest>
#include <fstream>
#include <functional>
#include <set>

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
const std::filesystem::path kHelpPages = KORVANE_HELP_PAGES;

// The files that the help project compiles, and its table of contents.
std::vector<std::string> ProjectFiles() {
    std::ifstream project(kHelpPages / "korvane.hhp");
    std::vector<std::string> files = {"toc.hhc"};
    std::string line;
    bool in_files = false;
    while (std::getline(project, line)) {
        if (!line.empty() && line[0] == '[') {
            in_files = line == "[FILES]";
        } else if (in_files && !line.empty()) {
            files.push_back(line);
        }
    }
    return files;
}

// Clicks the first link to `href` in the browser's page.
bool ClickLink(QTextBrowser* browser, const QString& href) {
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isAnchor() && fragment.charFormat().anchorHref() == href) {
                QTextCursor cursor(browser->document());
                cursor.setPosition(fragment.position() + fragment.length() / 2);
                browser->setTextCursor(cursor);
                browser->ensureCursorVisible();
                const QPoint at = browser->cursorRect(cursor).center();
                QTest::mouseClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier, at);
                return true;
            }
        }
    }
    return false;
}

}  // namespace

class HelpAboutTest : public QObject {
    Q_OBJECT

  private slots:
    void aboutBoxOpensAndClosesTwice();
    void helpWithoutTheFileNamesThePath();
    void helpOpensTheDefaultPageAndFollowsLinks();
    void helpFileHoldsExactlyThePages();
};

void HelpAboutTest::aboutBoxOpensAndClosesTwice() {
    TempDir dir;
    WindowHarness h(dir.path());
    // Each way out, each time from the menu: Enter, Escape, the close box, the OK button.
    const std::vector<std::function<void(AboutBox*)>> ways_out = {
        [](AboutBox* box) { QTest::keyClick(box, Qt::Key_Return); },
        [](AboutBox* box) { QTest::keyClick(box, Qt::Key_Escape); },
        [](AboutBox* box) { box->close(); },
        [](AboutBox* box) { box->findChild<QPushButton*>("cmdOK")->click(); },
    };
    for (const auto& way_out : ways_out) {
        h.Trigger("Aboutmenu");
        QPointer<AboutBox> box = h.window().about_box();
        QVERIFY(box != nullptr && box->isVisible());
        QCOMPARE(box->windowTitle(), QStringLiteral("Info zu Korvane Tool Suite"));
        QCOMPARE(box->findChild<QLabel*>("lblTitle")->text(), QStringLiteral("Korvane Tool Suite"));
        QCOMPARE(box->findChild<QLabel*>("lblVersion")->text(), QStringLiteral("Version 2.0.16"));
        QVERIFY(box->findChild<QPushButton*>("cmdOK")->isDefault());
        // The main window is out of use while the box is open, and back in use after.
        QCOMPARE(QGuiApplication::modalWindow(), box->windowHandle());
        QCOMPARE(box->parentWidget(), &h.window());
        way_out(box);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(box.isNull() && h.window().about_box() == nullptr);
        QVERIFY(QGuiApplication::modalWindow() == nullptr);
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

    // Neither is a file that is no compiled help.
    WriteFile(dir / "fake.CHM", Bytes(4096, 0x41));
    help->Open(dir / "fake.CHM");
    QCOMPARE(
        help->browser()->toPlainText(),
        QStringLiteral("Cannot open ") + QString::fromStdString(DisplayName(dir / "fake.CHM")));
}

void HelpAboutTest::helpOpensTheDefaultPageAndFollowsLinks() {
    HelpWindow help;
    help.show();
    help.Open(kHelpFile);
    QTextBrowser* browser = help.browser();
    QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:/index.html")));
    QCOMPARE(browser->documentTitle(), QStringLiteral("Korvane Tool Suite Help"));

    QVERIFY(ClickLink(browser, QStringLiteral("check.html")));
    QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:/check.html")));
    QCOMPARE(browser->documentTitle(), QStringLiteral("ATR File Check and Repair"));
    QVERIFY(browser->toPlainText().contains(QStringLiteral("_org.atr")));

    browser->backward();
    QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:/index.html")));
    browser->setSource(QUrl(QStringLiteral("chm:/convert.html")));
    QVERIFY(ClickLink(browser, QStringLiteral("report.html#convert")));
    QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:/report.html#convert")));
    // Opening the file again starts at its default page.
    help.Open(kHelpFile);
    QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:/index.html")));
    QVERIFY(!browser->isBackwardAvailable());
}

void HelpAboutTest::helpFileHoldsExactlyThePages() {
    const std::unique_ptr<ChmArchive> archive = ChmArchive::Open(kHelpFile);
    QVERIFY(archive != nullptr);
    QCOMPARE(archive->DefaultTopic(), std::string("/index.html"));
    std::set<std::string> expected;
    for (const std::string& name : ProjectFiles()) {
        expected.insert("/" + name);
        const std::optional<QByteArray> stored = archive->Read("/" + name);
        QVERIFY2(stored.has_value(), name.c_str());
        const Bytes page = ReadFile(kHelpPages / name);
        QVERIFY2(*stored == QByteArray(reinterpret_cast<const char*>(page.data()),
                                       static_cast<qsizetype>(page.size())),
                 (name + " differs from docs/help; run docs/help/build-chm.sh").c_str());
    }
    // Every page in the directory is in the project, and nothing else is in the file.
    for (const auto& entry : std::filesystem::directory_iterator(kHelpPages)) {
        if (entry.path().extension() == ".html") {
            QVERIFY2(expected.count("/" + entry.path().filename().native()) == 1,
                     entry.path().c_str());
        }
    }
    const std::vector<std::string> stored = archive->Files();
    std::set<std::string> stored_set(stored.begin(), stored.end());
    stored_set.erase("/_#_README_#_");
    QCOMPARE(stored_set, expected);
}

QTEST_MAIN(HelpAboutTest)
#include "help_about_test.moc"
