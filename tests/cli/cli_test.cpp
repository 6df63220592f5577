// End to end: the real tavrel-convert on temporary folders.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include "cli/runner.h"
#include "conversion/messages.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

using testing::ButtonText;
using testing::Entries;
using testing::Levels;
using testing::ReadAll;

struct Result {
    int exit = -1;
    QString out, err;
    Result(int e, const QString& o = {}, const QString& r = {}) : exit(e), out(o), err(r) {}
    bool operator==(const Result&) const = default;
};
void PrintTo(const Result& r, std::ostream* os) {
    *os << "exit " << r.exit << ", out \"" << r.out.toStdString() << "\", err \""
        << r.err.toStdString() << '"';
}
const Result kConverted(0);

// The program's messages on stderr, one line each.
QString Said(const QStringList& lines) {
    QString text;
    for (const QString& line : lines) {
        text += "tavrel-convert: " + line + "\n";
    }
    return text;
}

// A 4 by 4 bitmap with one pixel, which converts to that pixel's level.
QByteArray Dot(std::uint32_t rgb) {
    return testing::MakeBitmap(testing::WhiteBitmap(4, 4, {{1, 1, rgb}}));
}

class CliTest : public ::testing::Test {
  protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    void Put(const QString& name, const QByteArray& bytes) { testing::WriteAll(Path(name), bytes); }

    // Runs the program in the temporary folder; child runs in the child first.
    Result Run(const QStringList& args, std::function<void()> child = {},
               const QString& program = TAVREL_CONVERT_PATH) {
        QProcess process;
        process.setWorkingDirectory(dir_.path());
        process.setChildProcessModifier(child);
        process.start(program, args);
        EXPECT_TRUE(process.waitForFinished(-1));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }
    // Through the shell, which hands on names that are not UTF-8.
    Result Shell(const QString& command) {
        return Run({"-c", command, TAVREL_CONVERT_PATH}, {}, "/bin/sh");
    }
    // A name that is not UTF-8, which QTemporaryDir could not remove.
    void PutRaw(const QByteArray& name, bool folder = false) {
        raw_.prepend(QFile::encodeName(dir_.path()) + '/' + name);
        ASSERT_EQ(folder ? ::mkdir(raw_[0], 0755) : ::close(::creat(raw_[0], 0644)), 0);
    }
    void TearDown() override {
        for (const QByteArray& path : raw_) {
            ::remove(path.constData());
        }
    }

    QTemporaryDir dir_;
    QList<QByteArray> raw_;
};

TEST_F(CliTest, ConvertsByNameOrAsToldAndSaysInOneLineWhatFails) {
    // Wider and taller than the preview.
    const QByteArray tall = ("00000:" + QByteArray(250, '3') + "\r\n").repeated(1001);
    Put("Logo.BMP", Dot(0));
    Put("x.y.bmp", Dot(0x808080));
    Put("cr.btn", "00000:12\r00001:30\r");
    Put("up/bom.BTN", QByteArray("\xEF\xBB\xBF") + "00000:12\n00001:30\n");
    Put("junk.bmp", "not a bitmap");
    Put("blank.bmp", Dot(0xFFFFFF));
    Put("notes.txt", "text");
    Put("bad.btn", "00000:0120\r\n00001:01x0\r\n");
    Put("escape.btn", "00000:1\x1b[2J\r\n");
    Put("tall.btn", tall);
    QImage big(300, 1100, QImage::Format_RGB32);  // its drawing must not show through tall's
    big.fill(Qt::black);
    big.save(Path("big.bmp"));
    Put("two\r\nlines.bmp", "junk");
    ::mkfifo(QFile::encodeName(Path("pipe.btn")).constData(), 0600);
    const QStringList batch = {"Logo.BMP",         "x.y.bmp",    "cr.btn",  Path("up/bom.BTN"),
                               "junk.bmp",         "blank.bmp",  "no.bmp",  "notes.txt",
                               "bad.btn",          "escape.btn", "big.bmp", "tall.btn",
                               "two\r\nlines.bmp", "pipe.btn"};
    const Result four = Run(batch + QStringList{"-j4"});  // in order, whoever finishes first
    const Result once = Run(batch + QStringList{"-j1"});
    EXPECT_EQ(four, once);
    EXPECT_EQ(
        once,
        Result(
            1, "",
            R"(tavrel-convert: junk.bmp: Unable to load file junk.bmp Error: Unsupported image format
tavrel-convert: blank.bmp: Nothing to convert: the image has no content
tavrel-convert: no.bmp: Unable to load file no.bmp Error: No such file or directory
tavrel-convert: notes.txt: not a bitmap (.bmp) or button file (.btn); --to-button or --to-bmp converts it anyway
tavrel-convert: bad.btn: Unknown button value : ( 3, 2)x
tavrel-convert: escape.btn: Unknown button value : ( 2, 1)\x1b
tavrel-convert: tall.btn: Only the first 1000 rows of tall.btn are read
tavrel-convert: two\x0d\x0alines.bmp: Unable to load file two\x0d\x0alines.bmp Error: Unsupported image format
tavrel-convert: pipe.btn: Unable to open file pipe.btn Error: Not a regular file
tavrel-convert: 8 of 14 files not converted
)"));
    EXPECT_EQ(ReadAll(Path("Logo.Btn")) + ReadAll(Path("x.y.Btn")), "00000:3\r\n00000:2\r\n");
    EXPECT_EQ(Levels(QImage(Path("cr.bmp"))), (QStringList{"000", "012", "030"}));
    EXPECT_EQ(ReadAll(Path("up/bom.bmp")), ReadAll(Path("cr.bmp")));
    EXPECT_EQ(Levels(QImage(Path("tall.bmp"))).value(1000), "0" + QString(250, '3'));
    EXPECT_EQ(Entries(dir_.path()).size(), 18);  // no other file written
    EXPECT_EQ(Run({"tall.btn"}),
              Result(1, "", Said({"tall.btn: Only the first 1000 rows of tall.btn are read"})));
    // Forced, any picture is read; one too large without Qt's own warning.
    QImage photo(9, 7, QImage::Format_RGB32);
    photo.fill(Qt::white);
    photo.setPixel(4, 3, qRgb(190, 0, 0));
    photo.save(Path("photo.png"));
    Put("huge.ppm", "P6\n30000 30000\n255\n");
    EXPECT_EQ(
        Run({"-q", "--to-button", "photo.png", "huge.ppm"}),
        Result(1, "",
               Said({"huge.ppm: Unable to load file huge.ppm Error: Unable to read image data"})));
    EXPECT_EQ(ReadAll(Path("photo.Btn")), "00000:1\r\n");

    Put("blocker", "a file where the folder should be");
    EXPECT_EQ(
        Run({"-o", "blocker/sub", "Logo.BMP", "cr.btn"}),
        Result(1, "",
               Said({"Logo.BMP: Unable to save file blocker/sub/Logo.Btn Error: Not a directory",
                     "cr.btn: Unable to save file blocker/sub/cr.bmp Error: Not a directory",
                     "2 of 2 files not converted"})));
}

TEST_F(CliTest, FoldersSubfoldersAndAnOutputFolder) {
    for (const char* name : {"in/a.bmp", "in/.hidden.bmp", "in/.git/e.bmp", "in/set.bmp/x.bmp"}) {
        Put(name, Dot(0));
    }
    Put("in/B.BMP", Dot(0x808080));
    Put("in/notes.txt", "not a picture");
    Put("in/c.btn", ButtonText({"1"}));
    Put("in/sub/d.bmp", Dot(0xC0C0C0));
    Put("in/blank/white.bmp", Dot(0xFFFFFF));
    QFile::link(Path("in/sub"), Path("in/link"));  // followed, it would claim sub/d's output
    EXPECT_EQ(Run({"--to-button", "in"}), kConverted);
    EXPECT_EQ(Entries(Path("in")).filter(".Btn"), QStringList({"B.Btn", "a.Btn"}));
    EXPECT_EQ(
        Run({"-r", "--to-button", "--verbose", "-o", "out/new", "in/"}),
        Result(1,
               "in/a.bmp -> out/new/a.Btn\nin/B.BMP -> out/new/B.Btn\n"
               "in/set.bmp/x.bmp -> out/new/set.bmp/x.Btn\nin/sub/d.bmp -> out/new/sub/d.Btn\n",
               Said({"in/blank/white.bmp: Nothing to convert: the image has no content",
                     "1 of 5 files not converted"})));
    EXPECT_EQ(ReadAll(Path("out/new/sub/d.Btn")), "00000:1\r\n");
    EXPECT_EQ(Entries(Path("out/new")), QStringList({"B.Btn", "a.Btn", "set.bmp", "sub"}));
    EXPECT_EQ(Run({"--to-bmp", "-q", "in"}), kConverted);
    EXPECT_EQ(Levels(QImage(Path("in/c.bmp"))), (QStringList{"00", "01"}));
    // A FIFO is passed over; names that are not UTF-8 are reported.
    QDir(dir_.path()).mkdir("odd");
    ::mkfifo(QFile::encodeName(Path("odd/pipe.bmp")).constData(), 0644);
    PutRaw("odd/bad\xff.bmp");
    PutRaw("odd/sub\xff", true);
    EXPECT_EQ(Run({"-r", "--to-button", "odd"}),
              Result(1, "",
                     Said({"odd/bad\uFFFD.bmp: not converted: its name is not valid UTF-8",
                           "odd/sub\uFFFD: not searched: its name is not valid UTF-8",
                           "2 of 2 files not converted"})));
    EXPECT_EQ(Shell(R"sh(exec "$0" "$(printf 'odd/bad\377.bmp')" in/a.bmp)sh"),
              Result(1, "",
                     Said({"odd/bad\uFFFD.bmp: not converted: its name is not valid UTF-8",
                           "1 of 2 files not converted"})));
}

TEST_F(CliTest, UsageErrorsWriteNothing) {
    Put("a.bmp", Dot(0));
    const struct {
        QStringList args;
        QString says;
    } cases[] = {
        {{"."}, ". is a folder: give --to-button or --to-bmp to convert the files in it"},
        {{"--bogus", "a.bmp"}, "Unknown option 'bogus'."},
        {{}, "no PATH given"},
        {{"--jobs", "0", "a.bmp"}, "--jobs needs a whole number of at least 1, not '0'"},
        {{"--to-bmp", "--to-button", "a.bmp"}, "--to-button and --to-bmp cannot be used together"},
        {{"-q", "--verbose", "a.bmp"}, "--quiet and --verbose cannot be used together"},
        {{"-o", "", "a.bmp"}, "the output folder of -o is empty"},
    };
    const QString usage =
        "Usage: tavrel-convert [options] PATH...\nTry 'tavrel-convert --help' for more "
        "information.\n";
    for (const auto& c : cases) {
        EXPECT_EQ(Run(c.args), Result(2, "", Said({c.says}) + usage));
    }
    EXPECT_EQ(Shell(R"sh(exec "$0" -o "$(printf 'out\377')" a.bmp)sh"),
              Result(2, "",
                     Said({"the name of the output folder out\uFFFD is not valid UTF-8"}) + usage));
    EXPECT_EQ(Entries(dir_.path()), QStringList({"a.bmp"}));
}

TEST_F(CliTest, ReplacesTheFileDifferingOnlyInCaseButNeverAnInputOrAnotherOutput) {
    for (const char* name :
         {"a/logo.bmp", "b/logo.bmp", "c/.logo.bmp", "d/x.bmp", "e/x.bmp", "e/p.bmp"}) {
        Put(name, Dot(0));
    }
    Put("a/LOGO.BTN", "old");
    QDir().mkpath(Path("b/LOGO.BTN"));  // a folder is no file to replace
    Put("c/.LOGO.BTN", "hidden");
    EXPECT_EQ(
        Run({"--verbose", "a/logo.bmp", "b/logo.bmp", "c/.logo.bmp"}),
        Result(0,
               "a/logo.bmp -> a/LOGO.BTN\nb/logo.bmp -> b/logo.Btn\nc/.logo.bmp -> c/.LOGO.BTN\n"));
    EXPECT_EQ(Entries(Path("a")), QStringList({"LOGO.BTN", "logo.bmp"}));
    EXPECT_EQ(ReadAll(Path("a/LOGO.BTN")), "00000:3\r\n");
    // Each name, link and hard link of a file converts; a repeat does not.
    QFile::link("x.bmp", Path("d/alias.bmp"));
    ::link(QFile::encodeName(Path("d/x.bmp")), QFile::encodeName(Path("d/hard.bmp")));
    EXPECT_EQ(
        Run({"--verbose", "--to-button", "d", "d/x.bmp", "./d/alias.bmp", "d//hard.bmp"}),
        Result(0, "d/alias.bmp -> d/alias.Btn\nd/hard.bmp -> d/hard.Btn\nd/x.bmp -> d/x.Btn\n"));
    // No output replaces an input or another output, also through a link.
    Put("e/p.btn", "00000:3\r\n");
    Put("e/X.BMP", Dot(0x808080));
    Put("e/y.bmp", Dot(0x808080));
    QFile::link("y.Btn", Path("e/z.Btn"));
    Put("e/z.bmp", Dot(0));
    for (const QString jobs : {"1", "4"}) {
        QFile::remove(Path("e/y.Btn"));
        QFile::remove(Path("e/x.Btn"));
        EXPECT_EQ(
            Run({"-j", jobs, "e/p.bmp", "e/p.btn", "e/x.bmp", "e/X.BMP", "e/z.bmp", "e/y.bmp"}),
            Result(
                1, "",
                R"(tavrel-convert: e/p.bmp: not converted: its output would replace e/p.btn, an input of this run
tavrel-convert: e/p.btn: not converted: its output would replace e/p.bmp, an input of this run
tavrel-convert: e/X.BMP: not converted: its output e/X.Btn is also the output of e/x.bmp
tavrel-convert: e/y.bmp: not converted: its output e/y.Btn is also the output of e/z.bmp, through the link e/z.Btn
tavrel-convert: 4 of 6 files not converted
)"));
        EXPECT_EQ(ReadAll(Path("e/y.Btn")) + ReadAll(Path("e/x.Btn")) + ReadAll(Path("e/p.btn")),
                  "00000:3\r\n00000:3\r\n00000:3\r\n");
    }
    EXPECT_EQ(
        Run({"-o", "out", "e/X.BMP", "d/x.bmp"}),
        Result(1, "",
               Said({"d/x.bmp: not converted: its output out/x.Btn is also the output of e/X.BMP",
                     "1 of 2 files not converted"})));
    EXPECT_EQ(ReadAll(Path("out/X.Btn")), "00000:2\r\n");
}

TEST_F(CliTest, TheProgressLineAndAnEndBeforeTheLastFile) {
    for (const QString name : {"p10", "漢字", "p11", "p12", "p13", "p14"}) {
        Put("in/" + name + ".bmp", Dot(0));
    }
    // The progress line, on a terminal only, cut to one column less than its
    // width, a double-width character counting two.
    int master = -1, slave = -1;
    const winsize narrow{24, 12, 0, 0};
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, &narrow), 0);
    const auto onTerminal = [slave] { ::dup2(slave, STDERR_FILENO); };
    EXPECT_EQ(Run({"in/p10.bmp"}, onTerminal), kConverted);  // one file: no progress to show
    EXPECT_EQ(Run({"-j1", "in/p10.bmp", "in/漢字.bmp"}, onTerminal), kConverted);
    ::close(slave);
    QByteArray screen(4096, '\0');
    screen.truncate(::read(master, screen.data(), screen.size()));
    ::close(master);
    EXPECT_EQ(QString(screen), "\r\033[K[1/2] in/p1\r\033[K[2/2] in/漢\r\033[K");
    // A closed output ("| head -1"), and a hang-up waiting at the start.
    EXPECT_EQ(
        Run({"--verbose", "-j1", "in/p10.bmp", "in/p11.bmp", "in/p12.bmp"},
            [] {
                ::signal(SIGPIPE, SIG_DFL);
                int fds[2];
                if (::pipe(fds) == 0) {
                    ::close(fds[0]);
                    ::dup2(fds[1], STDOUT_FILENO);
                }
            }),
        Result(130, "",
               Said({"standard output: Broken pipe", "interrupted: 2 of 3 files not converted"})));
    EXPECT_EQ(Run({"-j1", "in/p13.bmp", "in/p14.bmp"},
                  [] {
                      ::signal(SIGHUP, SIG_DFL);
                      sigset_t hangUp;
                      sigemptyset(&hangUp);
                      sigaddset(&hangUp, SIGHUP);
                      ::sigprocmask(SIG_BLOCK, &hangUp, nullptr);
                      ::raise(SIGHUP);
                  }),
              Result(130, "", Said({"interrupted: 2 of 2 files not converted"})));
    EXPECT_EQ(Entries(Path("in")).filter(".Btn"), QStringList({"p10.Btn", "漢字.Btn"}));
}

// The budget's estimate of each kind of job covers the peak of a run, above
// that of a small file of the same kind.
TEST_F(CliTest, TheMemoryEstimateCoversTheRealPeak) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's own memory hides the conversion's";
#endif
    Put("large.btn", ("00000:" + QByteArray(8000, '3') + "\r\n").repeated(1000));
    Put("small.btn", ButtonText({"3"}));
    testing::BitmapRecipe black = testing::WhiteBitmap(2000, 1500);
    black.pixels.assign(black.pixels.size(), 0);
    Put("large.bmp", testing::MakeBitmap(black));  // read straight into the working box
    Put("small.bmp", Dot(0));
    QImage alpha(2000, 1500, QImage::Format_ARGB32);  // read by Qt, then laid over white
    alpha.fill(qRgba(0, 0, 0, 128));
    alpha.save(Path("large.png"));
    alpha.copy(0, 0, 4, 4).save(Path("small.png"));
    for (const QString type : {"btn", "bmp", "png"}) {
        const bool toBmp = type == "btn";
        const auto peak = [&](const QString& name) {
            const Result run = Shell(QString("/usr/bin/time -f %M \"$0\" -o out --to-%1 %2.%3")
                                         .arg(toBmp ? "bmp" : "button", name, type));
            return run.err.split('\n', Qt::SkipEmptyParts).value(0).toLongLong() * 1024;
        };
        const qint64 held = peak("large") - peak("small");
        const qint64 estimate = cli::EstimatedPeakBytes(
            Path("large." + type), toBmp ? cli::Direction::ToBmp : cli::Direction::ToButton);
        EXPECT_LE(held, estimate) << type.toStdString();
        EXPECT_LE(estimate, 2 * held) << type.toStdString();  // nor far above it
    }
}

}  // namespace
}  // namespace tavrel
