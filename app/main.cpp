#include <QApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "main_window/frm_main.h"
#include "resources/pictures.h"

namespace {

const char kNoDesktop[] =
    "tavrel: the window needs a desktop session (DISPLAY or WAYLAND_DISPLAY); "
    "without one, try it with: xvfb-run tavrel\n";

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Qt ends a program that finds no window system to connect to with an abort,
// after advice about reinstalling: the program says what is missing instead,
// and exits 1. What Qt said before about a display that was named, and could
// not be reached, stays.
QtMessageHandler gQtHandler = nullptr;

void NoDesktopInstead(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        std::fputs(kNoDesktop, stderr);
        std::_Exit(1);
    }
    if (Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM")) {
        gQtHandler(type, context, message);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    // Under a file-size limit a save that passes it fails with "File too
    // large", and says so, instead of the signal ending the program with a
    // temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    gQtHandler = qInstallMessageHandler(NoDesktopInstead);
    QApplication app(argc, argv);
    qInstallMessageHandler(gQtHandler);
    QApplication::setApplicationName(QStringLiteral("Tavrel"));
    QApplication::setOrganizationName(QStringLiteral("Tavrel"));
    QApplication::setApplicationVersion(QStringLiteral(TAVREL_VERSION_TEXT));
    // The installed desktop entry, which names the icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("tavrel"));
    QApplication::setWindowIcon(tavrel::ApplicationIcon());

    // The window loads hidden; its start-up tick shows it. The command line
    // is not read.
    tavrel::FrmMain frmMain;
    return QApplication::exec();
}
