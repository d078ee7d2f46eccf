// korvane: the window program. It creates the main window, runs its load handler, shows
// it and runs the event loop until the window is closed. `korvane DIR` opens DIR.
#include <QApplication>
#include <QFile>
#include <QSettings>

#include "file_system.h"
#include "main_window.h"
#include "posix_file_system.h"
#include "program_state.h"
#include "stop_signals.h"

int main(int argc, char** argv) {
    // The desktop's own style; Qt falls back to Fusion where the platform has none.
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("korvane"));

    // The last folder, tool and window size, kept in the user's configuration directory.
    QSettings settings(QStringLiteral("korvane"), QStringLiteral("korvane"));
    // The values shared between the window's handlers and the engines.
    korvane::ProgramState program_state;
    korvane::PosixFileSystem file_system;
    // `korvane DIR` lists DIR, never the remembered folder first.
    const std::filesystem::path start =
        argc > 1 ? std::filesystem::path(argv[argc - 1]) : std::filesystem::path();
    korvane::MainWindow window(program_state, file_system, &settings, nullptr, start);
    window.Form_Load();
    if (argc > 1) {
        // The folder as the bytes given, since a name need not be valid UTF-8.
        window.GoToFolder(std::filesystem::path(argv[argc - 1]));
    }
    window.show();
    korvane::CloseOnStopSignals(window);
    return application.exec();
}
