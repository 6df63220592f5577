#include "widgets/picture_box.h"

#include <qdrawutil.h>
#include <QAccessibleWidget>
#include <QPainter>

namespace tavrel {

namespace {

// A plain widget reads as a blank area; a picture box is a picture.
QAccessibleInterface* AccessiblePicture(const QString& className, QObject* object) {
    if (className == QLatin1String(PictureBox::staticMetaObject.className()) &&
        object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
    }
    return nullptr;
}

}  // namespace

PictureBox::PictureBox(QWidget* parent) : QWidget(parent), surface_(kBorderPixels, false) {
    static const bool installed = [] {
        QAccessible::installFactory(AccessiblePicture);
        return true;
    }();
    Q_UNUSED(installed);
    setAttribute(Qt::WA_OpaquePaintEvent);
    follow();
}

void PictureBox::Describe(const QString& shown) {
    setAccessibleDescription(shown);
    setToolTip(shown);
}

void PictureBox::follow() const {
    const QRect g = geometry();
    if (surface_.Left() == g.x() * double(kTwipsPerPixel) &&
        surface_.Top() == g.y() * double(kTwipsPerPixel) &&
        surface_.Width() == g.width() * double(kTwipsPerPixel) &&
        surface_.Height() == g.height() * double(kTwipsPerPixel)) {
        return;
    }
    surface_.Move(g.x() * double(kTwipsPerPixel), g.y() * double(kTwipsPerPixel),
                  g.width() * double(kTwipsPerPixel), g.height() * double(kTwipsPerPixel));
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    follow();
    QWidget::resizeEvent(event);
}

void PictureBox::moveEvent(QMoveEvent* event) {
    follow();
    QWidget::moveEvent(event);
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect inner =
        rect().adjusted(kBorderPixels, kBorderPixels, -kBorderPixels, -kBorderPixels);
    painter.fillRect(inner, Qt::white);
    const QImage& raster = surface_.Image();
    if (!raster.isNull() && inner.isValid()) {
        // Only the part inside the box: the raster may hold a larger drawing.
        const QRect shown(0, 0, std::min(inner.width(), raster.width()),
                          std::min(inner.height(), raster.height()));
        painter.drawImage(inner.topLeft(), raster, shown);
    }
    qDrawShadePanel(&painter, rect(), palette(), true, kBorderPixels);
}

}  // namespace tavrel
