#include <QApplication>
#include <QIcon>

#include "main_window/frm_main.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrel"));
    QApplication::setOrganizationName(QStringLiteral("Tavrel"));
    QApplication::setApplicationVersion(QStringLiteral(TAVREL_VERSION));

    // The window loads hidden; its start-up tick shows it. The command line
    // is not read.
    tavrel::FrmMain frmMain;
    QApplication::setWindowIcon(frmMain.windowIcon());
    return QApplication::exec();
}
