// korvane-screenshots: renders the main window in its three modes, after a check run, a
// repair run and a Start in a directory that was removed, made larger with a long report,
// the disk-contents tool after a run, the About box and the help window, and the check
// report, the disk-contents report, a run in progress and the help window once more with
// qt6ct's dark colour scheme "darker", into PNG files for the documentation. Not part of
// the product.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTextCursor>
#include <cstdio>

#include "about_box.h"
#include "disk_formats.h"
#include "dos_disk.h"
#include "file_list_view.h"
#include "file_system.h"
#include "help_window.h"
#include "main_window.h"
#include "posix_file_system.h"
#include "program_state.h"
#include "scripted_prompt.h"
#include "window_harness.h"

namespace {

bool Save(QWidget* widget, const QString& directory, const char* name) {
    const QString path = QDir(directory).filePath(QString::fromLatin1(name));
    const bool saved = widget->grab().save(path, "PNG", 0);  // compressed the most
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "wrote" : "could not write",
                 path.toLocal8Bit().constData());
    return saved;
}

// A dark colour scheme as users run it: qt6ct's "darker", with the Fusion style.
void UseDarkPalette() {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(korvane::testing::SchemePalette("qt6ct-darker"));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvane-screenshots OUTPUT_DIRECTORY\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(output);

    // A fixed place, so that the directory list looks the same in every rendering.
    const std::filesystem::path root = std::filesystem::temp_directory_path() / "korvane";
    std::filesystem::remove_all(root);
    const std::filesystem::path disks = root / "atari" / "disks";
    std::filesystem::create_directories(root / "atari" / "games");
    std::filesystem::create_directories(disks / "originals");
    std::filesystem::copy(korvane::testing::kSamples, disks);
    korvane::testing::WriteFile(disks / "JUMPMAN.XEX", korvane::testing::Bytes(9000, 0xFF));
    korvane::testing::WriteFile(disks / "RIVERRAID.XEX", korvane::testing::Bytes(8200, 0xFF));
    // DOS disks for the disk-contents tool: one of each kind the converter lays out, and
    // one whose VTOC has lost track of a file's sectors.
    const korvane::BootLoader loader{korvane::testing::Bytes(384, 0),
                                     korvane::testing::Bytes(500, 1)};
    const auto disk = [&](const char* name, const korvane::DiskFormat& format, std::size_t length) {
        korvane::testing::Bytes image =
            korvane::LayOutBootDisk(format, loader, korvane::testing::Bytes(length, 0xFF));
        if (std::string(name) == "DAMAGED.ATR") {
            image[16 + 359 * 128 + 3] ^= 1;  // the free count, one off
        }
        korvane::testing::WriteFile(root / "atari" / "games" / name, image);
    };
    disk("BIGDEMO.ATR", *korvane::MakeMyDosDisk(2000), 400000);
    disk("DAMAGED.ATR", *korvane::MakeEnhancedDensityDisk(), 30000);
    disk("DOUBLE.ATR", *korvane::MakeDoubleDensityDisk(), 150000);
    disk("ENHANCED.ATR", *korvane::MakeEnhancedDensityDisk(), 110000);

    korvane::ProgramState state;
    korvane::testing::WatchedFiles fs;
    korvane::ScriptedPrompt prompt;
    korvane::MainWindow window(state, fs);
    window.SetPrompt(&prompt);
    window.Form_Load();
    window.OpenDirectory(disks);
    window.show();
    QApplication::processEvents();

    bool ok = Save(&window, output, "window-check.png");
    window.XEXmenu_Click();
    QApplication::processEvents();
    ok = Save(&window, output, "window-converter.png") && ok;
    window.Generatemenu_Click();
    QApplication::processEvents();
    ok = Save(&window, output, "window-generator.png") && ok;

    window.ATRmenu_Click();
    window.controls().cmd_start_test->click();
    // Pick ODD_LAYOUT.ATR, as a user does after the run, to show its block.
    window.controls().source_file->Select(4);
    QApplication::processEvents();
    ok = Save(&window, output, "window-check-report.png") && ok;

    // A repair run with answers given ahead; its summary ends in view.
    prompt.Answer(korvane::PromptTopic::SectorSize, korvane::PromptAnswer::Yes);
    prompt.Answer(korvane::PromptTopic::FileLength, korvane::PromptAnswer::Yes);
    prompt.Answer(korvane::PromptTopic::Layout, korvane::PromptAnswer::Yes);
    window.controls().cmd_start_repair->click();
    QApplication::processEvents();
    ok = Save(&window, output, "window-repair-report.png") && ok;

    // A directory removed after it was opened: Start says so in one line, and the panel
    // has moved up to its parent.
    const std::filesystem::path gone = disks / "originals";
    korvane::testing::WriteFile(gone / "SAVED.ATR", korvane::testing::ReadFile(disks / "GAME.ATR"));
    window.OpenDirectory(gone);
    std::filesystem::remove_all(gone);
    window.controls().cmd_start_test->click();
    QApplication::processEvents();
    ok = Save(&window, output, "window-vanished-directory.png") && ok;

    // Made larger: the report list takes the room, here for the report of a directory that
    // now holds the repaired images and their backups as well.
    window.OpenDirectory(disks);
    window.controls().cmd_start_test->click();
    const QSize normal = window.size();
    window.resize(1100, 820);
    QApplication::processEvents();
    ok = Save(&window, output, "window-resized-report.png") && ok;
    window.resize(normal);

    // The disk-contents tool after a run, the damaged disk's block picked.
    window.OpenDirectory(root / "atari" / "games");
    window.Contentsmenu_Click();
    window.controls().Cmd_start_contents->click();
    window.controls().source_file->Select(1);
    QApplication::processEvents();
    ok = Save(&window, output, "window-contents-report.png") && ok;
    window.ATRmenu_Click();
    window.OpenDirectory(disks);

    window.Aboutmenu_Click();
    QApplication::processEvents();
    ok = Save(window.about_box(), output, "about-box.png") && ok;

    // The help window at the home page's part on the report and on what a run holds back.
    korvane::HelpWindow help;
    help.Open(KORVANE_HELP_FILE);
    help.show();
    QApplication::processEvents();
    help.browser()->find(QStringLiteral("Every tool writes its results"));
    QTextCursor cursor = help.browser()->textCursor();
    cursor.clearSelection();
    help.browser()->setTextCursor(cursor);
    QScrollBar* bar = help.browser()->verticalScrollBar();
    bar->setValue(bar->value() + help.browser()->cursorRect().top() - 48);
    QApplication::processEvents();
    ok = Save(&help, output, "help-window.png") && ok;

    // The same with a dark colour scheme: the lists keep their light grey with black text,
    // the help pages their white page.
    UseDarkPalette();
    // A run in progress: the file being read stands out in the disabled file list.
    fs.on_open = [&](const std::filesystem::path& path) {
        if (path.filename() == "GAME.ATR") {
            window.SyncRunDisplay();
            ok = Save(&window, output, "window-run-dark.png") && ok;
        }
    };
    window.controls().cmd_start_test->click();
    fs.on_open = [](const std::filesystem::path&) {};
    window.controls().cmd_start_test->click();
    window.controls().source_file->Select(4);
    QApplication::processEvents();
    ok = Save(&window, output, "window-check-report-dark.png") && ok;
    window.OpenDirectory(root / "atari" / "games");
    window.Contentsmenu_Click();
    window.controls().Cmd_start_contents->click();
    window.controls().source_file->Select(1);
    QApplication::processEvents();
    ok = Save(&window, output, "window-contents-report-dark.png") && ok;
    help.browser()->setSource(QUrl(QStringLiteral("report.html")));
    QApplication::processEvents();
    ok = Save(&help, output, "help-window-dark.png") && ok;
    std::filesystem::remove_all(root);
    return ok ? 0 : 1;
}
