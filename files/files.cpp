#include "files/files.h"

#include <QDir>
#include <QSet>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/atomic_file.h"

namespace tavrel {

QString ErrnoText(int err) {
    return QString::fromStdString(ErrnoString(err));
}

namespace {

// The file at path opened for reading, when it is a regular file (links
// followed), with its status; -1 with *error set otherwise.
int OpenRegularFd(const QString& path, struct stat* st, QString* error) {
    std::string why;
    const int fd = OpenRegularForReading(QFile::encodeName(path).toStdString(), st, &why);
    if (fd < 0) {
        *error = QString::fromStdString(why);
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

bool WriteToDescriptor(int fd, const QByteArray& data, QString* error) {
    int err = 0;
    if (!WriteAll(fd, std::string_view(data.constData(), static_cast<size_t>(data.size())), &err)) {
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
    WriteOptions write;
    write.sync = options.syncEachFile;
    if (options.mayReplace) {
        write.mayReplace = [&options](const struct stat& existing, std::string* refused) {
            QString text;
            if (options.mayReplace(existing, &text)) {
                return true;
            }
            *refused = text.toStdString();
            return false;
        };
    }
    std::string why;
    if (!WriteFileAtomically(QFile::encodeName(path).toStdString(),
                             std::string_view(data.constData(), static_cast<size_t>(data.size())),
                             write, &why)) {
        *error = QString::fromStdString(why);
        return false;
    }
    return true;
}

QString FinalLinkTarget(const QString& path, FileStatus* status) {
    // One lstat per step: most paths are no link, and then that is the only
    // call, where a batch would otherwise look each output up several times.
    std::string end;
    bool exists = false;
    struct stat st {};
    int err = 0;
    const bool followed =
        FollowLinks(QFile::encodeName(path).toStdString(), &end, &exists, &st, &err);
    if (status != nullptr) {
        *status = FileStatus{};
        if (followed && exists) {
            *status = {true, static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino),
                       static_cast<quint32>(st.st_mode)};
        }
    }
    return followed ? QFile::decodeName(QByteArray::fromStdString(end)) : path;
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
