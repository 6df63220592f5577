#include "files/files.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace tavrel {

QString ErrnoText(int err) {
    return QString::fromStdString(std::generic_category().message(err));
}

namespace {

const QString kNotRegular = QStringLiteral("Not a regular file");

// Why a file that is there but not a regular one is neither read nor
// replaced.
QString NotRegularText(mode_t mode) {
    return S_ISDIR(mode) ? ErrnoText(EISDIR) : kNotRegular;
}

// The file at path opened for reading, when it is a regular file (links
// followed), with its status; -1 with *error set otherwise. O_NONBLOCK so
// that opening a FIFO without a writer returns at once; the type check then
// refuses it.
int OpenRegularFd(const QString& path, struct stat* st, QString* error) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *error = ErrnoText(errno);
        return -1;
    }
    if (::fstat(fd, st) != 0) {
        const int err = errno;
        ::close(fd);
        *error = ErrnoText(err);
        return -1;
    }
    if (!S_ISREG(st->st_mode)) {
        ::close(fd);
        *error = NotRegularText(st->st_mode);
        return -1;
    }
    return fd;
}

}  // namespace

bool OpenRegularFile(const QString& path, QFile& file, QString* error) {
    struct stat st {};
    const int fd = OpenRegularFd(path, &st, error);
    if (fd < 0) {
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        *error = file.errorString();
        ::close(fd);
        return false;
    }
    return true;
}

SmallFileRead ReadSmallRegularFile(const QString& path, qint64 maxBytes, QByteArray* contents,
                                   QString* error) {
    struct stat st {};
    const int fd = OpenRegularFd(path, &st, error);
    if (fd < 0) {
        return SmallFileRead::Failed;
    }
    if (st.st_size > maxBytes) {
        ::close(fd);
        return SmallFileRead::TooLarge;
    }
    // Read to the end rather than to the size seen: a file may grow, and some
    // (those of /proc) show a size of 0 whatever they hold.
    const SmallFileRead read = ReadDescriptor(fd, st.st_size, maxBytes, contents, error);
    ::close(fd);
    return read;
}

SmallFileRead ReadDescriptor(int fd, qint64 sizeHint, qint64 maxBytes, QByteArray* contents,
                             QString* error) {
    // One more byte than the size hint, so that a file that has not changed
    // ends in one read.
    contents->resize(std::min<qint64>(std::max<qint64>(sizeHint + 1, 4096), maxBytes + 1));
    qint64 filled = 0;
    for (;;) {
        if (filled == contents->size()) {
            if (filled > maxBytes) {
                contents->clear();
                return SmallFileRead::TooLarge;
            }
            contents->resize(std::min<qint64>(2 * filled, maxBytes + 1));
        }
        const ssize_t n =
            ::read(fd, contents->data() + filled, static_cast<size_t>(contents->size() - filled));
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int err = errno;
            contents->clear();
            *error = ErrnoText(err);
            return SmallFileRead::Failed;
        }
        filled += n;
    }
    contents->truncate(filled);
    return SmallFileRead::Read;
}

bool ReadFileHead(const QString& path, qint64 maxBytes, QByteArray* head, qint64* fileSize,
                  QString* error) {
    struct stat st {};
    const int fd = OpenRegularFd(path, &st, error);
    if (fd < 0) {
        return false;
    }
    head->resize(std::min<qint64>(maxBytes, st.st_size));
    ssize_t n;
    do {
        n = ::read(fd, head->data(), static_cast<size_t>(head->size()));
    } while (n < 0 && errno == EINTR);
    const int err = errno;
    ::close(fd);
    if (n < 0) {
        *error = ErrnoText(err);
        return false;
    }
    head->truncate(n);
    *fileSize = st.st_size;
    return true;
}

namespace {

// As many links as the system follows in one look-up before it gives up
// with ELOOP.
constexpr int kMaxLinks = 40;

// Where a write to path lands, found as the system finds it: each link's
// target is read as bytes and put after the folder part of the path that
// led to it, untouched, so that the system itself resolves every folder (a
// link to a folder, ".." after one) when it looks the next step up. path
// itself when it is missing or its folder cannot be looked up: creating
// the file there then fails with the system's own reason.
struct LinkEnd {
    QByteArray path;
    bool exists = false;
    struct stat st {};
};

bool FollowLinks(QByteArray path, LinkEnd* end, int* err) {
    for (int links = 0;; ++links) {
        if (::lstat(path.constData(), &end->st) != 0) {
            if (path.endsWith('/')) {
                *err = EISDIR;  // a link to "name/": only a folder could be there
                return false;
            }
            end->path = path;
            end->exists = false;
            return true;
        }
        if (!S_ISLNK(end->st.st_mode)) {
            end->path = path;
            end->exists = true;
            return true;
        }
        if (links == kMaxLinks) {
            *err = ELOOP;
            return false;
        }
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t n = ::readlink(path.constData(), target.data(), target.size());
        if (n < 0 || n == target.size()) {
            *err = n < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        target.truncate(n);
        path = target.startsWith('/') ? target : path.left(path.lastIndexOf('/') + 1) + target;
    }
}

bool WriteAll(int fd, const QByteArray& data, int* err) {
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            *err = errno;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// Closes a file written so far with ok, synced first when asked; false with
// *err set when the write, the sync or the close failed.
bool SyncAndClose(int fd, bool sync, bool ok, int* err) {
    if (ok && sync && ::fsync(fd) != 0) {
        *err = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        *err = errno;
        ok = false;
    }
    return ok;
}

// The text for a read-only folder holding a writable file on a file system
// that cannot reserve the room for the new content first.
const QString kCannotReplaceSafely =
    QStringLiteral("the folder cannot be written and the file cannot be replaced safely");

// Rewrites the existing file in place, for a folder that takes no new file.
// Never cuts the old content short: the room for the whole new content is
// reserved first, and the old bytes are touched only once it is there.
bool WriteInPlace(const QByteArray& path, const QByteArray& data, bool sync, QString* error) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        *error = ErrnoText(errno);
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = NotRegularText(st.st_mode);
        return false;
    }
    // Copy-on-write file systems (btrfs, zfs, bcachefs) write every changed
    // block anew, so no reservation holds the room an overwrite takes.
    struct statfs fs {};
    const quint32 type = ::fstatfs(fd, &fs) == 0 ? static_cast<quint32>(fs.f_type) : 0;
    if (type == 0x9123683Eu || type == 0x2FC12FC1u || type == 0xCA451A4Eu) {
        ::close(fd);
        *error = kCannotReplaceSafely;
        return false;
    }
    const off_t newSize = static_cast<off_t>(data.size());
    if (newSize > 0 && ::fallocate(fd, 0, 0, newSize) != 0) {
        const int err = errno;
        if (newSize > st.st_size) {
            // A reservation that failed part-way may have grown the file.
            [[maybe_unused]] const int restored = ::ftruncate(fd, st.st_size);
        }
        ::close(fd);
        *error = err == EOPNOTSUPP || err == ENOSYS ? kCannotReplaceSafely : ErrnoText(err);
        return false;
    }
    int err = 0;
    bool ok = WriteAll(fd, data, &err);
    if (ok && newSize < st.st_size && ::ftruncate(fd, newSize) != 0) {
        err = errno;
        ok = false;
    }
    ok = SyncAndClose(fd, sync, ok, &err);
    if (!ok) {
        *error = ErrnoText(err);
    }
    return ok;
}

// The replaced file's owner, group and mode for the new one, as install and
// editors keep them. Where the owner or group cannot be kept, the set-id and
// sticky bits are not either: they would hand the old owner's rights to
// whoever wrote the new content.
bool KeepOwnerAndMode(int fd, const struct stat& old, int* err) {
    static const uid_t user = ::geteuid();
    static const gid_t group = ::getegid();
    mode_t mode = old.st_mode & 07777;
    if ((old.st_uid != user || old.st_gid != group) && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
        mode &= 0777;
    }
    if (::fchmod(fd, mode) != 0) {
        *err = errno;
        return false;
    }
    return true;
}

// Writes a temporary file beside the file the path's links end in and
// renames it over that file once complete: the link itself stays a link.
bool SaveReplacing(const QString& path, const QByteArray& data, bool sync, QString* error) {
    LinkEnd target;
    int err = 0;
    if (!FollowLinks(QFile::encodeName(path), &target, &err)) {
        *error = ErrnoText(err);
        return false;
    }
    if (target.exists && !S_ISREG(target.st.st_mode)) {
        *error = NotRegularText(target.st.st_mode);
        return false;
    }
    // A file the user may not write is not replaced, though its folder would
    // let a rename do it (a read-only file, another user's file).
    if (target.exists && ::faccessat(AT_FDCWD, target.path.constData(), W_OK, AT_EACCESS) != 0) {
        *error = ErrnoText(errno);
        return false;
    }
    const QByteArray folder = target.path.left(target.path.lastIndexOf('/') + 1);

    int fd = -1;
    QByteArray tempName;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        // Short, whatever the target's name: a long name plus a suffix
        // could exceed the file system's limit.
        tempName =
            folder + ".tavrel-" +
            QByteArray::number(QRandomGenerator::global()->generate64() & 0xffffffffffULL, 36) +
            ".tmp";
        // Readable by this user alone until it has the old file's owner
        // and mode: the old one may have been private.
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    target.exists ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        err = errno;
        if (target.exists && (err == EACCES || err == EPERM || err == EROFS)) {
            // The folder cannot take a new file, but the file itself may be
            // writable.
            return WriteInPlace(target.path, data, sync, error);
        }
        *error = ErrnoText(err);
        return false;
    }

    bool ok = WriteAll(fd, data, &err) && (!target.exists || KeepOwnerAndMode(fd, target.st, &err));
    ok = SyncAndClose(fd, sync, ok, &err);
    if (ok && ::rename(tempName.constData(), target.path.constData()) != 0) {
        err = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(tempName.constData());
        *error = ErrnoText(err);
        return false;
    }
    return true;
}

}  // namespace

bool WriteToDescriptor(int fd, const QByteArray& data, QString* error) {
    int err = 0;
    if (!WriteAll(fd, data, &err)) {
        *error = ErrnoText(err);
        return false;
    }
    return true;
}

bool SaveFileAtomically(const QString& path, const QByteArray& data, const SaveOptions& options,
                        QString* error) {
    if (options.writeInstead) {
        return options.writeInstead(data, error);
    }
    return SaveReplacing(path, data, options.syncEachFile, error);
}

QString FinalLinkTarget(const QString& path, FileStatus* status) {
    // One lstat per step: most paths are no link, and then that is the only
    // call, where a batch would otherwise look each output up several times.
    LinkEnd end;
    int err = 0;
    const bool followed = FollowLinks(QFile::encodeName(path), &end, &err);
    if (status != nullptr) {
        *status = FileStatus{};
        if (followed && end.exists) {
            const struct stat& st = end.st;
            *status = {true, static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino),
                       static_cast<quint32>(st.st_mode)};
        }
    }
    return followed ? QFile::decodeName(end.path) : path;
}

bool FileNameLess(const QString& a, const QString& b) {
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    if (folded != 0) {
        return folded < 0;
    }
    return QString::compare(a, b, Qt::CaseSensitive) < 0;
}

QString MatchExistingName(const QStringList& existingNames, const QString& name) {
    const QString* best = nullptr;
    for (const QString& existing : existingNames) {
        if (existing == name) {
            return name;
        }
        if (existing.compare(name, Qt::CaseInsensitive) == 0 &&
            (best == nullptr || FileNameLess(existing, *best))) {
            best = &existing;
        }
    }
    return best != nullptr ? *best : name;
}

QString ExistingNameIgnoringCase(const QString& folder, const QString& name) {
    const QDir dir(folder);
    // Name filters are wildcards, so a name holding "[" or "*" could not be
    // used as one: compare every entry instead.
    return MatchExistingName(dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort),
                             name);
}

QList<SyncFailure> SyncFileSystems(const QStringList& paths) {
    QList<SyncFailure> failures;
    QSet<quint64> done;
    for (const QString& path : paths) {
        const QByteArray native = QFile::encodeName(path);
        const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            continue;
        }
        struct stat st {};
        if (::fstat(fd, &st) == 0 && !done.contains(static_cast<quint64>(st.st_dev))) {
            done.insert(static_cast<quint64>(st.st_dev));
            // A write-back failure shows up here, the only place a batch
            // learns of it.
            if (::syncfs(fd) != 0) {
                failures.append({path, ErrnoText(errno)});
            }
        }
        ::close(fd);
    }
    return failures;
}

}  // namespace tavrel
