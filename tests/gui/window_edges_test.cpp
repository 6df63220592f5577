// A drive entry whose volume went away since the list was read, and the
// About box's owner, which keeps it off the taskbar.

#include <QTimer>
#include <QWindow>

#include "about/frm_about.h"
#include "gui_test_support.h"
#include "platform/drive_list_box.h"
#include "platform/folder_list_box.h"

using namespace tavrel;
using namespace tavrel::testing;

namespace {

// Volumes that can be unmounted while the window runs.
struct ChangingVolumes : VolumeProvider {
    QList<Volume> Volumes() const override { return mounted; }
    QList<Volume> mounted;
};

}  // namespace

class WindowEdgesTest : public QObject, private CaseFolders {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() { QVERIFY(PrepareFolders()); }

    void aDriveUnmountedSinceTheListWasReadCannotBeOpened() {
        // D lies below the root volume: its entry's text is a path there.
        const QString root = Fresh();
        auto volumes = std::make_shared<ChangingVolumes>();
        volumes->mounted = {{root, "ROOT"}, {root + "/D", "D"}, {root + "/E", "E"}};
        for (const QString& folder : {root + "/work", root + "/D", root + "/E"}) {
            QDir().mkpath(folder);
        }
        ScriptedMessageBoxes boxes;
        FrmMain w(&boxes, volumes);
        QVERIFY(QTest::qWaitFor([&] { return w.isVisible(); }));
        QVERIFY(w.dirBMP->SetPath(root + "/work"));
        w.drvBMP->SetDrive(DriveText(volumes->mounted[2]));  // the root's folder remembered
        const QString gone = DriveText(volumes->mounted.takeAt(1));
        w.drvBMP->setCurrentIndex(w.drvBMP->findText(gone));  // as by the arrow keys
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].text,
                 "Unable to open drive " + gone + QChar(13) + "Error: No such file or directory");
        QVERIFY(boxes.shown[0].retryCancel);
        // Cancel: back on the drive and folder shown before.
        QCOMPARE(w.drvBMP->Drive(), DriveText(volumes->mounted[1]));
        QCOMPARE(w.dirBMP->Path(), root + "/E");
    }

    void theAboutBoxIsAnOwnedDialogWithoutAParentWidget() {
        Started s(Fresh());
        QVERIFY(s.Tick());
        s.w->activateWindow();  // as the click on its About button leaves it
        QVERIFY(QTest::qWaitForWindowActive(s.w.get()));
        bool checked = false;
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<FrmAbout*>(QApplication::activeModalWidget());
            QVERIFY(d != nullptr);
            d->close();
            QCOMPARE(d->windowFlags() & Qt::WindowType_Mask, Qt::Dialog);
            QVERIFY(d->parentWidget() == nullptr);
            QCOMPARE(d->windowHandle()->transientParent(), s.w->windowHandle());
            checked = true;
        });
        s.w->cmdAbout_Click();
        QVERIFY(checked);
    }
};

QTEST_MAIN(WindowEdgesTest)
#include "window_edges_test.moc"
