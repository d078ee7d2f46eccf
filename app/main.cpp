// korvane: the window program. It creates the main window, runs its load handler, shows
// it and runs the event loop until the window is closed.
#include <QApplication>
#include <QStyleFactory>

#include "file_system.h"
#include "main_window.h"
#include "program_state.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // The layout is fixed in pixels and was drawn for this style's metrics.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
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
