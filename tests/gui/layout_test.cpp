// The window's layout: the formulas on ideal controls, and the real window
// laid out at its sizes.

#include <QGroupBox>
#include <QPushButton>
#include <QTest>

#include "gui_test_support.h"
#include "main_window/frm_main.h"
#include "main_window/layout.h"
#include "platform/drive_list_box.h"
#include "platform/file_list_box.h"
#include "platform/folder_list_box.h"
#include "platform/picture_box.h"

using namespace tavrel;
using namespace tavrel::testing;

namespace {

// The design geometry, with the drive lists 288 twips high.
LayoutControls Design() {
    LayoutControls c;
    c.frmBMP = {0, 0, 3732, 3372};
    c.frmButtons = {5160, 0, 3252, 3252};
    c.cmdToButton = {4200, 600, 612, 492};
    c.cmdToBMP = {4200, 1560, 612, 492};
    c.drvBMP = {120, 240, 1812, 288};
    c.drvButtons = {5280, 240, 1932, 288};
    c.dirBMP = {120, 600, 1932, 2016};
    c.dirButtons = {5280, 600, 1932, 1800};
    c.fileBMP = {2160, 600, 1452, 1992};
    c.fileButtons = {7320, 600, 972, 1800};
    c.picBMP = {0, 3480, 3492, 492};
    c.picButtons = {5280, 3360, 3012, 492};
    c.cmdOK = {4200, 2520, 612, 492};
    c.cmdAbout = {4200, 3480, 612, 492};
    return c;
}

bool Same(const TwipsRect& a, const TwipsRect& b) {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

bool Same(const LayoutControls& a, const LayoutControls& b) {
    return Same(a.frmBMP, b.frmBMP) && Same(a.frmButtons, b.frmButtons) &&
           Same(a.cmdToBMP, b.cmdToBMP) && Same(a.cmdToButton, b.cmdToButton) &&
           Same(a.cmdOK, b.cmdOK) && Same(a.cmdAbout, b.cmdAbout) && Same(a.picBMP, b.picBMP) &&
           Same(a.picButtons, b.picButtons) && Same(a.drvBMP, b.drvBMP) &&
           Same(a.drvButtons, b.drvButtons) && Same(a.dirBMP, b.dirBMP) &&
           Same(a.dirButtons, b.dirButtons) && Same(a.fileBMP, b.fileBMP) &&
           Same(a.fileButtons, b.fileButtons);
}

void Expect(const TwipsRect& got, const TwipsRect& want, const char* name) {
    const QString where = QString::fromLatin1(name);
    QVERIFY2(got.left == want.left, qPrintable(where + " left"));
    QVERIFY2(got.top == want.top, qPrintable(where + " top"));
    QVERIFY2(got.width == want.width, qPrintable(where + " width"));
    QVERIFY2(got.height == want.height, qPrintable(where + " height"));
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT

    QTemporaryDir tmp_;

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(tmp_.isValid());
        UsePrivateSettings(tmp_);
    }

    void workedExampleGivesTheTableExactly() {
        LayoutControls c = Design();
        ComputeLayout(c, 9900, 5400, KeepExact);
        Expect(c.frmBMP, {0, 0, 4800, 4000}, "frmBMP");
        for (const TwipsRect* b : {&c.cmdToBMP, &c.cmdToButton, &c.cmdOK, &c.cmdAbout}) {
            QCOMPARE(b->left, 5106.0);
            QCOMPARE(b->width, 612.0);
            QCOMPARE(b->height, 492.0);
        }
        QCOMPARE(c.cmdToButton.top, 600.0);
        QCOMPARE(c.cmdAbout.top, 3480.0);
        Expect(c.picBMP, {0, 4150, 4800, 900}, "picBMP");
        Expect(c.drvBMP, {120, 200, 4600, 288}, "drvBMP");
        Expect(c.dirBMP, {120, 588, 2200, 3412}, "dirBMP");
        Expect(c.fileBMP, {2470, 588, 2200, 3512}, "fileBMP");
        Expect(c.frmButtons, {6024, 0, 3726, 4000}, "frmButtons");
        Expect(c.picButtons, {6024, 4150, 3726, 900}, "picButtons");
        Expect(c.drvButtons, {6124, 200, 3526, 288}, "drvButtons");
        Expect(c.dirButtons, {6124, 588, 1663, 3412}, "dirButtons");
        Expect(c.fileButtons, {7937, 588, 1663, 3512}, "fileButtons");

        LayoutControls again = c;
        ComputeLayout(again, 9900, 5400, KeepExact);
        QVERIFY(Same(again, c));
    }

    void wholePixelControlsSettleInOneRun() {
        for (const auto& [w, h] :
             {std::pair{9900.0, 5400.0}, {9675.0, 5103.0}, {14000.0, 9000.0}, {3300.0, 1500.0}}) {
            LayoutControls c = Design();
            ComputeLayout(c, w, h, KeepWholePixels);
            LayoutControls again = c;
            ComputeLayout(again, w, h, KeepWholePixels);
            QVERIFY(Same(again, c));
            // The button frame's right edge stays at W - 150, give or take
            // the pixel each rounded value may move.
            QVERIFY(std::abs(c.frmButtons.left + c.frmButtons.width - (w - 150)) <= 30);
        }
    }

    void rightEdgeAndNoNegativeSizeAtEverySize() {
        for (double w = 0; w <= 20000; w += 173) {
            for (double h = 0; h <= 12000; h += 419) {
                LayoutControls c = Design();
                ComputeLayout(c, w, h, KeepExact);
                for (const TwipsRect* r :
                     {&c.frmBMP, &c.frmButtons, &c.picBMP, &c.picButtons, &c.drvBMP, &c.drvButtons,
                      &c.dirBMP, &c.dirButtons, &c.fileBMP, &c.fileButtons}) {
                    QVERIFY(r->width >= 0 && r->height >= 0);
                }
                if (w >= MinimumLayoutWidth(612)) {
                    QCOMPARE(c.frmButtons.left + c.frmButtons.width, w - 150);
                    QVERIFY(c.dirButtons.width >= 0);
                }
            }
        }
        // Just above the smallest size nothing needed clamping.
        LayoutControls c = Design();
        ComputeLayout(c, MinimumLayoutWidth(612), MinimumLayoutHeight(0, 288), KeepExact);
        QVERIFY(std::abs(c.dirButtons.width) < 1e-9);
        QVERIFY(std::abs(c.dirBMP.height) < 1e-9);
    }

    void windowIsLaidOutOnlyWhenVisibleAndNotMinimised() {
        ScriptedBoxes boxes;
        FrmMain w(&boxes);
        const QRect design = w.cmdOK->geometry();
        QCOMPARE(design, QRect(280, 168, 41, 33));  // 4200, 2520, 612, 492 twips
        QVERIFY(!w.isVisible());
        w.resize(900, 500);  // hidden: nothing moves
        QCoreApplication::sendPostedEvents();
        QCOMPARE(w.cmdOK->geometry(), design);

        QTRY_VERIFY(w.isVisible());  // the start-up tick
        // The outer size counts: (W - 300) / 2 for the frame, the buttons half
        // a button width (as the button holds it, in whole pixels) to its
        // right, the button frame ending at W - 150.
        const int outer = w.frameGeometry().width();
        QCOMPARE(w.frmBMP->width(), qRound((outer * 15 - 300) / 2.0 / 15));
        const auto buttonsLeft = [&w] {
            return qRound(w.cmdToBMP->width() / 2.0 + w.frmBMP->width());
        };
        const int buttonsAt = buttonsLeft();
        QCOMPARE(w.cmdOK->x(), buttonsAt);
        QCOMPARE(w.cmdOK->y(), 168);
        QVERIFY(std::abs(w.frmButtons->geometry().right() + 1 - (outer - 10)) <= 1);
        QCOMPARE(w.fileBMP->Path(), w.dirBMP->Path());
        QCOMPARE(w.fileButtons->Path(), w.dirButtons->Path());

        w.setWindowState(Qt::WindowMinimized);
        w.resize(700, 400);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(w.cmdOK->x(), buttonsAt);
        w.setWindowState(Qt::WindowNoState);
        w.resize(700, 401);
        QTRY_COMPARE(w.cmdOK->x(), buttonsLeft());  // restored: laid out again
        QVERIFY(w.cmdOK->x() < buttonsAt);

        w.setWindowState(Qt::WindowMaximized);
        QTRY_VERIFY(w.width() > 700);
        QVERIFY(std::abs(w.frmButtons->geometry().right() + 1 - (w.frameGeometry().width() - 10)) <=
                1);
    }

    void smallWindowsNeverGoNegative() {
        ScriptedBoxes boxes;
        FrmMain w(&boxes);
        QTRY_VERIFY(w.isVisible());
        const QSize floor = w.minimumSize();
        QVERIFY(floor.width() * 15 >= MinimumLayoutWidth(612));
        QVERIFY(floor.height() * 15 >= MinimumLayoutHeight(0, w.drvBMP->height() * 15));
        w.resize(floor);
        QCoreApplication::sendPostedEvents();
        w.ArrangeControls();
        for (QWidget* c : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            QVERIFY(c->width() >= 0 && c->height() >= 0);
        }
        // The floor is close to where the first sizes reach zero.
        QVERIFY(w.dirButtons->width() <= 4);
        QVERIFY(w.dirBMP->height() <= 8);
    }

    void relayoutAtTheSameSizeChangesNothing() {
        ScriptedBoxes boxes;
        FrmMain w(&boxes);
        QTRY_VERIFY(w.isVisible());
        w.resize(777, 433);
        QCoreApplication::sendPostedEvents();
        QList<QRect> before;
        const auto children = w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* c : children) {
            before << c->geometry();
        }
        w.ArrangeControls();
        for (int i = 0; i < children.size(); ++i) {
            QCOMPARE(children[i]->geometry(), before[i]);
        }
    }
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
