#include "cli/plan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <dirent.h>
#include <sys/stat.h>

#include "platform/files.h"

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

QString NoSuchFile() {
    return QString::fromStdString(std::generic_category().message(ENOENT));
}

struct Entry {
    QString name;
    bool validName = true;  // false when the bytes are not valid UTF-8
};

// The entries of a folder, names beginning with "." left out. Read by their
// bytes: QDir leaves out a name that is not valid UTF-8 without a word, and
// an empty listing for a folder that cannot be read.
bool ReadFolder(const QString& folder, QList<Entry>* entries, QString* error) {
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (dir == nullptr) {
        *error = QString::fromStdString(std::generic_category().message(errno));
        return false;
    }
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.') {
            continue;
        }
        const QByteArray raw(e->d_name);
        const QString name = QFile::decodeName(raw);
        entries->append({name, QFile::encodeName(name) == raw});
    }
    ::closedir(dir);
    return true;
}

class Planner {
  public:
    explicit Planner(const Options& options) : options_(options) {}

    Plan Run() {
        for (const QString& path : options_.paths) {
            const QFileInfo info(path);
            if (info.isDir()) {
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
                addFile(path, info);
            }
        }
        decideOutputs();
        return std::move(plan_);
    }

  private:
    struct Pending {
        Job job;
        QString outputName;  // before the case rule
        bool exists = false;
    };

    void addFile(const QString& path, const QFileInfo& info) {
        QString folder, name;
        SplitPath(path, &folder, &name);
        const bool exists = info.exists();
        if (exists && !noteInput(path)) {
            return;  // named twice
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
                                   : NoSuchFile();
        } else {
            p.job.outputFolder = options_.outputDir.isEmpty() ? folder : options_.outputDir;
            p.outputName = OutputName(name, direction);
        }
        pending_.push_back(std::move(p));
    }

    // Every matching regular file of root/sub, in name order; then, with -r,
    // its subfolders (links to folders are not followed). Names beginning
    // with "." are left out.
    void scanFolder(const QString& root, const QString& sub) {
        const QString folder = Join(root, sub);
        QList<Entry> entries;
        if (QString error; !ReadFolder(folder, &entries, &error)) {
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
            const QFileInfo info(path);
            if (!MatchesDirection(entry.name, options_.direction)) {
                if (options_.recursive && info.isDir() && !info.isSymLink()) {
                    folders.append(entry.name);
                }
                continue;
            }
            if (!entry.validName) {
                addFailure(path, QStringLiteral("not converted: its name is not valid UTF-8"));
                continue;
            }
            if (!info.isFile()) {
                continue;  // a folder, FIFO, device, socket or dangling link
            }
            if (!noteInput(path)) {
                continue;
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

    // Remembers an existing input; false when the same file came before.
    bool noteInput(const QString& path) {
        const QString id = FileId(path);
        if (id.isEmpty()) {
            return true;  // a dangling link: the converter reports it
        }
        if (inputs_.contains(id)) {
            return false;
        }
        inputs_.insert(id, path);
        return true;
    }

    // A file's identity, links followed: its device and inode, so that a
    // link or another spelling of a path is still the same file. Empty when
    // there is no such file.
    static QString FileId(const QString& path) {
        struct stat st {};
        if (::stat(QFile::encodeName(path.isEmpty() ? QStringLiteral(".") : path).constData(),
                   &st) != 0) {
            return QString();
        }
        return QStringLiteral("%1:%2").arg(st.st_dev).arg(st.st_ino);
    }

    // A folder's identity: its file identity once it exists, its cleaned
    // absolute path while it does not (then nothing is in it yet).
    struct Folder {
        QString key;
        QHash<QString, QStringList> byFoldedName;  // its files, read once
    };
    const Folder& OutputFolder(const QString& folder) {
        auto known = folders_.find(folder);
        if (known != folders_.end()) {
            return *known;
        }
        Folder f;
        f.key = FileId(folder);
        if (f.key.isEmpty()) {
            f.key = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
        } else {
            const QStringList names =
                QDir(folder.isEmpty() ? QStringLiteral(".") : folder)
                    .entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
            for (const QString& name : names) {
                f.byFoldedName[name.toCaseFolded()].append(name);
            }
        }
        return *folders_.insert(folder, std::move(f));
    }

    void decideOutputs() {
        // Outputs claimed so far: an existing file by its identity, a new
        // one by its folder and case-folded name, since a later output
        // differing only in case would replace it.
        QHash<QString, QString> claims;
        for (Pending& p : pending_) {
            Job& job = p.job;
            if (!job.failure.isEmpty()) {
                plan_.jobs.push_back(std::move(job));
                continue;
            }
            const Folder& folder = OutputFolder(job.outputFolder);
            const QString folded = p.outputName.toCaseFolded();
            const QString name = MatchExistingName(folder.byFoldedName.value(folded), p.outputName);
            job.output = Join(job.outputFolder, name);

            const QString existing = FileId(job.output);
            const QString claim =
                existing.isEmpty() ? folder.key + QLatin1Char('/') + folded : existing;
            if (!existing.isEmpty() && inputs_.contains(existing)) {
                job.failure = QStringLiteral(
                                  "not converted: its output would replace %1, an input of "
                                  "this run")
                                  .arg(inputs_.value(existing));
            } else if (claims.contains(claim)) {
                job.failure = QStringLiteral(
                                  "not converted: its output %1 is also the output "
                                  "of %2")
                                  .arg(job.output, claims.value(claim));
            } else if (p.exists) {
                // A missing input writes nothing, so it claims nothing.
                claims.insert(claim, job.input);
            }
            plan_.jobs.push_back(std::move(job));
        }
    }

    const Options& options_;
    Plan plan_;
    std::vector<Pending> pending_;
    QHash<QString, QString> inputs_;  // identity -> path as named
    QHash<QString, Folder> folders_;  // by the folder as written
};

}  // namespace

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
