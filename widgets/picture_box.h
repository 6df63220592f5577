#pragma once

#include <QWidget>

#include "picture/picture_surface.h"

namespace tavrel {

// A picture box on screen: shows its picture surface at the top-left inside a
// sunken border, clipped at the box's edge. The surface follows the widget's
// geometry; drawing into the surface is shown after update(). Screen readers
// see it as a picture, described by what it shows.
class PictureBox : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kBorderPixels = 2;

    explicit PictureBox(QWidget* parent = nullptr);

    // The surface, at the box's geometry also while the window is hidden
    // (when widgets hold back their resize events).
    PictureSurface& Surface() {
        follow();
        return surface_;
    }
    const PictureSurface& Surface() const {
        follow();
        return surface_;
    }

    // Says what the box shows, to screen readers and in its tooltip.
    void Describe(const QString& shown);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void follow() const;

    mutable PictureSurface surface_;
};

}  // namespace tavrel
