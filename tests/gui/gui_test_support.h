#pragma once

// Helpers shared by the window's test suites: scripted message boxes, drives
// made of folders, a private settings store and file writers.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QList>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <utility>

#include "main_window/frm_main.h"
#include "platform/message_boxes.h"
#include "platform/volumes.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/test_files.h"

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

// A main window on drives C, D and E (the first `drives` of them), with
// scripted message boxes; Tick() waits for its start-up tick.
struct Started {
    std::unique_ptr<ScriptedMessageBoxes> boxes = std::make_unique<ScriptedMessageBoxes>();
    std::shared_ptr<FolderVolumes> volumes;
    std::unique_ptr<FrmMain> w;
    explicit Started(const QString& base, int drives = 3) {
        volumes = std::make_shared<FolderVolumes>(base, QStringList{"C", "D", "E"}.mid(0, drives));
        w = std::make_unique<FrmMain>(boxes.get(), volumes);
    }
    ~Started() { w.reset(); }
    bool Tick() {
        return QTest::qWaitFor([this] { return w->isVisible(); });
    }
};

// Points the per-user settings store and the home folder of this test
// process at folders of its own.
inline void UsePrivateSettings(const QTemporaryDir& dir) {
    QDir().mkpath(dir.path() + QStringLiteral("/settings"));
    QDir().mkpath(dir.path() + QStringLiteral("/home"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       dir.path() + QStringLiteral("/settings"));
    qputenv("HOME", QFile::encodeName(dir.path() + QStringLiteral("/home")));
}

// A suite's temporary folder, with the settings store and home folder inside
// it, and a fresh subfolder per case so that cases never see each other's files.
class CaseFolders {
  protected:
    QTemporaryDir tmp_;

    bool PrepareFolders() {
        if (!tmp_.isValid()) {
            return false;
        }
        UsePrivateSettings(tmp_);
        return true;
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
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tavrel"),
                     QStringLiteral("Tavrel"));
}

inline void StoreFolders(const QString& bmp, const QString& buttons) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tavrel"),
                       QStringLiteral("Tavrel"));
    settings.clear();
    if (!bmp.isNull()) {
        settings.setValue(QStringLiteral("Directory/BMP"), bmp);
    }
    if (!buttons.isNull()) {
        settings.setValue(QStringLiteral("Directory/Buttons"), buttons);
    }
}

// WriteAll, into a folder made when missing.
inline void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    WriteAll(path, bytes);
}

// A w by h bitmap filled with one colour.
inline void WriteBitmap(const QString& path, int w, int h, QRgb colour) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    image.save(path, "BMP");
}

// A button file of the given pixel rows.
inline void WriteButton(const QString& path, const QStringList& rows) {
    QByteArray text;
    for (int i = 0; i < rows.size(); ++i) {
        text += QStringLiteral("%1:").arg(i, 5, 10, QLatin1Char('0')).toLatin1() +
                rows[i].toLatin1() + "\r\n";
    }
    WriteFile(path, text);
}

}  // namespace tavrel::testing
