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

// What each named control of a window holds, in twips.
LayoutControls Held(const FrmMain& w) {
    LayoutControls c;
    c.frmBMP = TwipsGeometry(w.frmBMP);
    c.frmButtons = TwipsGeometry(w.frmButtons);
    c.cmdToBMP = TwipsGeometry(w.cmdToBMP);
    c.cmdToButton = TwipsGeometry(w.cmdToButton);
    c.cmdOK = TwipsGeometry(w.cmdOK);
    c.cmdAbout = TwipsGeometry(w.cmdAbout);
    c.picBMP = TwipsGeometry(w.picBMP);
    c.picButtons = TwipsGeometry(w.picButtons);
    c.drvBMP = TwipsGeometry(w.drvBMP);
    c.drvButtons = TwipsGeometry(w.drvButtons);
    c.dirBMP = TwipsGeometry(w.dirBMP);
    c.dirButtons = TwipsGeometry(w.dirButtons);
    c.fileBMP = TwipsGeometry(w.fileBMP);
    c.fileButtons = TwipsGeometry(w.fileButtons);
    return c;
}

// The layout a window should hold for its outer size now, computed from
// what its controls held before they were laid out (the layout reads only
// values it never assigns, besides its own results).
LayoutControls Expected(const LayoutControls& before, const FrmMain& w) {
    LayoutControls c = before;
    const QSize outer = w.frameGeometry().size();
    ComputeLayout(c, outer.width() * kTwips, outer.height() * kTwips, KeepWholePixels);
    return c;
}

void Expect(const TwipsRect& got, const TwipsRect& want, const char* name) {
    const QString where = QString::fromLatin1(name);
    QVERIFY2(got.left == want.left, qPrintable(where + " left"));
    QVERIFY2(got.top == want.top, qPrintable(where + " top"));
    QVERIFY2(got.width == want.width, qPrintable(where + " width"));
    QVERIFY2(got.height == want.height, qPrintable(where + " height"));
}

// Every control holds exactly the place computed for it, by name.
void ExpectLayout(const LayoutControls& got, const LayoutControls& want) {
    Expect(got.frmBMP, want.frmBMP, "frmBMP");
    Expect(got.frmButtons, want.frmButtons, "frmButtons");
    Expect(got.cmdToBMP, want.cmdToBMP, "cmdToBMP");
    Expect(got.cmdToButton, want.cmdToButton, "cmdToButton");
    Expect(got.cmdOK, want.cmdOK, "cmdOK");
    Expect(got.cmdAbout, want.cmdAbout, "cmdAbout");
    Expect(got.picBMP, want.picBMP, "picBMP");
    Expect(got.picButtons, want.picButtons, "picButtons");
    Expect(got.drvBMP, want.drvBMP, "drvBMP");
    Expect(got.drvButtons, want.drvButtons, "drvButtons");
    Expect(got.dirBMP, want.dirBMP, "dirBMP");
    Expect(got.dirButtons, want.dirButtons, "dirButtons");
    Expect(got.fileBMP, want.fileBMP, "fileBMP");
    Expect(got.fileButtons, want.fileButtons, "fileButtons");
}

}  // namespace

class LayoutTest : public QObject, private CaseFolders {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() { QVERIFY(PrepareFolders()); }

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
        const QString dir = tmp_.path() + "/panes";
        WriteBitmap(dir + "/b.bmp", 2, 2, qRgb(0, 0, 0));
        StoreFolders(dir, dir);
        ScriptedMessageBoxes boxes;
        FrmMain w(&boxes);
        const LayoutControls design = Held(w);
        QCOMPARE(w.cmdOK->geometry(), QRect(280, 168, 41, 33));  // 4200, 2520, 612, 492 twips

        // Hidden: neither a resize nor a direct call moves anything.
        QVERIFY(!w.isVisible());
        w.resize(900, 500);
        QCoreApplication::sendPostedEvents();
        w.Form_Resize();
        QVERIFY(Same(Held(w), design));
        QResizeEvent hiddenResize(QSize(900, 500), QSize(644, 319));
        QCoreApplication::sendEvent(&w, &hiddenResize);
        QVERIFY(Same(Held(w), design));

        // The start-up tick lays out for the outer size: every control by
        // name where the computation puts it.
        QTRY_VERIFY(w.isVisible());
        ExpectLayout(Held(w), Expected(design, w));
        QCOMPARE(w.fileBMP->Path(), w.dirBMP->Path());
        QCOMPARE(w.fileButtons->Path(), w.dirButtons->Path());
        const LayoutControls shown = Held(w);

        // Minimised: nothing is laid out, and no list is re-read.
        w.setWindowState(Qt::WindowMinimized);
        w.resize(700, 400);
        QTRY_COMPARE(w.size(), QSize(700, 400));
        WriteBitmap(dir + "/a.bmp", 2, 2, qRgb(0, 0, 0));
        WriteButton(dir + "/a.BTN", {"3"});
        w.Form_Resize();
        QVERIFY(Same(Held(w), shown));
        QCOMPARE(w.fileBMP->ListCount(), 1);
        QCOMPARE(w.fileButtons->ListCount(), 0);

        // Restoring alone lays it out for the size it has now and re-points
        // both file lists, which read the new file.
        w.setWindowState(Qt::WindowNoState);
        ExpectLayout(Held(w), Expected(design, w));
        QVERIFY(w.cmdOK->x() < shown.cmdOK.left / kTwips);
        QCOMPARE(w.fileBMP->ListCount(), 2);
        QCOMPARE(w.fileBMP->List(0), QStringLiteral("a.bmp"));
        QCOMPARE(w.fileButtons->ListCount(), 1);

        // A maximised window is laid out.
        w.setWindowState(Qt::WindowMaximized);
        QTRY_VERIFY(w.width() > 700);
        ExpectLayout(Held(w), Expected(design, w));
        QVERIFY(boxes.shown.isEmpty());
        StoreFolders(QString(), QString());
    }

    void theMinimumSizeKeepsEveryControlInside() {
        ScriptedMessageBoxes boxes;
        FrmMain w(&boxes);
        const LayoutControls design = Held(w);
        QTRY_VERIFY(w.isVisible());
        // The floor follows the width the buttons hold (41 pixels, 615
        // twips), and keeps the command column, whose Top never moves, in
        // the window with room below it.
        QCOMPARE(design.cmdToBMP.width, 615.0);
        const QSize floor = w.minimumSize();
        QVERIFY(floor.width() * kTwips >= MinimumLayoutWidth(615));
        QVERIFY(floor.height() * kTwips >= MinimumLayoutHeight(0, design.drvBMP.height));
        QVERIFY(floor.height() * kTwips >= 3972 + 60);

        w.resize(floor);
        QTRY_COMPARE(w.size(), floor);
        const LayoutControls c = Held(w);
        ExpectLayout(c, Expected(design, w));
        for (const TwipsRect& button : {c.cmdToButton, c.cmdToBMP, c.cmdOK, c.cmdAbout}) {
            QVERIFY(button.top + button.height <= floor.height() * kTwips);
            QVERIFY(button.left + button.width <= floor.width() * kTwips);
        }
        // At the floor the first sizes to run out still hold a pixel, and
        // not many more.
        QVERIFY(c.dirButtons.width > 0 && c.dirButtons.width <= 4 * kTwips);
        QVERIFY(c.dirBMP.height > 0);
        // So also without a frame (no window manager), where the outer size
        // is the client area's.
        LayoutControls frameless = design;
        ComputeLayout(frameless, floor.width() * kTwips, floor.height() * kTwips, KeepWholePixels);
        QVERIFY(frameless.dirButtons.width > 0);
        QVERIFY(frameless.dirBMP.height > 0);
    }

    void relayoutAtTheSameSizeChangesNothing() {
        ScriptedMessageBoxes boxes;
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
