#include "cli/runner.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

#include <sys/ioctl.h>
#include <unistd.h>

#include "conversion/bitmap_to_button.h"
#include "conversion/button_render.h"
#include "conversion/drawing_to_bitmap.h"
#include "platform/files.h"
#include "platform/message_boxes.h"
#include "platform/picture_surface.h"

namespace tavrel::cli {

namespace {

std::atomic<bool> gInterrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
    gInterrupted.store(true);
}

// The first Ctrl-C lets the files being converted finish (so no temporary
// file is left behind) and starts no new one; a second one ends the program
// at once, as the handler resets itself.
void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Nobody is there to answer: every message becomes one line, and the
// question is answered Cancel (or OK), so the file is given up and the run
// goes on.
class PrintedBoxes : public MessageBoxes {
  public:
    Answer RetryCancel(const QString& text, const QString&) override {
        texts.append(text);
        return Answer::Cancel;
    }
    void OkOnly(const QString& text, const QString&) override { texts.append(text); }

    QStringList texts;
};

// The window's scratch boxes, one set per worker: the core keeps no state of
// its own, so workers share nothing.
struct Surfaces {
    PictureSurface buttons;  // the drawing keeps its whole raster
    PictureSurface working{2, true};
    PictureSurface out{2, true};
};

struct Outcome {
    bool ready = false;
    bool written = false;
    QStringList messages;
};

Outcome Convert(const Job& job, Surfaces& s) {
    Outcome outcome;
    outcome.ready = true;
    if (!job.failure.isEmpty()) {
        outcome.messages.append(job.failure);
        return outcome;
    }
    PrintedBoxes boxes;
    const SaveOptions save{.syncEachFile = false};
    if (job.direction == Direction::ToButton) {
        outcome.written =
            ConvertBitmapToButton(job.input, job.output, s.working, s.out, boxes, save);
    } else {
        ButtonSize size;
        const DrawResult drawn = DrawButtonFile(job.input, s.buttons, boxes, size);
        // An empty file draws nothing without a word; the conversion then
        // says there is nothing to convert, as the window's would.
        if (drawn == DrawResult::Drawn ||
            (drawn == DrawResult::NothingRead && boxes.texts.isEmpty())) {
            outcome.written = ConvertDrawingToBitmap(s.buttons, size, s.working, s.out, job.output,
                                                     boxes, save) == BitmapResult::Written;
        }
    }
    outcome.messages = std::move(boxes.texts);
    return outcome;
}

void WriteOut(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
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
    // one that never started) and clears the progress line. Returns the exit
    // status.
    int Finish(bool interrupted) {
        const std::lock_guard lock(mutex_);
        for (; next_ < outcomes_.size(); ++next_) {
            if (outcomes_[next_].ready) {
                report(next_);
            }
        }
        clearProgress();
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
        std::fflush(stdout);
        std::fflush(stderr);
        if (interrupted) {
            return 130;
        }
        return failed_ ? 1 : 0;
    }

    // The folders written into, for the sync at the end.
    QStringList WrittenFolders() const {
        QSet<QString> folders;
        for (size_t i = 0; i < jobs_.size(); ++i) {
            if (outcomes_[i].written) {
                folders.insert(QFileInfo(jobs_[i].output).absolutePath());
            }
        }
        return QStringList(folders.begin(), folders.end());
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
        if (options_.verbose && outcome.written) {
            WriteOut(stdout, job.input + QStringLiteral(" -> ") + job.output + QLatin1Char('\n'));
            std::fflush(stdout);
        }
        for (QString text : outcome.messages) {
            // One line per message: the break between the action and the
            // error becomes a space.
            text.replace(QChar(13), QLatin1Char(' ')).replace(QChar(10), QLatin1Char(' '));
            WriteOut(stderr, QStringLiteral("tavrel-convert: ") + job.input + QStringLiteral(": ") +
                                 text + QLatin1Char('\n'));
        }
        std::fflush(stderr);
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
        QString line = QStringLiteral("[%1/%2] %3").arg(done_).arg(jobs_.size()).arg(lastName_);
        winsize size{};
        if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) {
            // Never wrap: a wrapped line could not be overwritten in place.
            line.truncate(size.ws_col - 1);
        }
        WriteOut(stderr, QStringLiteral("\r\033[K") + line);
        std::fflush(stderr);
        shown_ = true;
    }

    void clearProgress() {
        if (shown_) {
            WriteOut(stderr, QStringLiteral("\r\033[K"));
            std::fflush(stderr);
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
    QString lastName_;
    std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace

int RunJobs(const std::vector<Job>& jobs, const Options& options) {
    CatchInterrupts();
    // Each output folder is made once, before the first file is written. A
    // folder that cannot be made needs no message here: each save into it
    // then fails with the window's message.
    QSet<QString> folders;
    for (const Job& job : jobs) {
        if (job.failure.isEmpty() && !job.outputFolder.isEmpty() &&
            !folders.contains(job.outputFolder)) {
            folders.insert(job.outputFolder);
            QDir().mkpath(job.outputFolder);
        }
    }
    Reporter reporter(jobs, options);
    std::atomic<size_t> next{0};
    auto work = [&] {
        Surfaces surfaces;
        while (!gInterrupted.load()) {
            const size_t index = next.fetch_add(1);
            if (index >= jobs.size()) {
                break;
            }
            reporter.Done(index, Convert(jobs[index], surfaces));
        }
    };
    const size_t workers = std::min<size_t>(static_cast<size_t>(options.jobs), jobs.size());
    std::vector<std::thread> threads;
    for (size_t i = 1; i < workers; ++i) {
        threads.emplace_back(work);
    }
    work();
    for (std::thread& t : threads) {
        t.join();
    }
    // One sync for the whole run instead of one per file.
    SyncFileSystems(reporter.WrittenFolders());
    return reporter.Finish(gInterrupted.load());
}

}  // namespace tavrel::cli
