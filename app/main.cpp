#include <QApplication>

#include <csignal>

#include "main_window/frm_main.h"
#include "resources/pictures.h"

int main(int argc, char* argv[]) {
    // Under a file-size limit a save that passes it fails with "File too
    // large", and says so, instead of the signal ending the program with a
    // temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
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
