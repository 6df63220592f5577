#include "about/frm_about.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QWindow>

#include "picture/twips.h"
#include "resources/pictures.h"
#include "widgets/readable_palette.h"

namespace tavrel {

namespace {

QRect Twips(double left, double top, double width, double height) {
    return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}

QLabel* Label(const QString& text, const QRect& place, bool black, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(place);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    if (black) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    return label;
}

}  // namespace

AppInfo App() {
    return {QGuiApplication::applicationDisplayName(), TAVREL_VERSION_MAJOR, TAVREL_VERSION_MINOR,
            TAVREL_VERSION_PATCH};
}

FrmAbout::FrmAbout(const AppInfo& app)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Tavrel"));
    setWindowIcon(ApplicationIcon());
    // Placed by its client area, neither centred on the screen nor on the
    // main window; not sizable.
    const QRect client = Twips(2340, 1932, 5736, 3564);
    setGeometry(client);
    setFixedSize(client.size());

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setGeometry(Twips(4245, 2625, 1260, 345));
    cmdOK->setDefault(true);
    cmdOK->setAccessibleDescription(QStringLiteral("Closes this box"));

    // The black labels and the icon's black line art are black where black
    // reads on the dialog, as designed. On a dark one the labels keep the
    // palette's text colour, and the icon a white ground.
    const bool blackReads = Contrast(Qt::black, palette().color(QPalette::Window)) >= 4.5;

    // Sized to its 32 by 32 picture.
    picIcon = new QLabel(this);
    picIcon->setPixmap(ApplicationIcon().pixmap(QSize(32, 32)));
    picIcon->setGeometry(QRect(Twips(240, 240, 0, 0).topLeft(), QSize(32, 32)));
    if (!blackReads) {
        QPalette ground = picIcon->palette();
        ground.setColor(QPalette::Window, Qt::white);
        picIcon->setPalette(ground);
        picIcon->setAutoFillBackground(true);
    }
    picIcon->setAccessibleName(QStringLiteral("Tavrel icon"));
    picIcon->setAccessibleDescription(
        QStringLiteral("Two opposed arrows, each ending at a bar: the two conversions"));

    lblDescription = Label(QStringLiteral("Button file converter"), Twips(1050, 1125, 3885, 1170),
                           blackReads, this);
    lblDisclaimer = Label(QStringLiteral("Tavrel comes without any warranty. "
                                         "Use it at your own risk."),
                          Twips(255, 2625, 3870, 825), blackReads, this);
    lblTitle = Label(QStringLiteral("Tavrel"), Twips(1050, 240, 3885, 480), blackReads, this);
    lblVersion = Label(QStringLiteral("Version"), Twips(1050, 780, 3885, 225), false, this);

    const QPair<QWidget*, const char*> names[] = {{cmdOK, "cmdOK"},
                                                  {picIcon, "picIcon"},
                                                  {lblDescription, "lblDescription"},
                                                  {lblDisclaimer, "lblDisclaimer"},
                                                  {lblTitle, "lblTitle"},
                                                  {lblVersion, "lblVersion"}};
    for (const auto& [control, name] : names) {
        control->setObjectName(QLatin1String(name));
    }

    Line1[1] = {{90, 2451}, {5660, 2451}, QColor(128, 128, 128), 1};
    Line1[0] = {{105, 2466}, {5660, 2466}, QColor(255, 255, 255), 2};

    // OK unloads the dialog: the showing ends and its owner destroys it.
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    Form_Load(app);
}

void FrmAbout::Form_Load(const AppInfo& app) {
    setWindowTitle(QStringLiteral("About ") + app.Title);
    lblVersion->setText(
        QStringLiteral("Version %1.%2.%3").arg(app.Major).arg(app.Minor).arg(app.Revision));
    lblTitle->setText(app.Title);
}

void FrmAbout::showEvent(QShowEvent* event) {
    // Owned by the window it is opened from, the box has no taskbar entry of
    // its own; without an owner it gets one on some platforms.
    QWindow* owner = QGuiApplication::focusWindow();
    if (owner != nullptr && owner != windowHandle()) {
        windowHandle()->setTransientParent(owner);
    }
    QDialog::showEvent(event);
}

void FrmAbout::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    // Both lines are horizontal: each covers its width in whole pixel rows
    // from its own row down, so the white one lies just beneath the grey one.
    for (const LineControl& line : Line1) {
        const int left = TwipsToPixels(line.From.x());
        const int right = TwipsToPixels(line.To.x());
        painter.fillRect(
            QRect(left, TwipsToPixels(line.From.y()), right - left + 1, line.WidthPixels),
            line.Colour);
    }
}

}  // namespace tavrel
