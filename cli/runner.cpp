#include "cli/runner.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>
#include <QStringList>

#include <cerrno>

#include <atomic>
#include <chrono>
#include <climits>
#include <clocale>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cwchar>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <locale.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "button_format/button_format.h"
#include "cli/memory_budget.h"
#include "conversion/bitmap_to_button.h"
#include "conversion/button_render.h"
#include "conversion/drawing_to_bitmap.h"
#include "conversion/message_boxes.h"
#include "conversion/messages.h"
#include "files/console.h"
#include "files/files.h"
#include "picture/bitmap_header.h"
#include "picture/picture_surface.h"

namespace tavrel::cli {

namespace {

// The most of a picture read from standard input: what the picture reader's
// own limit lets it decode.
constexpr qint64 kMaxPipedPicture = qint64(kPictureMemoryLimitMB) << 20;

std::atomic<bool> gInterrupted{false};
// Set while the run reads standard input, which may wait for ever.
std::atomic<bool> gAwaitingInput{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
    gInterrupted.store(true);
    if (gAwaitingInput.load()) {
        // Nothing is written before standard input has been read whole, and
        // a producer that sends nothing would hold the run for ever: it ends
        // at once. Standard input is always the run's one file.
        static constexpr char kText[] = "tavrel-convert: interrupted: 1 of 1 files not converted\n";
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, kText, sizeof kText - 1);
        ::_exit(130);
    }
}

// Reads standard input through read, unless a signal has come: one that comes
// while it waits ends the run in OnInterrupt. False when interrupted.
template <typename Read>
bool ReadStandardInput(Read&& read) {
    gAwaitingInput.store(true);
    // A signal caught just before it was set did not end the run.
    const bool go = !gInterrupted.load();
    if (go) {
        read();
    }
    gAwaitingInput.store(false);
    return go;
}

// Starts body on a thread of its own; false when the system starts no more
// (a limit on the user's processes, no memory for a stack): the run then
// goes on with the threads it has.
template <typename Body>
bool StartThread(std::vector<std::thread>& threads, Body&& body) {
    try {
        threads.emplace_back(std::forward<Body>(body));
        return true;
    } catch (const std::system_error&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// The first Ctrl-C (or SIGTERM, or a hang-up of the terminal) lets the files
// being converted finish (so no temporary file is left behind) and starts no
// new one; a second one ends the program at once, as the handler resets
// itself. A signal the caller set to be ignored (nohup) stays ignored. A
// closed standard output is no reason to die before the final sync: SIGPIPE
// is ignored and the failed write counts as an interruption.
void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigset_t caught;
    sigemptyset(&caught);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) {
            sigaction(signal, &action, nullptr);
            sigaddset(&caught, signal);
        }
    }
    // A mask inherited from the caller would hold them back for good.
    sigprocmask(SIG_UNBLOCK, &caught, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

// Output folders, made when a file is about to be written into one, so that
// jobs that write nothing leave no folder behind. Shared by the workers.
class FolderMaker {
  public:
    // Makes folder as mkdir -p does, each step of the path as given, so that
    // ".." after a link goes where the system takes it. True when the folder
    // was missing and has been made in this run (by this or another worker,
    // maybe as the parent of another), so that a save that failed for its
    // lack is worth another go; false with *err set when one cannot be made.
    bool Make(const QString& folder, int* err) {
        const std::lock_guard lock(mutex_);
        QByteArray path = QFile::encodeName(folder);
        while (path.size() > 1 && path.endsWith('/')) {
            path.chop(1);
        }
        bool madeAny = false;
        for (qsizetype end = 1; end <= path.size(); ++end) {
            if (end < path.size() && (path[end] != '/' || path[end - 1] == '/')) {
                continue;
            }
            const QByteArray step = path.left(end);
            if (::mkdir(step.constData(), 0777) == 0) {
                made_.push_back(step);
                madeSet_.insert(step);
                madeAny = true;
            } else if (errno != EEXIST) {
                *err = errno;
                return false;
            }
        }
        return madeAny || madeSet_.contains(path);
    }

    // Removes the folders made in this run that nothing was written into,
    // the last made first; a folder that holds anything stays.
    void RemoveUnused() {
        const std::lock_guard lock(mutex_);
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
            ::rmdir(it->constData());
        }
    }

  private:
    std::mutex mutex_;
    std::vector<QByteArray> made_;  // in the order made
    QSet<QByteArray> madeSet_;
};

// The width of a button file's first row, which fixes the drawing's, from the
// file's head (the whole file when whole): the widest there is where the
// head does not tell (a first row after a run of blanks), 0 for no row.
qint64 FirstRowWidth(const QByteArray& head, bool whole) {
    struct First : btn::RowSink {
        bool Row(std::string_view) override { return false; }
    } first;
    btn::Reader reader(btn::Limits{}, &first);
    if (reader.Feed(head.constData(), static_cast<size_t>(head.size())) && whole) {
        reader.Finish();
    }
    if (reader.RowCount() > 0) {
        return static_cast<qint64>(reader.Width());
    }
    return whole ? 0 : kMaxButtonColumns;
}

}  // namespace

qint64 EstimatedPeakBytes(const QString& input, Direction direction, const QByteArray* whole) {
    QByteArray head = whole != nullptr ? *whole : QByteArray();
    qint64 fileSize = head.size();
    QString error;
    // The header is near the start; a button file's first row may be 32 KiB.
    const qint64 headBytes = direction == Direction::ToButton ? 4096 : kMaxButtonColumns + 64;
    if (whole == nullptr && !ReadFileHead(input, headBytes, &head, &fileSize, &error)) {
        return 0;
    }
    if (direction == Direction::ToBmp) {
        const qint64 width = FirstRowWidth(head, head.size() == fileSize);
        if (width > kMaxButtonColumns) {
            return 0;  // refused once its first row is read
        }
        // Drawn: a raster of the first row's width and the most rows (later
        // rows may be short, which fails the drawing only once it is held),
        // beside the rows read, no more than the file holds.
        const qint64 rows = kMaxButtonRows;
        const qint64 drawn =
            4 * (width + 3) * (rows + 3) + std::min(fileSize, rows * (kMaxButtonColumns + 64));
        // Converted: every row as wide as the first, so the file holds them
        // all: the drawing, the working box and the crop, 4 bytes a pixel
        // each, the bitmap's 3, and 1 for what the allocator rounds up
        // (measured: 15.0 for the largest file).
        const qint64 full = std::min(rows, fileSize / (width + 7) + 1);
        return std::max(drawn, 16 * (width + 3) * (full + 3));
    }
    // A picture: the working box, the crop, a decoded copy and the text, 13
    // bytes a pixel. A bitmap's size comes from its own header, also where
    // Qt's reader cannot read that; only a picture whose size comes later
    // (a JPEG after a large thumbnail) is looked at whole.
    const BitmapPlan bitmap = PlanBitmap(head.left(kBitmapHeadBytes), fileSize);
    QSize size(int(std::min<qint64>(bitmap.width, INT_MAX)),
               int(std::min<qint64>(bitmap.rows, INT_MAX)));
    int depth = 32;
    if (bitmap.route == BitmapRoute::NotABitmap) {
        QBuffer buffer(&head);
        buffer.open(QIODevice::ReadOnly);
        // The name's extension first, as the loader does: asking every
        // format whether it can read the header costs more than the read.
        QImageReader reader(&buffer, QFileInfo(input).suffix().toLatin1().toLower());
        QFile file;
        if (!reader.size().isValid() && fileSize > head.size() &&
            OpenRegularFile(input, file, &error)) {
            reader.setDevice(&file);
        }
        size = reader.size();
        depth = QImage::toPixelFormat(reader.imageFormat()).bitsPerPixel();
    }
    if (bitmap.route == BitmapRoute::Refused || !size.isValid()) {
        return 0;
    }
    // The reader refuses a picture over its limit unread.
    const qint64 pixels = qint64(size.width()) * size.height();
    const qint64 limit = qint64(QImageReader::allocationLimit()) << 20;
    return limit > 0 && pixels * depth / 8 > limit ? 0 : pixels * 13;
}

namespace {

// Lets go of the files that outputs replace, on helper threads. Renaming a
// new file over an old one frees the old one's storage inside the rename, and
// where the file system hands freed blocks back to the device at once (ext4
// mounted with "discard" and without a journal, as on the machine the batch
// was measured on), every rename waits about a millisecond for the device:
// two thirds of a 500-file batch. Held open, the old file is freed only when
// it is closed here instead, off the conversions and several at a time.
class Releaser {
  public:
    ~Releaser() { Finish(); }

    // The regular file at path, held (as a path only: nothing is opened, so
    // no permission is needed and no device is touched); -1 when there is
    // none, and then nothing changes.
    static int Hold(const QString& path) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_PATH | O_CLOEXEC);
        struct stat st {};
        if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    void Release(int fd) {
        if (fd < 0) {
            return;
        }
        {
            const std::lock_guard lock(mutex_);
            // A helper starts only when a file waits and none is free, so a
            // run that replaces nothing starts none; where none can start,
            // the file is let go of here. Bounded, so a slow device cannot
            // pile up open files.
            if (!finished_ && idle_ == 0 && threads_.size() < kThreads) {
                StartThread(threads_, [this] { closeQueued(); });
            }
            if (!finished_ && !threads_.empty() && queue_.size() < kMaxQueued) {
                queue_.push_back(fd);
                wake_.notify_one();
                return;
            }
        }
        ::close(fd);
    }

    // Closes everything still held; the final sync comes after this.
    void Finish() {
        {
            const std::lock_guard lock(mutex_);
            finished_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_) {
            t.join();
        }
        threads_.clear();
    }

  private:
    static constexpr int kThreads = 4;
    static constexpr size_t kMaxQueued = 64;

    void closeQueued() {
        for (;;) {
            std::unique_lock lock(mutex_);
            ++idle_;
            wake_.wait(lock, [this] { return finished_ || !queue_.empty(); });
            --idle_;
            if (queue_.empty()) {
                return;
            }
            const int fd = queue_.front();
            queue_.pop_front();
            lock.unlock();
            ::close(fd);
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<int> queue_;
    int idle_ = 0;  // helpers waiting for a file
    bool finished_ = false;
    std::vector<std::thread> threads_;
};

// Nobody is there to answer: every message becomes one line, and the
// question is answered Cancel (or OK), so the file is given up and the run
// goes on. One exception: a save that fails because its output folder is
// missing makes the folder and answers Retry once.
class PrintedBoxes : public MessageBoxes {
  public:
    PrintedBoxes(const Job& job, FolderMaker& folders) : job_(job), folders_(folders) {}

    Answer RetryCancel(const QString& text, const QString& title) override {
        if (title == kSaveTitle && !madeFolder_ && !job_.outputFolder.isEmpty()) {
            madeFolder_ = true;
            int err = 0;
            if (folders_.Make(job_.outputFolder, &err)) {
                return Answer::Retry;
            }
            if (err != 0) {
                // Why the folder is missing, not that it is.
                texts.append(FailureText(kSaveAction, job_.output, ErrnoText(err)));
                return Answer::Cancel;
            }
        }
        texts.append(text);
        return Answer::Cancel;
    }
    void OkOnly(const QString& text, const QString&) override { texts.append(text); }

    QStringList texts;

  private:
    const Job& job_;
    FolderMaker& folders_;
    bool madeFolder_ = false;
};

// The window's picture boxes, placed where the window places them. Each job
// has its own: the core keeps no state of its own, so workers share nothing,
// and what a large picture held is given back with its share of the budget.
struct Surfaces {
    Surfaces() {
        buttons.Move(5280, 3360, 3012, 492);
        working.Move(6600, 4080, 852, 492);
        out.Move(960, 4080, 852, 492);
    }
    PictureSurface buttons{2, false};  // the drawing keeps its whole raster
    PictureSurface working{2, true};
    PictureSurface out{2, true};
};

struct Outcome {
    bool ready = false;
    bool written = false;
    QStringList messages;
};

// The conversion of a job that may go ahead, its messages in boxes. False
// when interrupted while it waited for standard input.
bool ConvertFile(const Job& job, PrintedBoxes& boxes, const SaveOptions& save, QByteArray& picture,
                 bool pictureRead, bool* written) {
    Surfaces s;
    if (job.direction == Direction::ToButton) {
        // A picture reader looks ahead and back, which a pipe cannot do:
        // standard input is read whole first.
        QString error;
        SmallFileRead read = SmallFileRead::Read;
        if (job.fromStandardInput && !ReadStandardInput([&] {
                read = ReadDescriptor(STDIN_FILENO, 0, kMaxPipedPicture, &picture, &error);
            })) {
            return false;
        }
        if (read != SmallFileRead::Read) {
            if (error.isEmpty()) {
                error =
                    QStringLiteral("more than %1 MB on standard input").arg(kMaxPipedPicture >> 20);
            }
            boxes.OkOnly(FailureText(kLoadAction, job.input, error), kLoadTitle);
            return true;
        }
        *written = ConvertBitmapToButton(job.input, job.output, s.working, s.out, boxes, save,
                                         job.fromStandardInput || pictureRead ? &picture : nullptr);
        return true;
    }
    ButtonSize size;
    DrawResult drawn = DrawResult::NothingRead;
    QFile piped;
    if (!job.fromStandardInput) {
        drawn = DrawButtonFile(job.input, s.buttons, boxes, size);
    } else if (piped.open(STDIN_FILENO, QIODevice::ReadOnly)) {
        if (!ReadStandardInput(
                [&] { drawn = DrawButtonFile(job.input, piped, s.buttons, boxes, size); })) {
            return false;
        }
    } else {
        // Never the file named "-" in the current folder instead.
        boxes.OkOnly(FailureText(kOpenAction, job.input, piped.errorString()), kOpenTitle);
    }
    // An empty file draws nothing without a word; the conversion then says
    // there is nothing to convert, as the window's would.
    if (drawn == DrawResult::Drawn || (drawn == DrawResult::NothingRead && boxes.texts.isEmpty())) {
        *written = ConvertDrawingToBitmap(s.buttons, size, s.working, s.out, job.output, boxes,
                                          save) == BitmapResult::Written;
    }
    return true;
}

Outcome Convert(const Job& job, const Plan& plan, FolderMaker& folders, MemoryBudget& memory) {
    Outcome outcome;
    outcome.ready = true;
    if (!job.failure.isEmpty()) {
        outcome.messages.append(job.failure);
        return outcome;
    }
    PrintedBoxes boxes(job, folders);
    const QString& action = job.direction == Direction::ToButton ? kLoadAction : kOpenAction;
    qint64 held = 0;  // of the budget
    try {
        // A small picture file is read once, as the loader would read it,
        // for the estimate and the conversion alike; one that cannot be read
        // is left to the conversion to report.
        QByteArray picture;
        QString unread;
        const bool pictureRead = job.direction == Direction::ToButton && !job.fromStandardInput &&
                                 ReadSmallRegularFile(job.input, kPictureReadWholeLimit, &picture,
                                                      &unread) == SmallFileRead::Read;
        // Standard input has nothing to look at beforehand; it runs alone.
        const qint64 peak =
            job.fromStandardInput
                ? 0
                : EstimatedPeakBytes(job.input, job.direction, pictureRead ? &picture : nullptr);
        if (!memory.Take(peak)) {
            outcome.messages.append(
                FailureText(action, job.input, QStringLiteral("not enough memory")));
            return outcome;
        }
        held = peak;
        if (gInterrupted.load()) {
            // Interrupted while it waited for room: it never started.
            memory.Give(held);
            return Outcome{};
        }
        SaveOptions save{false};
        if (job.toStandardOutput) {
            save.writeInstead = [](const QByteArray& data, QString* error) {
                return WriteToDescriptor(STDOUT_FILENO, data, error);
            };
        }
        // Where the write lands is looked at again as it is written: a link
        // planted since the run was planned may lead to an input.
        save.mayReplace = [&plan](const struct stat& st, QString* why) {
            const auto input = plan.inputs.constFind(
                FileKey{static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)});
            if (input == plan.inputs.constEnd()) {
                return true;
            }
            *why = QStringLiteral("it would replace %1, an input of this run").arg(*input);
            return false;
        };
        const bool started = ConvertFile(job, boxes, save, picture, pictureRead, &outcome.written);
        memory.Give(std::exchange(held, 0));
        if (!started) {
            return Outcome{};
        }
    } catch (const std::bad_alloc&) {
        // What Qt's containers throw where the conversion's own checks could
        // not see it coming: the file fails, the run goes on.
        memory.Give(held);
        boxes.texts.append(FailureText(action, job.input, NotEnoughMemoryText()));
    }
    outcome.messages = std::move(boxes.texts);
    return outcome;
}

// The longest start of text that takes at most columns on a terminal, each
// character by its display width: two for most of a double-width script,
// none for a combining mark. Widths are Unicode's, whatever the locale.
QString FitColumns(const QString& text, int columns) {
    static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    const locale_t previous = utf8 != locale_t{} ? ::uselocale(utf8) : locale_t{};
    int used = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        char32_t c = text[end].unicode();
        qsizetype next = end + 1;
        if (QChar::isHighSurrogate(c) && next < text.size() && text[next].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[end], text[next++]);
        }
        // A character without a width of its own (unassigned) takes one.
        const int shown = ::wcwidth(static_cast<wchar_t>(c));
        const int width = shown < 0 ? 1 : shown;
        if (used + width > columns) {
            break;
        }
        used += width;
        end = next;
    }
    if (previous != locale_t{}) {
        ::uselocale(previous);
    }
    return text.left(end);
}

// False when the stream could not take the text.
bool WriteOut(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    const size_t size = static_cast<size_t>(bytes.size());
    return std::fwrite(bytes.constData(), 1, size, stream) == size && std::fflush(stream) == 0;
}

// Prints what the workers finish in input order, whatever order they finish
// in, so the output does not depend on the number of jobs; keeps the
// progress line on a terminal.
class Reporter {
  public:
    Reporter(const std::vector<Job>& jobs, const Options& options)
        : jobs_(jobs), options_(options), outcomes_(jobs.size()) {
        progress_ = !options.quiet && jobs.size() > 1 && ::isatty(STDERR_FILENO) == 1;
    }

    void Done(size_t index, Outcome outcome) {
        const std::lock_guard lock(mutex_);
        outcomes_[index] = std::move(outcome);
        ++done_;
        lastName_ = jobs_[index].input;
        while (next_ < outcomes_.size() && outcomes_[next_].ready) {
            report(next_++);
        }
        drawProgress(done_ == jobs_.size());
    }

    // Reports what is left (after an interruption, jobs that finished after
    // one that never started).
    void ReportRest() {
        const std::lock_guard lock(mutex_);
        for (; next_ < outcomes_.size(); ++next_) {
            if (outcomes_[next_].ready) {
                report(next_);
            }
        }
        clearProgress();
    }

    // A message about a folder rather than a file; it fails the run.
    void FolderFailed(const QString& folder, const QString& text) {
        const std::lock_guard lock(mutex_);
        clearProgress();
        failed_ = true;
        WriteOut(stderr, QStringLiteral("tavrel-convert: ") + Printable(folder) +
                             QStringLiteral(": ") + Printable(text) + QLatin1Char('\n'));
    }

    // Prints the count of files not converted. Returns the exit status.
    int Finish(bool interrupted) {
        const std::lock_guard lock(mutex_);
        const size_t notConverted = jobs_.size() - written_;
        if (interrupted) {
            WriteOut(stderr, QStringLiteral("tavrel-convert: interrupted: %1 of %2 files not "
                                            "converted\n")
                                 .arg(notConverted)
                                 .arg(jobs_.size()));
        } else if (!options_.quiet && jobs_.size() > 1 && notConverted > 0) {
            WriteOut(stderr, QStringLiteral("tavrel-convert: %1 of %2 files not converted\n")
                                 .arg(notConverted)
                                 .arg(jobs_.size()));
        }
        if (interrupted) {
            return 130;
        }
        return failed_ ? 1 : 0;
    }

    // The folders written into (where the writes landed), for the sync at
    // the end: as the path to the file names them, since a link in it may
    // lead anywhere.
    QStringList WrittenFolders() const {
        QSet<QString> folders;
        for (size_t i = 0; i < jobs_.size(); ++i) {
            if (outcomes_[i].written && !jobs_[i].toStandardOutput) {
                const QString& target = jobs_[i].target;
                folders.insert(QDir::current().filePath(target.left(target.lastIndexOf('/') + 1)));
            }
        }
        QStringList sorted(folders.begin(), folders.end());
        sorted.sort();  // so a failed sync always names the same folder
        return sorted;
    }

  private:
    void report(size_t index) {
        const Job& job = jobs_[index];
        const Outcome& outcome = outcomes_[index];
        if (!outcome.written || !outcome.messages.isEmpty()) {
            failed_ = true;
        }
        if (outcome.written) {
            ++written_;
        }
        if (outcome.messages.isEmpty() && !(options_.verbose && outcome.written)) {
            return;
        }
        clearProgress();
        // Where the output itself goes to standard output, the list goes
        // with the messages.
        if (options_.verbose && outcome.written && !stdoutClosed_ &&
            !WriteOut(job.toStandardOutput ? stderr : stdout,
                      Printable(job.input) + QStringLiteral(" -> ") + Printable(job.output) +
                          QLatin1Char('\n'))) {
            // Nobody reads the list any more (| head): stop as on Ctrl-C.
            const int err = errno;
            stdoutClosed_ = true;
            gInterrupted.store(true);
            WriteOut(stderr, QStringLiteral("tavrel-convert: standard output: ") + ErrnoText(err) +
                                 QLatin1Char('\n'));
        }
        for (const QString& text : outcome.messages) {
            WriteOut(stderr, QStringLiteral("tavrel-convert: ") + Printable(job.input) +
                                 QStringLiteral(": ") + PrintableMessage(text) + QLatin1Char('\n'));
        }
    }

    void drawProgress(bool force) {
        if (!progress_) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!force && shown_ && now - lastDraw_ < std::chrono::milliseconds(50)) {
            return;
        }
        lastDraw_ = now;
        QString line =
            QStringLiteral("[%1/%2] %3").arg(done_).arg(jobs_.size()).arg(Printable(lastName_));
        winsize size{};
        if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) {
            // Never wrap: a wrapped line could not be overwritten in place.
            line = FitColumns(line, size.ws_col - 1);
        }
        WriteOut(stderr, QStringLiteral("\r\033[K") + line);
        shown_ = true;
    }

    void clearProgress() {
        if (shown_) {
            WriteOut(stderr, QStringLiteral("\r\033[K"));
            shown_ = false;
        }
    }

    const std::vector<Job>& jobs_;
    const Options& options_;
    std::mutex mutex_;
    std::vector<Outcome> outcomes_;
    size_t next_ = 0;
    size_t done_ = 0;
    size_t written_ = 0;
    bool failed_ = false;
    bool progress_ = false;
    bool shown_ = false;
    bool stdoutClosed_ = false;
    QString lastName_;
    std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace

int RunJobs(const Plan& plan, const Options& options) {
    const std::vector<Job>& jobs = plan.jobs;
    CatchInterrupts();
    // The loader puts its allocation limit in force when first used; the
    // estimates of the first jobs must see it too.
    QString unused;
    LoadPicture(QString(), &unused);
    Reporter reporter(jobs, options);
    FolderMaker folders;
    MemoryBudget memory(MemoryBudget::ForThisMachine());
    Releaser releaser;
    std::atomic<size_t> next{0};
    auto work = [&] {
        while (!gInterrupted.load()) {
            const size_t index = next.fetch_add(1);
            if (index >= jobs.size()) {
                break;
            }
            const Job& job = jobs[index];
            const int replaced = job.failure.isEmpty() ? Releaser::Hold(job.target) : -1;
            Outcome outcome = Convert(job, plan, folders, memory);
            releaser.Release(replaced);
            reporter.Done(index, std::move(outcome));
        }
    };
    const size_t workers = std::min<size_t>(static_cast<size_t>(options.jobs), jobs.size());
    std::vector<std::thread> threads;
    threads.reserve(workers);
    while (threads.size() + 1 < workers && StartThread(threads, work)) {
    }
    work();
    for (std::thread& t : threads) {
        t.join();
    }
    releaser.Finish();
    folders.RemoveUnused();
    reporter.ReportRest();
    // One sync for the whole run instead of one per file.
    // A write-back failure is reported against the first folder written on
    // that file system.
    for (const SyncFailure& failure : SyncFileSystems(reporter.WrittenFolders())) {
        reporter.FolderFailed(failure.path, failure.error);
    }
    return reporter.Finish(gInterrupted.load());
}

}  // namespace tavrel::cli
