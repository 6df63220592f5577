#include <QApplication>

#include "main_window/frm_main.h"
#include "resources/pictures.h"

int main(int argc, char* argv[]) {
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
