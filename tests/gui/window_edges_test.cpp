// A drive entry whose volume is gone, and the About box's owner.

#include "about/frm_about.h"
#include "gui_test_support.h"
#include "platform/drive_list_box.h"

using namespace tavrel;
using namespace tavrel::testing;

class WindowEdgesTest : public QObject {
    Q_OBJECT

    struct ChangingVolumes : VolumeProvider {
        QList<Volume> Volumes() const override { return mounted; }
        QList<Volume> mounted;
    };

  private Q_SLOTS:
    void aDriveEntryNamesItsVolumeAfterThatIsUnmounted() {
        // D lies on the root volume: its entry's text, read as a path, is there.
        auto volumes = std::make_shared<ChangingVolumes>();
        volumes->mounted = {{"/", "ROOT"}, {"/media/d", "D"}};
        DriveListBox drives(volumes);
        const QString gone = DriveText(volumes->mounted.takeLast());
        drives.setCurrentIndex(drives.findText(gone));  // as by the arrow keys or the wheel
        QCOMPARE(drives.Volumes().VolumeOf(drives.Drive())->root, QStringLiteral("/media/d"));
    }

    void theAboutBoxIsADialogOwnedByTheActiveWindow() {
        QWidget owner;
        owner.show();
        QVERIFY(QTest::qWaitForWindowActive(&owner));
        FrmAbout about;
        about.show();
        QCOMPARE(about.windowFlags() & Qt::WindowType_Mask, Qt::Dialog);
        QCOMPARE(about.windowHandle()->transientParent(), owner.windowHandle());
    }
};

QTEST_MAIN(WindowEdgesTest)
#include "window_edges_test.moc"
