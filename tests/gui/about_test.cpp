// The About box: its controls and place, the load handler, and the About
// command showing it modally until OK, Enter, Escape or the close box.

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

#include "about/frm_about.h"
#include "gui_test_support.h"
#include "main_window/frm_main.h"

using namespace tavrel;
using namespace tavrel::testing;

namespace {

const QString kDisclaimer =
    QStringLiteral("Tavrel comes without any warranty. Use it at your own risk.");

// Runs inspect on the About box once the command has shown it, then lets
// the command return. Returns the box the command showed.
QPointer<FrmAbout> ShowAbout(FrmMain& w, const std::function<void(FrmAbout&)>& inspect) {
    QPointer<FrmAbout> shown;
    QTimer::singleShot(0, [&] {
        shown = qobject_cast<FrmAbout*>(QApplication::activeModalWidget());
        if (shown == nullptr) {
            // Not shown modally: close whatever came up so the test ends.
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (auto* about = qobject_cast<FrmAbout*>(top)) {
                    about->close();
                }
            }
            return;
        }
        inspect(*shown);
        if (shown != nullptr && shown->isVisible()) {
            shown->close();  // a failed check must not leave the test waiting
        }
    });
    w.cmdAbout_Click();
    return shown;
}

}  // namespace

class AboutTest : public QObject, private CaseFolders {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(PrepareFolders());
        QDir::setCurrent(tmp_.path());
    }

    void theLoadHandlerWritesTheApplicationsTitleAndVersion() {
        const FrmAbout other(AppInfo{QStringLiteral("Other"), 2, 31, 7});
        QCOMPARE(other.windowTitle(), QStringLiteral("About Other"));
        QCOMPARE(other.lblVersion->text(), QStringLiteral("Version 2.31.7"));
        QCOMPARE(other.lblTitle->text(), QStringLiteral("Other"));

        QCoreApplication::setApplicationName(QStringLiteral("Tavrel"));
        const FrmAbout ours;
        QCOMPARE(ours.windowTitle(), QStringLiteral("About Tavrel"));
        QCOMPARE(ours.lblVersion->text(), QStringLiteral("Version 1.0.0"));
    }

    void aFixedDialogWithItsControlsInPlace() {
        FrmAbout d;
        // Client area 5736 by 3564 twips, 2340 and 1932 from the screen's
        // corner; not sizable, no minimise or maximise box.
        QCOMPARE(d.geometry(), QRect(156, 129, 382, 238));
        QCOMPARE(d.minimumSize(), d.maximumSize());
        QVERIFY(!(d.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(d.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(d.windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(d.windowFlags() & Qt::WindowType_Mask, Qt::Dialog);
        QVERIFY(!d.windowIcon().isNull());

        QCOMPARE(d.cmdOK->text(), QStringLiteral("OK"));
        QVERIFY(d.cmdOK->isDefault());
        QCOMPARE(d.cmdOK->geometry(), QRect(283, 175, 84, 23));
        QCOMPARE(d.picIcon->geometry(), QRect(16, 16, 32, 32));
        QCOMPARE(d.picIcon->pixmap().size(), QSize(32, 32));
        QCOMPARE(d.lblDescription->text(), QStringLiteral("Button file converter"));
        QCOMPARE(d.lblDescription->geometry(), QRect(70, 75, 259, 78));
        QCOMPARE(d.lblDisclaimer->text(), kDisclaimer);
        QCOMPARE(d.lblDisclaimer->geometry(), QRect(17, 175, 258, 55));
        QCOMPARE(d.lblTitle->geometry(), QRect(70, 16, 259, 32));
        QCOMPARE(d.lblVersion->geometry(), QRect(70, 52, 259, 15));

        // Nothing overlaps, and the disclaimer fits its label.
        const QList<QWidget*> controls = {d.cmdOK,         d.picIcon,  d.lblDescription,
                                          d.lblDisclaimer, d.lblTitle, d.lblVersion};
        for (int i = 0; i < controls.size(); ++i) {
            for (int j = i + 1; j < controls.size(); ++j) {
                QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                         qPrintable(controls[i]->objectName() + " overlaps " +
                                    controls[j]->objectName()));
            }
        }
        QVERIFY(d.lblDisclaimer->heightForWidth(d.lblDisclaimer->width()) <=
                d.lblDisclaimer->height());

        // The etched separator: a grey row with a white one beneath it.
        const QImage face = d.grab().toImage();
        QCOMPARE(face.pixel(200, 163), qRgb(128, 128, 128));
        QCOMPARE(face.pixel(200, 164), qRgb(255, 255, 255));
        QCOMPARE(face.pixel(200, 165), qRgb(255, 255, 255));
        QCOMPARE(face.pixel(6, 163), qRgb(128, 128, 128));
        QVERIFY(face.pixel(6, 164) != qRgb(255, 255, 255));  // the white starts at 105
    }

    void threeLabelsAreBlackAndTheVersionFollowsThePlatform() {
        // A platform whose text is not black tells the two apart.
        struct Platform {
            const QPalette before = QApplication::palette();
            Platform() {
                QPalette blue = before;
                blue.setColor(QPalette::WindowText, QColor(0, 0, 200));
                QApplication::setPalette(blue);
            }
            ~Platform() { QApplication::setPalette(before); }
        } platform;
        const FrmAbout d;
        for (const QLabel* label : {d.lblDescription, d.lblDisclaimer, d.lblTitle}) {
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::black));
        }
        QCOMPARE(d.lblVersion->palette().color(QPalette::WindowText), QColor(0, 0, 200));
    }

    void theAboutCommandShowsItModallyAndEachWayClosesIt_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("OK") << 0;
        QTest::newRow("Enter") << 1;
        QTest::newRow("Escape") << 2;
        QTest::newRow("close box") << 3;
    }
    void theAboutCommandShowsItModallyAndEachWayClosesIt() {
        QFETCH(int, way);
        // Whatever the application's own title, the box names Tavrel.
        QCoreApplication::setApplicationName(QStringLiteral("something else"));
        Started s(tmp_.path() + QStringLiteral("/drives"));
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        QSignalSpy mainOk(w.cmdOK, &QPushButton::clicked);
        bool checked = false;

        const QPointer<FrmAbout> shown = ShowAbout(w, [&](FrmAbout& d) {
            QVERIFY(d.isVisible());
            // No owner: modal to the whole application.
            QVERIFY(d.parentWidget() == nullptr);
            QCOMPARE(d.windowModality(), Qt::ApplicationModal);
            QCOMPARE(d.windowTitle(), QStringLiteral("About Tavrel"));
            QCOMPARE(d.lblTitle->text(), QStringLiteral("Tavrel"));
            QCOMPARE(d.lblVersion->text(), QStringLiteral("Version 1.4"));
            QCOMPARE(d.lblDescription->text(), QStringLiteral("Button file converter"));
            QCOMPARE(d.lblDisclaimer->text(), kDisclaimer);
            QCOMPARE(d.geometry().topLeft(), QPoint(156, 129));  // not centred
            // The main window takes no input meanwhile.
            QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, w.cmdOK->geometry().center());
            QCOMPARE(mainOk.count(), 0);
            QVERIFY(w.isVisible());
            switch (way) {
                case 0:
                    QTest::mouseClick(d.cmdOK, Qt::LeftButton);
                    break;
                case 1:
                    QTest::keyClick(&d, Qt::Key_Return);
                    break;
                case 2:
                    QTest::keyClick(&d, Qt::Key_Escape);
                    break;
                default:
                    d.close();
            }
            checked = true;
        });
        QVERIFY(checked);
        // Closed and gone once the command returns; the main window goes on.
        QVERIFY(shown.isNull());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(w.isVisible());
        QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, w.cmdOK->geometry().center());
        QCOMPARE(mainOk.count(), 1);
    }

    void aSecondShowingIsANewBoxWithTheSameTexts() {
        Started s(tmp_.path() + QStringLiteral("/drives"));
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        QStringList texts;
        const auto read = [&](FrmAbout& d) {
            texts << d.windowTitle() << d.lblTitle->text() << d.lblVersion->text();
            d.cmdOK->click();
        };
        const QPointer<FrmAbout> first = ShowAbout(w, read);
        const QPointer<FrmAbout> second = ShowAbout(w, read);
        QVERIFY(first.isNull() && second.isNull());
        QCOMPARE(texts, (QStringList{"About Tavrel", "Tavrel", "Version 1.4", "About Tavrel",
                                     "Tavrel", "Version 1.4"}));
    }
};

QTEST_MAIN(AboutTest)
#include "about_test.moc"
