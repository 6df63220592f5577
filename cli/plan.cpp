#include "cli/plan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/files.h"

namespace tavrel::cli {

namespace {

const QString kBmpExtension = QStringLiteral(".bmp");
const QString kBtnExtension = QStringLiteral(".btn");

// folder + "/" + name, without doubling a slash the folder already ends in.
QString Join(const QString& folder, const QString& name) {
    if (folder.isEmpty()) {
        return name;
    }
    if (name.isEmpty()) {
        return folder;
    }
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// The folder part of a path as given ("" for a bare name) and the name.
void SplitPath(const QString& path, QString* folder, QString* name) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    *folder = slash < 0 ? QString() : path.left(slash + 1);
    *name = path.mid(slash + 1);
}

bool MatchesDirection(const QString& name, Direction direction) {
    return name.endsWith(direction == Direction::ToButton ? kBmpExtension : kBtnExtension,
                         Qt::CaseInsensitive);
}

FileKey KeyOf(const struct stat& st) {
    return {static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
}

struct Entry {
    QString name;
    bool validName = true;  // false when the bytes are not valid UTF-8
    bool isFolder = false;  // a folder itself, not a link to one
    bool isLinkToFolder = false;
    bool isFile = false;        // a regular file, links followed
    std::optional<FileKey> id;  // of a file whose identity was asked for
};

enum class Hidden { Skip, Include };

// The entries of a folder. Read by their bytes: QDir leaves out a name that
// is not valid UTF-8 without a word, and an empty listing for a folder that
// cannot be read. The kinds come from the listing itself where the file
// system gives them, so most entries cost no further call; the regular files
// whose names wantsId accepts are identified while the folder is open, which
// spares a look-up of the whole path for each.
template <typename WantsId>
bool ReadFolder(const QString& folder, Hidden hidden, WantsId wantsId, QList<Entry>* entries,
                QString* error) {
    DIR* dir = ::opendir(QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder));
    if (dir == nullptr) {
        *error = ErrnoText(errno);
        return false;
    }
    const int fd = ::dirfd(dir);
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir);
        if (e == nullptr) {
            break;
        }
        if (e->d_name[0] == '.' && (hidden == Hidden::Skip || e->d_name[1] == 0 ||
                                    (e->d_name[1] == '.' && e->d_name[2] == 0))) {
            continue;
        }
        const QByteArray raw(e->d_name);
        Entry entry;
        entry.name = QFile::decodeName(raw);
        entry.validName = QFile::encodeName(entry.name) == raw;
        unsigned char type = e->d_type;
        struct stat st {};
        if (type == DT_UNKNOWN && ::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            type = S_ISDIR(st.st_mode)   ? DT_DIR
                   : S_ISREG(st.st_mode) ? DT_REG
                   : S_ISLNK(st.st_mode) ? DT_LNK
                                         : DT_UNKNOWN;
        }
        entry.isFolder = type == DT_DIR;
        bool statted = false;
        if (type == DT_LNK) {
            statted = ::fstatat(fd, e->d_name, &st, 0) == 0;
            entry.isLinkToFolder = statted && S_ISDIR(st.st_mode);
            entry.isFile = statted && S_ISREG(st.st_mode);
        } else {
            entry.isFile = type == DT_REG;
        }
        if (entry.isFile && wantsId(entry.name)) {
            if (!statted) {
                statted = ::fstatat(fd, e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
            }
            if (statted) {
                entry.id = KeyOf(st);
            }
        }
        entries->append(std::move(entry));
    }
    const int err = errno;
    ::closedir(dir);
    if (err != 0) {
        *error = ErrnoText(err);
        return false;
    }
    return true;
}

std::optional<FileKey> FileId(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path.isEmpty() ? QStringLiteral(".") : path).constData(), &st) !=
        0) {
        return std::nullopt;
    }
    return KeyOf(st);
}

// A standard descriptor's identity where it is a regular file: standard
// output may be an input too ("1<>logo.btn").
std::optional<FileKey> StandardFileId(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return KeyOf(st);
}

// Written over while it is read, the input would be lost: refused as cat
// refuses it.
const QString kInputIsOutput = QStringLiteral("input file is output file");

// A folder's identity: its file identity once it exists, its cleaned
// absolute path while it does not (then nothing is in it yet).
QString FolderKey(const QString& folder) {
    if (const std::optional<FileKey> id = FileId(folder)) {
        return QStringLiteral("%1:%2").arg(id->device).arg(id->inode);
    }
    return QDir::cleanPath(
        QFileInfo(folder.isEmpty() ? QStringLiteral(".") : folder).absoluteFilePath());
}

class Planner {
  public:
    explicit Planner(const Options& options) : options_(options) {}

    Plan Run() {
        if (options_.fromStandardInput) {
            if (::isatty(STDIN_FILENO) == 1) {
                plan_.usageError = QStringLiteral(
                    "- (standard input) is a terminal: pipe or redirect a picture or button "
                    "file into it");
                return std::move(plan_);
            }
            Job job;
            job.input = job.output = QStringLiteral("-");
            job.direction = options_.direction;
            job.fromStandardInput = job.toStandardOutput = true;
            const std::optional<FileKey> in = StandardFileId(STDIN_FILENO);
            if (in && in == StandardFileId(STDOUT_FILENO)) {
                job.failure = kInputIsOutput;
            }
            plan_.jobs.push_back(std::move(job));
            return refuseBitmapsToATerminal();
        }
        for (const InputPath& given : options_.paths) {
            const QString& path = given.path;
            if (!given.validName) {
                addFailure(path, kInvalidFileName);
                continue;
            }
            struct stat st {};
            const int err = ::stat(QFile::encodeName(path).constData(), &st) == 0 ? 0 : errno;
            if (err == 0 && S_ISDIR(st.st_mode)) {
                if (options_.toStandardOutput) {
                    plan_.usageError =
                        QStringLiteral("-o - (standard output) takes a file, not the folder %1")
                            .arg(path);
                    return std::move(plan_);
                }
                if (options_.direction == Direction::ByName) {
                    plan_.usageError =
                        QStringLiteral(
                            "%1 is a folder: give --to-button or --to-bmp to convert "
                            "the files in it")
                            .arg(path);
                    return std::move(plan_);
                }
                scanFolder(path, QString());
            } else {
                addFile(path, err, st);
            }
        }
        decideOutputs();
        return refuseBitmapsToATerminal();
    }

  private:
    // A bitmap's bytes would only garble a terminal, and may hold sequences
    // that drive it.
    Plan refuseBitmapsToATerminal() {
        for (const Job& job : plan_.jobs) {
            if (job.toStandardOutput && job.direction == Direction::ToBmp &&
                job.failure.isEmpty() && ::isatty(STDOUT_FILENO) == 1) {
                plan_.usageError = QStringLiteral(
                    "a bitmap is not written to a terminal: redirect standard output");
            }
        }
        return std::move(plan_);
    }

    struct Pending {
        Job job;
        QString outputName;  // before the case rule
        bool exists = false;
    };

    inline static const QString kInvalidFileName =
        QStringLiteral("not converted: its name is not valid UTF-8");

    // A path given that is no folder; err is why it could not be looked up
    // (0 when st holds what it is).
    void addFile(const QString& path, int err, const struct stat& st) {
        QString folder, name;
        SplitPath(path, &folder, &name);
        const bool exists = err == 0;
        if (exists) {
            noteInput(KeyOf(st), path);
        }
        Direction direction = options_.direction;
        if (direction == Direction::ByName) {
            if (MatchesDirection(name, Direction::ToButton)) {
                direction = Direction::ToButton;
            } else if (MatchesDirection(name, Direction::ToBmp)) {
                direction = Direction::ToBmp;
            }
        }
        Pending p;
        p.job.input = path;
        p.job.direction = direction;
        p.exists = exists;
        if (direction == Direction::ByName) {
            p.job.failure = exists ? QStringLiteral(
                                         "not a bitmap (.bmp) or button file (.btn); "
                                         "--to-button or --to-bmp converts it anyway")
                                   : ErrnoText(err);
        } else {
            p.job.outputFolder = options_.outputDir.isEmpty() ? folder : options_.outputDir;
            p.outputName = OutputName(name, direction);
        }
        pending_.push_back(std::move(p));
    }

    // Every matching regular file of root/sub, in name order; then, with -r,
    // its subfolders (links to folders are not followed), whatever their
    // names. Names beginning with "." are left out.
    void scanFolder(const QString& root, const QString& sub) {
        const QString folder = Join(root, sub);
        QList<Entry> entries;
        const auto isInput = [this](const QString& name) {
            return MatchesDirection(name, options_.direction);
        };
        if (QString error; !ReadFolder(folder, Hidden::Skip, isInput, &entries, &error)) {
            addFailure(folder, error);  // a folder that cannot be read is no empty folder
            return;
        }
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return FileNameLess(a.name, b.name); });
        const QString outputFolder =
            Join(options_.outputDir.isEmpty() ? root : options_.outputDir, sub);
        QStringList folders;
        for (const Entry& entry : entries) {
            const QString path = Join(folder, entry.name);
            if (entry.isFolder) {
                if (!options_.recursive) {
                    continue;
                }
                if (entry.validName) {
                    folders.append(entry.name);
                } else {
                    addFailure(path, QStringLiteral("not searched: its name is not valid UTF-8"));
                }
                continue;
            }
            if (!MatchesDirection(entry.name, options_.direction)) {
                continue;
            }
            if (!entry.validName) {
                addFailure(path, kInvalidFileName);
                continue;
            }
            if (!entry.isFile) {
                continue;  // a FIFO, device, socket or dangling link
            }
            if (entry.id) {
                noteInput(*entry.id, path);
            }
            Pending p;
            p.job.input = path;
            p.job.direction = options_.direction;
            p.job.outputFolder = outputFolder;
            p.outputName = OutputName(entry.name, options_.direction);
            p.exists = true;
            pending_.push_back(std::move(p));
        }
        for (const QString& child : folders) {
            scanFolder(root, Join(sub, child));
        }
    }

    void addFailure(const QString& path, const QString& text) {
        Pending p;
        p.job.input = path;
        p.job.direction = options_.direction;
        p.job.failure = text;
        pending_.push_back(std::move(p));
    }

    // Remembers an existing input by its identity, for the check that no
    // output replaces it. Other names of the same file (links, hard links)
    // are inputs of their own: each has its own output.
    void noteInput(const FileKey& id, const QString& path) {
        if (!plan_.inputs.contains(id)) {
            plan_.inputs.insert(id, path);
        }
    }

    // A folder's entry: the folder's identity and the name. Two spellings of
    // one entry give the same key; two names of one file do not.
    QString entryKey(const QString& folder, const QString& name) {
        auto known = entryFolders_.constFind(folder);
        if (known == entryFolders_.constEnd()) {
            known = entryFolders_.insert(folder, FolderKey(folder));
        }
        return *known + QLatin1Char('/') + name;
    }

    // The output folder as the case rule sees it: its files, read once.
    const QHash<QString, QStringList>& OutputFolder(const QString& folder) {
        auto known = folders_.constFind(folder);
        if (known != folders_.constEnd()) {
            return *known;
        }
        // Every entry but folders (links followed), hidden ones included:
        // what the window's own look-up lists. None when it cannot be read.
        QHash<QString, QStringList> byFoldedName;
        QList<Entry> entries;
        QString error;
        ReadFolder(
            folder, Hidden::Include, [](const QString&) { return false; }, &entries, &error);
        for (const Entry& entry : entries) {
            if (entry.validName && !entry.isFolder && !entry.isLinkToFolder) {
                byFoldedName[entry.name.toCaseFolded()].append(entry.name);
            }
        }
        return *folders_.insert(folder, std::move(byFoldedName));
    }

    void decideOutputs() {
        // Outputs claimed so far: an existing file by its identity, a new
        // one by its folder and case-folded name, since a later output
        // differing only in case would replace it. A link is claimed where
        // the write lands: at the end of its chain.
        QHash<FileKey, QString> claimedFiles;
        QHash<QString, QString> claimedNames;
        QSet<QString> seen;  // input and output entries, to skip a repeat
        for (Pending& p : pending_) {
            Job& job = p.job;
            QString inFolder, inName;
            SplitPath(job.input, &inFolder, &inName);
            const QString inputKey = entryKey(inFolder, inName);
            if (!job.failure.isEmpty()) {
                if (!seen.contains(inputKey)) {
                    seen.insert(inputKey);
                    plan_.jobs.push_back(std::move(job));
                }
                continue;
            }
            if (options_.toStandardOutput) {
                job.outputFolder.clear();
                job.output = QStringLiteral("-");
                job.toStandardOutput = true;
                const std::optional<FileKey> out = StandardFileId(STDOUT_FILENO);
                if (out && out == FileId(job.input)) {
                    job.failure = kInputIsOutput;
                }
                plan_.jobs.push_back(std::move(job));
                continue;
            }
            const QString name = MatchExistingName(
                OutputFolder(job.outputFolder).value(p.outputName.toCaseFolded()), p.outputName);
            job.output = Join(job.outputFolder, name);
            // The same file named twice for the same output: once is enough.
            const QString repeatKey =
                inputKey + QLatin1Char('\n') + entryKey(job.outputFolder, name);
            if (seen.contains(repeatKey)) {
                continue;
            }
            seen.insert(repeatKey);

            FileStatus status;
            const QString target = FinalLinkTarget(job.output, &status);
            job.target = target;
            std::optional<FileKey> existing;
            QString claimedName;
            if (status.exists) {
                existing = FileKey{status.device, status.inode};
            } else {
                QString targetFolder, targetName;
                SplitPath(target, &targetFolder, &targetName);
                claimedName = entryKey(targetFolder, targetName.toCaseFolded());
            }

            const QString shownOutput =
                target == job.output ? job.output
                                     : QStringLiteral("%1 (a link to %2)").arg(job.output, target);
            const bool claimed =
                existing ? claimedFiles.contains(*existing) : claimedNames.contains(claimedName);
            if (existing && plan_.inputs.contains(*existing)) {
                job.failure = QStringLiteral(
                                  "not converted: its output would replace %1, an input of "
                                  "this run")
                                  .arg(plan_.inputs.value(*existing));
            } else if (claimed) {
                job.failure = QStringLiteral(
                                  "not converted: its output %1 is also the output "
                                  "of %2")
                                  .arg(shownOutput, existing ? claimedFiles.value(*existing)
                                                             : claimedNames.value(claimedName));
            } else if (p.exists) {
                // A missing input writes nothing, so it claims nothing.
                const QString claimant =
                    target == job.output
                        ? job.input
                        : QStringLiteral("%1, through the link %2").arg(job.input, job.output);
                if (existing) {
                    claimedFiles.insert(*existing, claimant);
                } else {
                    claimedNames.insert(claimedName, claimant);
                }
            }
            plan_.jobs.push_back(std::move(job));
        }
    }

    const Options& options_;
    Plan plan_;
    std::vector<Pending> pending_;
    QHash<QString, QString> entryFolders_;                 // folder as written -> key
    QHash<QString, QHash<QString, QStringList>> folders_;  // output folder -> files
};

}  // namespace

size_t qHash(const FileKey& key, size_t seed) {
    return qHashMulti(seed, key.device, key.inode);
}

QString OutputName(const QString& inputName, Direction direction) {
    const QString extension =
        direction == Direction::ToButton ? QStringLiteral(".Btn") : QStringLiteral(".bmp");
    if (MatchesDirection(inputName, direction)) {
        return inputName.chopped(4) + extension;
    }
    const qsizetype dot = inputName.lastIndexOf(QLatin1Char('.'));
    return (dot > 0 ? inputName.left(dot) : inputName) + extension;
}

Plan PlanRun(const Options& options) {
    return Planner(options).Run();
}

}  // namespace tavrel::cli
