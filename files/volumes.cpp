#include "files/volumes.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <cerrno>

#include <dirent.h>

namespace tavrel {

bool PathIsUnder(const QString& path, const QString& root) {
    if (path.compare(root, Qt::CaseSensitive) == 0) {
        return true;
    }
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return path.startsWith(prefix, Qt::CaseSensitive);
}

std::optional<Volume> VolumeProvider::VolumeOf(const QString& pathOrDrive) const {
    if (pathOrDrive.isEmpty()) {
        return std::nullopt;
    }
    const QList<Volume> volumes = Volumes();
    for (const Volume& volume : volumes) {
        if (DriveText(volume) == pathOrDrive) {
            return volume;
        }
    }
    const QString path = CleanFolderPath(pathOrDrive);
    std::optional<Volume> best;
    for (const Volume& volume : volumes) {
        if (PathIsUnder(path, volume.root) && (!best || volume.root.size() > best->root.size())) {
            best = volume;
        }
    }
    return best;
}

QString VolumeProvider::CurrentFolder(const Volume& volume) const {
    const QString working = CleanFolderPath(QDir::currentPath());
    // The working folder may lie on a volume mounted inside this one.
    const std::optional<Volume> own = VolumeOf(working);
    if (own && own->root == volume.root) {
        return working;
    }
    return volume.root;
}

QList<Volume> MountedVolumes::Volumes() const {
    QList<MountEntry> mounts;
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
        mounts.append({info.rootPath(), QString::fromLocal8Bit(info.device()),
                       QString::fromLatin1(info.fileSystemType()), info.name(), info.isValid(),
                       QFileInfo(info.rootPath()).isDir()});
    }
    return FileManagerVolumes(mounts, QDir::rootPath(), QStorageInfo(QDir::homePath()).rootPath());
}

QList<Volume> FileManagerVolumes(const QList<MountEntry>& mounts, const QString& rootPath,
                                 const QString& homeRoot) {
    QList<Volume> volumes;
    QStringList seen;
    for (const MountEntry& mount : mounts) {
        const bool blockDevice = mount.device.startsWith(QLatin1String("/dev/")) &&
                                 !mount.device.startsWith(QLatin1String("/dev/loop"));
        const bool wanted = mount.root == rootPath || mount.root == homeRoot || blockDevice;
        // Containers bind-mount single files from block devices: only
        // folders are volumes.
        if (!wanted || !mount.valid || !mount.isFolder || seen.contains(mount.root)) {
            continue;
        }
        seen.append(mount.root);
        QString label = mount.name;
        if (label.isEmpty()) {
            label = QFileInfo(mount.device).fileName();
        }
        if (label.isEmpty()) {
            label = mount.fileSystemType;
        }
        volumes.append({CleanFolderPath(mount.root), label});
    }
    if (volumes.isEmpty()) {
        volumes.append({rootPath, QStringLiteral("root")});
    }
    return volumes;
}

QString DriveText(const Volume& volume) {
    return volume.root + QStringLiteral(" [") + volume.label + QLatin1Char(']');
}

QString CleanFolderPath(const QString& path) {
    if (path.isEmpty()) {
        return QString();
    }
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

bool CanListFolder(const QString& path, QString* error) {
    const QByteArray native = QFile::encodeName(path);
    DIR* dir = ::opendir(native.constData());
    if (dir == nullptr) {
        if (error != nullptr) {
            *error = qt_error_string(errno);
        }
        return false;
    }
    ::closedir(dir);
    return true;
}

}  // namespace tavrel
