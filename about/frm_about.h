#pragma once

#include <QColor>
#include <QDialog>
#include <QPointF>
#include <QString>

#include <array>
#include <cstdint>

class QLabel;
class QPushButton;

namespace tavrel {

// What the About box's load handler reads about the application.
struct AppInfo {
    QString Title;
    std::int16_t Major = 0;
    std::int16_t Minor = 0;
    std::int16_t Revision = 0;
};

// This program: its display name and its version numbers.
AppInfo App();

// The About box: a fixed dialog with the icon, the title, the version, a
// description and a disclaimer, closed by its OK button, Enter, Escape or the
// close box. Every showing uses a new one; its load handler runs in the
// constructor.
class FrmAbout : public QDialog {
    Q_OBJECT

  public:
    explicit FrmAbout(const AppInfo& app = App());

    void Form_Load(const AppInfo& app);

    // The controls, in tab order.
    QPushButton* cmdOK;
    QLabel* picIcon;
    QLabel* lblDescription;
    QLabel* lblDisclaimer;
    QLabel* lblTitle;
    QLabel* lblVersion;

    // The etched separator: two lines, told apart by their index. In twips.
    struct LineControl {
        QPointF From;
        QPointF To;
        QColor Colour;
        int WidthPixels;
    };
    std::array<LineControl, 2> Line1;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

}  // namespace tavrel
