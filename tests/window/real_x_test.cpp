// The window on a real X server (Xvfb, openbox), given real X input through xdotool while
// a run over an archive of many images holds the controls: none of it acts, then or later.
#include "help_window.h"
#include "window_harness.h"

using namespace korvane;
using namespace korvane::testing;

namespace {

// xdotool's arguments for a click of the left button at the middle of `widget`.
QString ClickOn(const QWidget* widget) {
    const QPoint at = widget->mapToGlobal(widget->rect().center());
    return QStringLiteral("mousemove --sync %1 %2 click 1 ").arg(at.x()).arg(at.y());
}

void Xdotool(const QString& arguments) {
    QVERIFY(std::system(("xdotool " + arguments).toLocal8Bit().constData()) == 0);
}

}  // namespace

class RealXTest : public QObject {
    Q_OBJECT

  private slots:
    void inputDuringARunNeverActs() {
        TempDir dir;
        for (int i = 0; i < 1500; ++i) {
            std::filesystem::copy_file(kSamples / "ODD_LAYOUT.ATR",
                                       dir / QString::asprintf("%04d.atr", i).toStdString());
        }
        CopySamples(dir.path(), {{"TOO_LONG.ATR", "long.atr"}});  // a repair would back it up
        const auto before = Snapshot(dir.path());
        WatchedFiles files;
        WindowHarness h(dir.path(), &files);
        const MainControls& c = h.controls();
        QVERIFY(QTest::qWaitForWindowActive(&h.window()));
        // A question of the run is answered with Escape; any other dialog (as Ctrl+O's) is
        // closed and told.
        QStringList dialogs;
        QTimer closer;
        QPointer<QDialog> answered;
        connect(&closer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == answered) {
                return;
            }
            if (qobject_cast<QMessageBox*>(dialog) != nullptr && dialog->isActiveWindow()) {
                answered = dialog;
                dialogs << dialog->windowTitle();
                Xdotool("key Escape");
            } else if (dialog != nullptr) {
                dialogs << dialog->windowTitle();
                dialog->reject();
            }
        });
        closer.start(20);
        // A second click on "Start Test", one on the disabled "Start Repair", the converter's
        // and the folder dialog's shortcuts, F1 and a close request by the window manager,
        // all while the second image is read.
        int runs = 0;
        files.on_open = [&](const std::filesystem::path& path) {
            runs += path.filename() == "0000.atr";
            if (path.filename() == "0001.atr") {
                Xdotool(ClickOn(c.cmd_start_test) + ClickOn(c.cmd_start_repair) +
                        "key ctrl+x key F1 key ctrl+o key alt+F4");
            }
        };
        Xdotool(ClickOn(c.cmd_start_test));
        QTRY_COMPARE_WITH_TIMEOUT(h.state.last_run_count, 1501, 60000);
        QTest::qWait(1500);
        QCOMPARE(runs, 1);
        QCOMPARE(Snapshot(dir.path()), before);
        QVERIFY(c.Cmd_start_conversion->isHidden() && h.window().help_window() == nullptr);
        QCOMPARE(dialogs, QStringList());
        // The close request was refused, with a word why.
        QVERIFY(h.window().isVisible());
        QCOMPARE(h.window().statusBar()->currentMessage(),
                 QStringLiteral("The window stays open while a run is in progress"));

        // The run's own question takes its answer from the keyboard: Escape, Cancel.
        CopySamples(dir / "one", {{"TOO_LONG.ATR", "long.atr"}});
        const auto one = Snapshot(dir / "one");
        QVERIFY(h.window().OpenDirectory(dir / "one"));
        h.window().SetPrompt(nullptr);
        Xdotool(ClickOn(c.cmd_start_repair));
        QTRY_COMPARE(dialogs.size(), 1);
        QTRY_VERIFY(c.cmd_start_repair->isEnabled());
        QVERIFY(Snapshot(dir / "one").at("long.atr") == one.at("long.atr"));
    }
};

QTEST_MAIN(RealXTest)
#include "real_x_test.moc"
