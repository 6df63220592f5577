#pragma once

// Helpers shared by the window's test suites.

#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "files/volumes.h"
#include "main_window/frm_main.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/test_files.h"
#include "widgets/picture_box.h"

namespace tavrel::testing {

// The four grey levels of a button file, as a picture holds them.
inline constexpr QRgb kWhiteRgb = qRgb(255, 255, 255);
inline constexpr QRgb kLightRgb = qRgb(192, 192, 192);
inline constexpr QRgb kDarkRgb = qRgb(128, 128, 128);
inline constexpr QRgb kBlackRgb = qRgb(0, 0, 0);

// Drives that are folders: "C", "D", "E" ... under one temporary folder. A
// drive whose folder is removed is a drive without a medium.
class FolderVolumes : public VolumeProvider {
  public:
    explicit FolderVolumes(const QString& base, const QStringList& letters) {
        for (const QString& letter : letters) {
            const QString root = base + QLatin1Char('/') + letter;
            QDir().mkpath(root);
            volumes_.append({root, QStringLiteral("DRIVE_") + letter});
        }
    }
    QList<Volume> Volumes() const override { return volumes_; }
    QString Root(int i) const { return volumes_[i].root; }
    QString Text(int i) const { return DriveText(volumes_[i]); }

  private:
    QList<Volume> volumes_;
};

// A main window on drives C, D and E; Tick() waits for its start-up tick.
struct Started {
    std::unique_ptr<ScriptedMessageBoxes> boxes = std::make_unique<ScriptedMessageBoxes>();
    std::shared_ptr<FolderVolumes> volumes;
    std::unique_ptr<FrmMain> w;
    explicit Started(const QString& base, int drives = 3) {
        volumes = std::make_shared<FolderVolumes>(base, QStringList{"C", "D", "E"}.mid(0, drives));
        w = std::make_unique<FrmMain>(boxes.get(), volumes);
    }
    bool Tick() {
        return QTest::qWaitFor([this] { return w->isVisible(); });
    }
};

inline QRgb Pixel(const PictureBox* box, int x, int y) {
    return box->Surface().Image().pixel(x, y);
}

inline void Click(QPushButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

// The settings store and home folder in a folder of the suite's own.
class CaseFolders {
  protected:
    QTemporaryDir tmp_;

    bool PrepareFolders() {
        QDir().mkpath(tmp_.path() + QStringLiteral("/home"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           tmp_.path() + QStringLiteral("/settings"));
        qputenv("HOME", QFile::encodeName(tmp_.path() + QStringLiteral("/home")));
        return tmp_.isValid();
    }

    QString Fresh() {
        const QString dir = tmp_.path() + QStringLiteral("/case%1").arg(++case_);
        QDir().mkpath(dir);
        return dir;
    }

  private:
    int case_ = 0;
};

inline QSettings StoredSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tavrel", "Tavrel");
}

// The two folders the next window starts on (none stored for a null one).
inline void StoreFolders(const QString& bmp, const QString& buttons) {
    QSettings settings = StoredSettings();
    settings.clear();
    if (!bmp.isNull()) {
        settings.setValue(QStringLiteral("Directory/BMP"), bmp);
    }
    if (!buttons.isNull()) {
        settings.setValue(QStringLiteral("Directory/Buttons"), buttons);
    }
}

// A w by h bitmap of one colour, in a folder made when missing.
inline void WriteBitmap(const QString& path, int w, int h, QRgb colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    WriteAll(path, QByteArray());
    image.save(path, "BMP");
}

inline void WriteButton(const QString& path, const QStringList& rows) {
    WriteAll(path, ButtonText(rows));
}

}  // namespace tavrel::testing
