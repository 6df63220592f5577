#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace tavrel {

// A volume as the drive lists offer it.
struct Volume {
    QString root;   // absolute path of its root folder: "/", "/media/usb"
    QString label;  // shown in brackets after the root
};

// Where the drive lists take their volumes from. The program asks the system
// for its mounted volumes; tests put folders of their own in their place, so
// that drive switching can be tried without real drives.
class VolumeProvider {
  public:
    virtual ~VolumeProvider() = default;

    virtual QList<Volume> Volumes() const = 0;

    // The volume that path lies on (the listed volume with the longest root
    // containing it); nothing for an empty path or one on no listed volume.
    // Drive texts name their own volume.
    std::optional<Volume> VolumeOf(const QString& pathOrDrive) const;

    // The folder a drive opens at: the working folder when it lies on that
    // volume, else the volume's root.
    QString CurrentFolder(const Volume& volume) const;
};

// The mounted volumes that a file manager would show: the root volume, the
// home folder's volume, and volumes on block devices (removable media too),
// without pseudo file systems.
class MountedVolumes : public VolumeProvider {
  public:
    QList<Volume> Volumes() const override;
};

// One entry of the system's mount table, as the drive filter needs it.
struct MountEntry {
    QString root;            // where it is mounted
    QString device;          // "/dev/sdb1", "proc", "tmpfs" ...
    QString fileSystemType;  // "ext4", "vfat", "proc" ...
    QString name;            // the volume's label; may be empty
    bool valid = true;       // the system could describe it
    bool isFolder = true;    // a folder is mounted there (not a single file)
};

// The volumes a file manager would show among mounts, in mount order: the
// root volume (rootPath), the home folder's volume (homeRoot) and volumes on
// block devices under /dev/ except loop devices; each root once, only
// folders, nothing the system could not describe. A volume is labelled by
// its name, else its device's file name, else its file system type. Never
// empty: with nothing left, the root folder alone.
QList<Volume> FileManagerVolumes(const QList<MountEntry>& mounts, const QString& rootPath,
                                 const QString& homeRoot);

// The drive list's text for a volume: "/media/usb [USB]". It never equals a
// folder path, so a folder list can tell the two apart.
QString DriveText(const Volume& volume);

// An absolute, clean form of a folder path: no "." or "..", no trailing "/"
// except at a root. Relative paths are taken from the working folder.
QString CleanFolderPath(const QString& path);

// True when path is a folder whose entries can be read; otherwise false with
// the system's description of why not.
bool CanListFolder(const QString& path, QString* error);

// True when path equals root or lies below it.
bool PathIsUnder(const QString& path, const QString& root);

}  // namespace tavrel
