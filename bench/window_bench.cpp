// window-bench: how fast the main window is. Three measurements:
//   check DIR    a check run in the window, from the click on "Start Test" to the last
//                report line shown, against korvane-cli check over the same directory;
//   startup      process start to the main window's first paint;
//   report N     N report lines appended the way an engine appends them, then the
//                report scrolled to its end and page by page back up.
// Also: make-images DIR N writes N small images (every tenth one failing) to DIR.
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "atr_header.h"
#include "engine_adapters.h"
#include "file_system.h"
#include "main_window.h"
#include "posix_file_system.h"
#include "program_state.h"
#include "report_list.h"

namespace {

double Seconds(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// Seconds since this process was started, from the kernel's record of its start.
double SecondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string field;
    for (int i = 0; i < 22 && stat >> field; ++i) {
    }
    const double start = std::stod(field) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    std::ifstream uptime_file("/proc/uptime");
    double uptime = 0;
    uptime_file >> uptime;
    return uptime - start;
}

// Lets the window get mapped and painted before a measurement starts.
void SettleDown() {
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
}

int MakeImages(const std::filesystem::path& directory, int count) {
    std::filesystem::create_directories(directory);
    // 1 kB of single-density sectors behind the header; every tenth image gets a broken
    // identifier.
    std::string good(16 + 1024, '\0');
    const korvane::AtrHeaderBytes header = korvane::EncodeAtrHeader(1024, 128);
    std::copy(header.begin(), header.end(), good.begin());
    std::string bad = good;
    bad[0] = static_cast<char>(0x92);
    bad[1] = 0x02;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG%05d.ATR", i);
        std::ofstream(directory / name, std::ios::binary) << (i % 10 == 9 ? bad : good);
    }
    std::printf("wrote %d images to %s\n", count, directory.c_str());
    return 0;
}

int BenchCheck(const std::filesystem::path& directory, const char* cli) {
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.setStandardOutputFile(QStringLiteral("/dev/null"));
    process.start(QString::fromLocal8Bit(cli),
                  {QStringLiteral("check"), QString::fromStdString(directory.native())});
    process.waitForFinished(-1);
    const double cli_seconds = Seconds(timer);

    std::filesystem::current_path(directory);
    korvane::ProgramState state;
    korvane::PosixFileSystem fs;
    korvane::MainWindow window(state, fs);
    window.Form_Load();
    window.show();
    SettleDown();
    timer.start();
    window.controls().cmd_start_test->click();
    // The handler returns with the report up to date; paint it once more.
    window.repaint();
    const double window_seconds = Seconds(timer);
    std::printf("check run, %s files, %lld report lines\n",
                window.controls().source_count->text().toLocal8Bit().constData(),
                static_cast<long long>(window.controls().reportlst->LineCount()));
    std::printf("  korvane-cli check    %.3f s\n", cli_seconds);
    std::printf("  window Start Test    %.3f s   (%.2f x the command line)\n", window_seconds,
                window_seconds / cli_seconds);
    return 0;
}

class FirstPaint : public QObject {
  public:
    double seconds = -1;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && seconds < 0) {
            seconds = SecondsSinceProcessStart();
        }
        return QObject::eventFilter(watched, event);
    }
};

int BenchStartup() {
    korvane::ProgramState state;
    korvane::PosixFileSystem fs;
    korvane::MainWindow window(state, fs);
    FirstPaint first_paint;
    window.findChild<QWidget*>(QStringLiteral("client"))->installEventFilter(&first_paint);
    window.Form_Load();
    window.show();
    while (first_paint.seconds < 0) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    std::printf("start to first paint   %.3f s\n", first_paint.seconds);
    return 0;
}

int BenchReport(int lines) {
    korvane::ProgramState state;
    korvane::PosixFileSystem fs;
    korvane::MainWindow window(state, fs);
    window.Form_Load();
    window.show();
    SettleDown();
    korvane::ReportList* report = window.controls().reportlst;
    korvane::RepaintPump pump([&window] { window.SyncRunDisplay(); });
    korvane::ReportListSink sink(*report, pump);

    QElapsedTimer timer;
    timer.start();
    pump.Start();
    for (int i = 0; i < lines; ++i) {
        sink.Append("        Header: Image size          = $16800 bytes (92160 byte) #" +
                    std::to_string(i));
    }
    sink.SelectLast();
    window.SyncRunDisplay();
    report->repaint();
    const double append_seconds = Seconds(timer);

    timer.start();
    report->scrollToTop();
    report->repaint();
    report->scrollToBottom();
    report->repaint();
    const double jump_seconds = Seconds(timer);

    constexpr int kPages = 200;
    timer.start();
    for (int page = 0; page < kPages; ++page) {
        report->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
        report->repaint();
    }
    const double page_seconds = Seconds(timer) / kPages;
    std::printf("report of %d lines\n", lines);
    std::printf("  append, shown, last selected   %.3f s\n", append_seconds);
    std::printf("  top and back to the end        %.1f ms\n", jump_seconds * 1000);
    std::printf("  one page up, repainted         %.2f ms\n", page_seconds * 1000);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make-images" && argc == 4) {
        return MakeImages(argv[2], std::stoi(argv[3]));
    }
    if (mode == "check" && argc == 4) {
        return BenchCheck(std::filesystem::absolute(argv[2]), argv[3]);
    }
    if (mode == "startup") {
        return BenchStartup();
    }
    if (mode == "report") {
        return BenchReport(argc > 2 ? std::stoi(argv[2]) : 100000);
    }
    std::fprintf(stderr,
                 "usage: window-bench make-images DIR N | check DIR KORVANE_CLI | startup | "
                 "report [LINES]\n");
    return 2;
}
