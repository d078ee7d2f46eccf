// window-bench: how fast the main window is. Three measurements:
//   check DIR    check runs in the window, from the click on "Start Test" to the last
//                report line shown, against korvane-cli check over the same directory, in
//                rounds of one each (wall-clock and CPU time, medians of the ratios);
//   startup [DIR] process start to the main window's first paint; with DIR, the window
//                opened on DIR as `korvane DIR` opens it, counting the listings of its files;
//   switch DIR   each tool mode switch on DIR, the file list listed anew and repainted;
//   report N     N report lines appended the way an engine appends them, then the
//                report scrolled to its end and page by page back up.
// Also: make-images DIR N writes N small images (every tenth one failing) to DIR.
#include <sys/resource.h>
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
#include <functional>
#include <string>
#include <vector>

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

// CPU seconds (user and system) of this process, or of its waited-for children.
double CpuSeconds(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Rounds of korvane-cli check and then the window's "Start Test" over the same directory,
// each round a pair: wall-clock time and CPU time of each, and the medians of the rounds'
// ratios.
int BenchCheck(const std::filesystem::path& directory, const char* cli, int rounds) {
    std::filesystem::current_path(directory);
    korvane::ProgramState state;
    korvane::PosixFileSystem fs;
    korvane::MainWindow window(state, fs);
    window.Form_Load();
    window.show();
    SettleDown();
    std::vector<double> wall_ratios;
    std::vector<double> cpu_ratios;
    for (int round = 1; round <= rounds; ++round) {
        QElapsedTimer timer;
        const double children_before = CpuSeconds(RUSAGE_CHILDREN);
        timer.start();
        QProcess process;
        process.setStandardOutputFile(QStringLiteral("/dev/null"));
        process.start(QString::fromLocal8Bit(cli),
                      {QStringLiteral("check"), QString::fromStdString(directory.native())});
        if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit) {
            std::fprintf(stderr, "window-bench: %s did not run\n", cli);
            return 2;
        }
        const double cli_seconds = Seconds(timer);
        const double cli_cpu = CpuSeconds(RUSAGE_CHILDREN) - children_before;
        SettleDown();
        const double self_before = CpuSeconds(RUSAGE_SELF);
        timer.start();
        window.controls().cmd_start_test->click();
        // The handler returns with the report up to date; paint it once more.
        window.repaint();
        const double window_seconds = Seconds(timer);
        const double window_cpu = CpuSeconds(RUSAGE_SELF) - self_before;
        wall_ratios.push_back(window_seconds / cli_seconds);
        cpu_ratios.push_back(window_cpu / cli_cpu);
        std::printf(
            "round %d: %s files, %lld report lines; korvane-cli check %.3f s (CPU %.3f s), "
            "window Start Test %.3f s (CPU %.3f s): %.2f x (CPU %.2f x)\n",
            round, window.controls().source_count->text().toLocal8Bit().constData(),
            static_cast<long long>(window.controls().reportlst->LineCount()), cli_seconds, cli_cpu,
            window_seconds, window_cpu, wall_ratios.back(), cpu_ratios.back());
        SettleDown();
    }
    std::printf(
        "check run, median of %d rounds: window Start Test %.2f x the command line "
        "(CPU time %.2f x)\n",
        rounds, Median(wall_ratios), Median(cpu_ratios));
    return 0;
}

// The real file system, counting the listings of a directory's entries.
class CountedListings final : public korvane::PosixFileSystem {
  public:
    int listings = 0;
    korvane::FsStatus ForEachEntry(
        const std::filesystem::path& directory,
        const std::function<void(korvane::DirectoryEntry&)>& each) override {
        ++listings;
        return PosixFileSystem::ForEachEntry(directory, each);
    }
};

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

int BenchStartup(const std::filesystem::path& directory) {
    korvane::ProgramState state;
    CountedListings fs;
    korvane::MainWindow window(state, fs, nullptr, nullptr, directory);
    FirstPaint first_paint;
    window.findChild<QWidget*>(QStringLiteral("client"))->installEventFilter(&first_paint);
    window.Form_Load();
    if (!directory.empty()) {
        window.GoToFolder(directory);
    }
    window.show();
    while (first_paint.seconds < 0) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    std::printf("start to first paint   %.3f s   (%s files, %d listings)\n", first_paint.seconds,
                window.controls().source_count->text().toLocal8Bit().constData(), fs.listings);
    return 0;
}

int BenchSwitch(const std::filesystem::path& directory) {
    korvane::ProgramState state;
    CountedListings fs;
    korvane::MainWindow window(state, fs, nullptr, nullptr, directory);
    window.Form_Load();
    window.show();
    SettleDown();
    std::printf("tool switches on %s files\n",
                window.controls().source_count->text().toLocal8Bit().constData());
    for (const auto& [name, handler] : {std::pair{"converter", &korvane::MainWindow::XEXmenu_Click},
                                        {"check", &korvane::MainWindow::ATRmenu_Click},
                                        {"generator", &korvane::MainWindow::Generatemenu_Click},
                                        {"contents", &korvane::MainWindow::Contentsmenu_Click},
                                        {"check", &korvane::MainWindow::ATRmenu_Click}}) {
        const int before = fs.listings;
        QElapsedTimer timer;
        timer.start();
        (window.*handler)();
        window.repaint();
        std::printf("  to %-10s %.3f s   (%d listings)\n", name, Seconds(timer),
                    fs.listings - before);
    }
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
    if (mode == "check" && (argc == 4 || argc == 5)) {
        return BenchCheck(std::filesystem::absolute(argv[2]),
                          std::filesystem::absolute(argv[3]).c_str(),
                          argc == 5 ? std::stoi(argv[4]) : 7);
    }
    if (mode == "startup" && argc <= 3) {
        return BenchStartup(argc == 3 ? std::filesystem::absolute(argv[2]) : "");
    }
    if (mode == "switch" && argc == 3) {
        return BenchSwitch(std::filesystem::absolute(argv[2]));
    }
    if (mode == "report") {
        return BenchReport(argc > 2 ? std::stoi(argv[2]) : 100000);
    }
    std::fprintf(stderr,
                 "usage: window-bench make-images DIR N | check DIR KORVANE_CLI [ROUNDS] | "
                 "startup [DIR] | switch DIR | report [LINES]\n");
    return 2;
}
