#include "platform/files.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <system_error>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavrel {

QString ErrnoText(int err) {
    return QString::fromStdString(std::generic_category().message(err));
}

namespace {

const QString kNotRegular = QStringLiteral("Not a regular file");

#ifdef Q_OS_UNIX
// Why a file that is there but not a regular one is neither read nor
// replaced.
QString NotRegularText(mode_t mode) {
    return S_ISDIR(mode) ? ErrnoText(EISDIR) : kNotRegular;
}
#endif

}  // namespace

#ifdef Q_OS_UNIX

namespace {

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
    // (those of /proc) show a size of 0 whatever they hold. One more byte
    // than the size, so that a file that has not changed ends in one read.
    contents->resize(std::min<qint64>(std::max<qint64>(st.st_size + 1, 4096), maxBytes + 1));
    qint64 filled = 0;
    for (;;) {
        if (filled == contents->size()) {
            if (filled > maxBytes) {
                ::close(fd);
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
            ::close(fd);
            contents->clear();
            *error = ErrnoText(err);
            return SmallFileRead::Failed;
        }
        filled += n;
    }
    ::close(fd);
    contents->truncate(filled);
    return SmallFileRead::Read;
}

#else

bool OpenRegularFile(const QString& path, QFile& file, QString* error) {
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *error = info.isDir() ? QStringLiteral("Is a directory") : kNotRegular;
        return false;
    }
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    return true;
}

SmallFileRead ReadSmallRegularFile(const QString&, qint64, QByteArray*, QString*) {
    return SmallFileRead::TooLarge;
}

#endif

namespace {

// A target that exists but is not a regular file (a folder, a FIFO, a device)
// is refused rather than replaced.
#ifdef Q_OS_UNIX
bool Replaceable(const FileStatus& existing, QString* error) {
    if (existing.exists && !S_ISREG(existing.mode)) {
        *error = NotRegularText(existing.mode);
        return false;
    }
    return true;
}

bool TargetIsReplaceable(const QString& path, QString* error) {
    FileStatus existing;
    FinalLinkTarget(path, &existing);
    return Replaceable(existing, error);
}
#else
bool TargetIsReplaceable(const QString& path, QString* error) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return true;
    }
    if (info.isDir()) {
        *error = QStringLiteral("Is a directory");
        return false;
    }
    if (!info.isFile()) {
        *error = kNotRegular;
        return false;
    }
    return true;
}
#endif

bool SaveWithQSaveFile(const QString& path, const QByteArray& data, QString* error) {
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    // Unbuffered: a write that fails in the buffer's final flush inside
    // commit() goes unnoticed by QSaveFile in Qt 6.4, which then renames the
    // truncated file over the target. Written directly, every failure counts.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    errno = 0;
    if (file.write(data) != data.size()) {
        // QSaveFile may describe a failed write only as "Unknown error"; the
        // system's own reason (a full disk, say) is what the user needs.
        const int err = errno;
        *error = err != 0 ? ErrnoText(err) : file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

#ifdef Q_OS_UNIX

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

// The same contract as QSaveFile, without its per-file fsync: QSaveFile always
// syncs on commit, which costs milliseconds per file in a batch of hundreds.
bool SaveWithoutSync(const QString& path, const QByteArray& data, QString* error) {
    FileStatus existing;
    const QString target = FinalLinkTarget(path, &existing);
    if (!Replaceable(existing, error)) {
        return false;
    }
    const bool exists = existing.exists;
    const QByteArray nativeTarget = QFile::encodeName(target);
    const qsizetype slash = target.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QStringLiteral(".") : target.left(slash);

    int fd = -1;
    QByteArray tempName;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        const QString suffix =
            QString::number(QRandomGenerator::global()->generate64() & 0xffffffffffULL, 36);
        // Short, whatever the target's name: a long name plus a suffix
        // could exceed the file system's limit.
        tempName = QFile::encodeName(folder + QStringLiteral("/.tavrel-") + suffix +
                                     QStringLiteral(".tmp"));
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        const int err = errno;
        if (exists && (err == EACCES || err == EPERM || err == EROFS)) {
            // The folder cannot take a new file, but the file itself may be
            // writable: write in place, as QSaveFile's fallback does.
            const int direct = ::open(nativeTarget.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            if (direct < 0) {
                *error = ErrnoText(errno);
                return false;
            }
            int writeErr = 0;
            const bool ok = WriteAll(direct, data, &writeErr);
            if (::close(direct) != 0 && ok) {
                *error = ErrnoText(errno);
                return false;
            }
            if (!ok) {
                *error = ErrnoText(writeErr);
                return false;
            }
            return true;
        }
        *error = ErrnoText(err);
        return false;
    }

    int err = 0;
    bool ok = WriteAll(fd, data, &err);
    if (ok && exists && ::fchmod(fd, existing.mode & 07777) != 0) {
        err = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        err = errno;
        ok = false;
    }
    if (ok && ::rename(tempName.constData(), nativeTarget.constData()) != 0) {
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

#endif

}  // namespace

bool SaveFileAtomically(const QString& path, const QByteArray& data, const SaveOptions& options,
                        QString* error) {
#ifdef Q_OS_UNIX
    if (!options.syncEachFile) {
        return SaveWithoutSync(path, data, error);  // checks the target itself
    }
#else
    Q_UNUSED(options);
#endif
    if (!TargetIsReplaceable(path, error)) {
        return false;
    }
    return SaveWithQSaveFile(path, data, error);
}

QString FinalLinkTarget(const QString& path, FileStatus* status) {
    // As QSaveFile does, so that the file replaced is the one the link names.
    constexpr int kMaxLinks = 40;
    QString current = path;
#ifdef Q_OS_UNIX
    // One lstat per step: most paths are no link, and then that is the only
    // call, where a batch would otherwise look each output up several times.
    struct stat st {};
    bool found = false;
    for (int depth = 0;; ++depth) {
        const QByteArray native = QFile::encodeName(current);
        if (::lstat(native.constData(), &st) != 0) {
            break;
        }
        if (!S_ISLNK(st.st_mode)) {
            found = true;
            break;
        }
        if (depth == kMaxLinks) {
            found = ::stat(native.constData(), &st) == 0;  // as the system follows it
            break;
        }
        current = QFileInfo(current).symLinkTarget();
    }
    if (status != nullptr) {
        *status = FileStatus{};
        if (found) {
            *status = {true, static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino),
                       static_cast<quint32>(st.st_mode)};
        }
    }
#else
    for (int depth = 0; depth < kMaxLinks; ++depth) {
        const QFileInfo info(current);
        if (!info.isSymLink()) {
            break;
        }
        current = info.symLinkTarget();
    }
    if (status != nullptr) {
        *status = FileStatus{};
        status->exists = QFileInfo::exists(current);
    }
#endif
    return current;
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
#ifdef Q_OS_UNIX
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
#else
    Q_UNUSED(paths);
#endif
    return failures;
}

}  // namespace tavrel
