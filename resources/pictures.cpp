#include "resources/pictures.h"

// Outside the namespace, as Qt's resource macro requires. Calling it from
// this library also keeps the linker from leaving the pictures out.
static void InitPictures() {
    Q_INIT_RESOURCE(tavrel);
}

namespace tavrel {

void RegisterPictures() {
    InitPictures();
}

QIcon ApplicationIcon() {
    RegisterPictures();
    QIcon icon;
    icon.addFile(QStringLiteral(":/tavrel/tavrel-32.xpm"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/tavrel/tavrel-16.xpm"), QSize(16, 16));
    return icon;
}

}  // namespace tavrel
