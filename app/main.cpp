// korvane: the window program. It creates the main window, runs its load handler, shows
// it and runs the event loop until the window is closed.
#include <QApplication>

#include "file_system.h"
#include "main_window.h"
#include "program_state.h"

int main(int argc, char** argv) {
    // The desktop's own style; Qt falls back to Fusion where the platform has none.
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("korvane"));

    // The values shared between the window's handlers and the engines.
    korvane::ProgramState program_state;
    korvane::PosixFileSystem file_system;
    korvane::MainWindow window(program_state, file_system);
    window.Form_Load();
    window.show();
    return application.exec();
}
