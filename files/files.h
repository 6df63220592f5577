#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <sys/stat.h>

#include <functional>

namespace tavrel {

// Opens path for reading, but only when it names a regular file (links
// followed). A folder, FIFO, socket or device fails at once with a
// description; nothing ever blocks waiting for a writer.
bool OpenRegularFile(const QString& path, QFile& file, QString* error);

enum class SmallFileRead { Read, TooLarge, Failed };

// Reads the regular file at path (links followed) whole into *contents, with
// one open and a read or two, when it holds at most maxBytes: a decoder's
// many small reads and seeks then cost no system calls, which a batch of
// hundreds of small files feels. TooLarge leaves a larger file unread, for
// OpenRegularFile to stream; Failed sets *error as OpenRegularFile would.
SmallFileRead ReadSmallRegularFile(const QString& path, qint64 maxBytes, QByteArray* contents,
                                   QString* error);

// Up to maxBytes from the start of the regular file at path (links
// followed), for a look at its header, and the file's size; fails as
// OpenRegularFile would. One open and one read.
bool ReadFileHead(const QString& path, qint64 maxBytes, QByteArray* head, qint64* fileSize,
                  QString* error);

// Reads an open descriptor (a pipe, say) to its end into *contents when it
// holds at most maxBytes; TooLarge, with nothing kept, when it holds more.
// sizeHint: the size expected, 0 when unknown.
SmallFileRead ReadDescriptor(int fd, qint64 sizeHint, qint64 maxBytes, QByteArray* contents,
                             QString* error);

// Writes all of data to an open descriptor (standard output, say).
bool WriteToDescriptor(int fd, const QByteArray& data, QString* error);

// The system's description of an errno value ("No such file or directory").
QString ErrnoText(int err);

struct SaveOptions {
    SaveOptions() = default;
    // SaveOptions{false} is a batch caller's.
    explicit SaveOptions(bool sync) : syncEachFile(sync) {}

    // The window syncs each file it writes. A batch caller turns this off and
    // calls SyncFileSystems once at the end, which is far quicker.
    bool syncEachFile = true;
    // Where set, the bytes go here instead (standard output, say): no file
    // is looked up, made or replaced, and path only names them in messages.
    std::function<bool(const QByteArray& data, QString* error)> writeInstead;
    // Asked about the file about to be replaced (the end of a link chain),
    // with its status, just before it is; false with *why refuses the save.
    std::function<bool(const struct stat& existing, QString* why)> mayReplace;
};

// Replaces (or creates) path with exactly data, atomically: the bytes go to a
// temporary file beside the target, which is renamed over it only when
// complete. A link keeps being a link: the file its chain ends in is
// replaced. An existing file keeps its permissions, and its owner and group
// where the process may set them (otherwise it loses its set-id and sticky
// bits); on failure it is left as it was and no temporary file remains. An
// existing file the user may not write is not replaced. Where the folder
// itself cannot be written but the existing file can, the file is written in
// place, once the room for the whole new content is reserved (never on a
// copy-on-write file system, where no reservation holds).
bool SaveFileAtomically(const QString& path, const QByteArray& data, const SaveOptions& options,
                        QString* error);

// What FinalLinkTarget found at the end of a chain.
struct FileStatus {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    quint32 mode = 0;  // type and permissions, as stat gives them
};

// Where a write to path lands: links followed to the end of their chain as
// the system follows them (at most 40; a longer chain or a loop then fails
// when written). path itself otherwise.
// With status, also what is there, links followed, at no further cost.
QString FinalLinkTarget(const QString& path, FileStatus* status = nullptr);

// The name to write a new file under in a folder: an existing entry whose
// name equals name without regard to case is the file to replace, keeping its
// own spelling (an exact match first, otherwise the first in name order);
// otherwise name itself. So a case-sensitive file system behaves like one
// where the names are one file.
QString MatchExistingName(const QStringList& existingNames, const QString& name);
QString ExistingNameIgnoringCase(const QString& folder, const QString& name);

// Orders file names the way the file lists show them: without regard to
// case, then by their exact text.
bool FileNameLess(const QString& a, const QString& b);

// A file system whose flush reported a failure to write something back: the
// first of the paths given on it, and the system's description.
struct SyncFailure {
    QString path;
    QString error;
};

// Flushes the file systems holding these paths (files or folders) to disk,
// each once. Empty when every flush succeeded.
QList<SyncFailure> SyncFileSystems(const QStringList& paths);

}  // namespace tavrel
