// End-to-end tests of tavrel-convert: the real program on temporary folders.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstring>

#include "conversion/bitmap_to_button.h"
#include "conversion/button_render.h"
#include "conversion/drawing_to_bitmap.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/test_files.h"

// Readable names in failure output.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace tavrel {
namespace {

using testing::Dot;
using testing::Entries;
using testing::Exists;
using testing::ReadAll;
using testing::WriteAll;

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

// A small picture whose content differs with seed and touches no edge.
QByteArray Bitmap(int seed) {
    auto picture = testing::WhiteBitmap(12 + seed % 5, 10 + seed % 3);
    for (int y = 2; y < picture.height - 2; ++y) {
        for (int x = 2 + (y + seed) % 3; x < picture.width - 2; x += 2) {
            const std::uint32_t grey = static_cast<std::uint32_t>((x * 37 + y * 11 + seed) % 256);
            picture.pixels[y * picture.width + x] = grey << 16 | 0x808080;
        }
    }
    return testing::MakeBitmap(picture);
}

// A button file whose outer rows and columns hold content.
QByteArray ButtonFile(int seed, int rows = 6) {
    QByteArray text;
    for (int r = 0; r < rows; ++r) {
        text += QByteArray::number(r).rightJustified(5, '0') + ':';
        for (int c = 0; c < 5 + seed % 4; ++c) {
            text += char('1' + (r * 7 + c * 3 + seed) % 3);
        }
        text += "\r\n";
    }
    return text;
}

// The window's picture boxes as the window builds and places them, after a
// larger bitmap and button file went through them: what the window writes
// must not depend on what it converted before.
struct WindowBoxes {
    WindowBoxes() {
        buttons.Move(5280, 3360, 3012, 492);
        working.Move(6600, 4080, 852, 492);
        out.Move(960, 4080, 852, 492);
        WriteAll(dir.filePath("first.bmp"),
                 testing::MakeBitmap(testing::WhiteBitmap(
                     40, 30, {Dot{1, 1, 0}, Dot{38, 28, 0x404040}, Dot{20, 2, 0xA0A0A0}})));
        EXPECT_TRUE(ConvertBitmapToButton(dir.filePath("first.bmp"), dir.filePath("first.Btn"),
                                          working, out, boxes));
        ButtonSize size;
        EXPECT_EQ(DrawButtonFile(dir.filePath("first.Btn"), buttons, boxes, size),
                  DrawResult::Drawn);
    }

    QTemporaryDir dir;
    PictureSurface buttons{2, false};
    PictureSurface working{2, true};
    PictureSurface out{2, true};
    testing::ScriptedMessageBoxes boxes;
};

// What the window writes for the same input.
QByteArray WindowButtonFile(const QString& bitmap) {
    WindowBoxes w;
    EXPECT_TRUE(ConvertBitmapToButton(bitmap, w.dir.filePath("x.Btn"), w.working, w.out, w.boxes));
    return ReadAll(w.dir.filePath("x.Btn"));
}

QByteArray WindowBitmap(const QString& button) {
    WindowBoxes w;
    ButtonSize size;
    DrawButtonFile(button, w.buttons, w.boxes, size);
    EXPECT_EQ(
        ConvertDrawingToBitmap(w.buttons, size, w.working, w.out, w.dir.filePath("x.bmp"), w.boxes),
        BitmapResult::Written);
    return ReadAll(w.dir.filePath("x.bmp"));
}

// No temporary file of the writer left anywhere under folder.
bool NoTemporaryFiles(const QString& folder) {
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (it.next().contains(".tavrel-")) {
            return false;
        }
    }
    return true;
}

class CliTest : public ::testing::Test {
  protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }

    void Put(const QString& name, const QByteArray& bytes) {
        QDir(dir_.path()).mkpath(QFileInfo(name).path());
        WriteAll(Path(name), bytes);
    }

    // Runs the program in the temporary folder. modifier runs in the child
    // before the program starts.
    Result Run(const QStringList& args, std::function<void()> modifier = {},
               const QString& program = QStringLiteral(TAVREL_CONVERT_PATH)) {
        QProcess process;
        process.setWorkingDirectory(dir_.path());
        if (modifier) {
            process.setChildProcessModifier(modifier);
        }
        process.start(program, args);
        EXPECT_TRUE(process.waitForFinished(-1));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

    // Makes a file or folder whose name (relative to the temporary folder)
    // is given as bytes; QTemporaryDir could not remove what it cannot name.
    void PutRaw(const QByteArray& name, bool folder = false) {
        const QByteArray path = QFile::encodeName(dir_.path()) + '/' + name;
        if (folder) {
            ASSERT_EQ(::mkdir(path.constData(), 0755), 0);
        } else {
            const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
            ASSERT_GE(fd, 0);
            ::close(fd);
        }
        raw_.push_back({path, folder});
    }

    void TearDown() override {
        for (auto it = raw_.rbegin(); it != raw_.rend(); ++it) {
            it->second ? ::rmdir(it->first.constData()) : ::unlink(it->first.constData());
        }
    }

    QTemporaryDir dir_;
    std::vector<std::pair<QByteArray, bool>> raw_;
};

TEST_F(CliTest, ConvertsBothWaysByNameWithTheWindowsBytes) {
    Put("Logo.BMP", Bitmap(1));
    Put("x.y.bmp", Bitmap(2));
    Put("lower/logo.btn", ButtonFile(3));
    Put("upper/logo.BTN", ButtonFile(4));
    // A black 2 by 2 square at (3, 4): the crop keeps one white column and
    // row before it, which the file leaves out.
    Put("dot.bmp", testing::MakeBitmap(testing::WhiteBitmap(
                       8, 8, {Dot{3, 4, 0}, Dot{4, 4, 0}, Dot{3, 5, 0}, Dot{4, 5, 0}})));
    const Result r =
        Run({"Logo.BMP", "x.y.bmp", "lower/logo.btn", "upper/logo.BTN", Path("dot.bmp")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadAll(Path("Logo.Btn")), WindowButtonFile(Path("Logo.BMP")));
    EXPECT_EQ(ReadAll(Path("x.y.Btn")), WindowButtonFile(Path("x.y.bmp")));
    EXPECT_EQ(ReadAll(Path("lower/logo.bmp")), WindowBitmap(Path("lower/logo.btn")));
    EXPECT_EQ(ReadAll(Path("upper/logo.bmp")), WindowBitmap(Path("upper/logo.BTN")));
    EXPECT_EQ(ReadAll(Path("dot.Btn")), "00000:33\r\n00001:33\r\n");
    EXPECT_EQ(Entries(Path("upper")), QStringList({"logo.BTN", "logo.bmp"}));
}

TEST_F(CliTest, ForcedDirectionTakesAnyPictureTheLoaderReads) {
    QImage picture(9, 7, QImage::Format_RGB32);
    picture.fill(Qt::white);
    picture.setPixel(4, 3, qRgb(150, 0, 0));
    ASSERT_TRUE(picture.save(Path("photo.png")));
    const Result r = Run({"--to-button", "photo.png"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(ReadAll(Path("photo.Btn")), "00000:2\r\n");
}

TEST_F(CliTest, FoldersRecursionAndOutputFolder) {
    Put("in/a.bmp", Bitmap(1));
    Put("in/B.BMP", Bitmap(2));
    Put("in/.hidden.bmp", Bitmap(3));
    Put("in/notes.txt", "not a picture");
    Put("in/c.btn", ButtonFile(1));
    Put("in/sub/d.bmp", Bitmap(4));
    Put("in/.git/e.bmp", Bitmap(5));
    ASSERT_TRUE(QFile::link(Path("in/sub"), Path("in/link")));

    Result r = Run({"--to-button", "in"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(Entries(Path("in")), QStringList({".git", ".hidden.bmp", "B.BMP", "B.Btn", "a.Btn",
                                                "a.bmp", "c.btn", "link", "notes.txt", "sub"}));
    EXPECT_EQ(Entries(Path("in/sub")), QStringList({"d.bmp"}));

    // The link to sub is not followed: following it would claim sub/d's
    // output a second time.
    r = Run({"-r", "--to-button", "--verbose", "-o", "out", "in/"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "in/a.bmp -> out/a.Btn\nin/B.BMP -> out/B.Btn\nin/sub/d.bmp -> out/sub/d.Btn\n");
    EXPECT_EQ(ReadAll(Path("out/sub/d.Btn")), WindowButtonFile(Path("in/sub/d.bmp")));
    EXPECT_EQ(Entries(Path("in/sub")), QStringList({"d.bmp"}));

    r = Run({"--to-bmp", "-q", "in"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(ReadAll(Path("in/c.bmp")), WindowBitmap(Path("in/c.btn")));

    // A FIFO is no regular file and is passed over; a name that is not
    // valid UTF-8 cannot be opened, and must not be passed over in silence.
    ASSERT_TRUE(QDir(dir_.path()).mkdir("odd"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("odd/pipe.bmp")).constData(), 0644), 0);
    PutRaw("odd/bad\xff.bmp");
    r = Run({"--to-button", "odd"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, QString::fromUtf8("tavrel-convert: odd/bad\uFFFD.bmp: not converted: its "
                                       "name is not valid UTF-8\n"));
}

TEST_F(CliTest, UsageErrorsWriteNothing) {
    Put("in/a.bmp", Bitmap(1));
    const struct {
        QStringList args;
        QString says;
    } cases[] = {
        {{"in"}, "in is a folder: give --to-button or --to-bmp"},
        {{"in/a.bmp", "in"}, "--to-button or --to-bmp"},
        {{"--bogus", "in/a.bmp"}, "Unknown option 'bogus'"},
        {{}, "no PATH given"},
        {{"--jobs", "0", "in/a.bmp"}, "--jobs"},
        {{"--to-bmp", "--to-button", "in/a.bmp"}, "cannot be used together"},
    };
    for (const auto& c : cases) {
        const Result r = Run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("Usage: tavrel-convert [options] PATH..."))
            << r.err.toStdString();
    }
    EXPECT_EQ(Entries(Path("in")), QStringList({"a.bmp"}));

    Result r = Run({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "tavrel-convert 1.0.0\n");
    r = Run({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("--to-button"));
}

TEST_F(CliTest, ReplacesTheFileWhoseNameDiffersOnlyInCase) {
    Put("one/logo.bmp", Bitmap(1));
    Put("one/LOGO.BTN", "old");
    Put("two/logo.bmp", Bitmap(1));
    Put("two/logo.Btn", "exact");
    Put("two/LOGO.BTN", "other");
    Put("three/logo.bmp", Bitmap(1));
    Put("three/Logo.btn", "later");
    Put("three/LOGO.BTN", "first");
    // Made last to first, so the folder's own order is not the name order.
    Put("four/logo.bmp", Bitmap(1));
    Put("four/logo.BTN", "third");
    Put("four/Logo.btn", "second");
    Put("four/LOGO.BTN", "first");
    // A folder is no file to replace; a hidden file is.
    Put("five/logo.bmp", Bitmap(1));
    ASSERT_TRUE(QDir().mkpath(Path("five/LOGO.BTN")));
    Put("six/.logo.bmp", Bitmap(1));
    Put("six/.LOGO.BTN", "hidden");
    const Result r = Run({"--verbose", "one/logo.bmp", "two/logo.bmp", "three/logo.bmp",
                          "four/logo.bmp", "five/logo.bmp", "six/.logo.bmp"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QByteArray expected = WindowButtonFile(Path("one/logo.bmp"));
    EXPECT_EQ(Entries(Path("one")), QStringList({"LOGO.BTN", "logo.bmp"}));
    EXPECT_EQ(ReadAll(Path("one/LOGO.BTN")), expected);
    EXPECT_EQ(ReadAll(Path("two/logo.Btn")), expected);
    EXPECT_EQ(ReadAll(Path("two/LOGO.BTN")), "other");
    EXPECT_EQ(ReadAll(Path("three/LOGO.BTN")), expected);
    EXPECT_EQ(ReadAll(Path("three/Logo.btn")), "later");
    EXPECT_EQ(ReadAll(Path("four/LOGO.BTN")), expected);
    EXPECT_EQ(ReadAll(Path("four/Logo.btn")), "second");
    EXPECT_EQ(ReadAll(Path("four/logo.BTN")), "third");
    EXPECT_EQ(ReadAll(Path("five/logo.Btn")), expected);
    EXPECT_TRUE(QFileInfo(Path("five/LOGO.BTN")).isDir());
    EXPECT_EQ(ReadAll(Path("six/.LOGO.BTN")), expected);
    EXPECT_TRUE(r.out.startsWith("one/logo.bmp -> one/LOGO.BTN\n"));
    EXPECT_TRUE(
        r.out.endsWith("five/logo.bmp -> five/logo.Btn\n"
                       "six/.logo.bmp -> six/.LOGO.BTN\n"));
}

TEST_F(CliTest, NeverReplacesAnInputOrAnotherInputsOutput) {
    Put("a/x.bmp", Bitmap(1));
    Put("b/x.bmp", Bitmap(2));
    Put("same/x.bmp", Bitmap(3));
    Put("same/X.BMP", Bitmap(4));
    Put("pair/p.bmp", Bitmap(5));
    Put("pair/p.btn", ButtonFile(5));
    const QByteArray pairBitmap = ReadAll(Path("pair/p.bmp"));

    Result r = Run({"-o", "out", "a/x.bmp", "b/x.bmp"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "tavrel-convert: b/x.bmp: not converted: its output out/x.Btn is also the output of "
              "a/x.bmp\n"
              "tavrel-convert: 1 of 2 files not converted\n");
    EXPECT_EQ(ReadAll(Path("out/x.Btn")), WindowButtonFile(Path("a/x.bmp")));

    // X.Btn and x.Btn would be one file for the window.
    r = Run({"--to-button", "same"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(
        r.err.contains("same/x.bmp: not converted: its output same/x.Btn is also the "
                       "output of same/X.BMP"))
        << r.err.toStdString();
    EXPECT_EQ(Entries(Path("same")), QStringList({"X.BMP", "X.Btn", "x.bmp"}));

    // Each would overwrite the other: p.bmp's output p.Btn is p.btn by case.
    r = Run({"pair/p.bmp", "pair/p.btn"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(
        r.err.contains("pair/p.bmp: not converted: its output would replace pair/p.btn, "
                       "an input of this run"));
    EXPECT_TRUE(
        r.err.contains("pair/p.btn: not converted: its output would replace pair/p.bmp, "
                       "an input of this run"));
    EXPECT_EQ(ReadAll(Path("pair/p.bmp")), pairBitmap);
    EXPECT_EQ(ReadAll(Path("pair/p.btn")), ButtonFile(5));
}

TEST_F(CliTest, MixedBatchReportsEachFailureAndConvertsTheRest) {
    Put("good.bmp", Bitmap(1));
    Put("junk.bmp", "not a bitmap");
    Put("blank.bmp", testing::MakeBitmap(testing::WhiteBitmap(5, 5)));
    Put("notes.txt", "text");
    Put("bad.btn", "00000:0120\r\n00001:01x0\r\n");
    QByteArray tall;
    for (int r = 0; r < 1001; ++r) {
        tall += QByteArray::number(r).rightJustified(5, '0') + ":131\r\n";
    }
    Put("tall.btn", tall);
    Put("fine.btn", ButtonFile(2));
    const Result r = Run({"good.bmp", "junk.bmp", "blank.bmp", "missing.bmp", "notes.txt",
                          "bad.btn", "tall.btn", "fine.btn"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "tavrel-convert: junk.bmp: Unable to load file junk.bmp Error: Unsupported image "
              "format\n"
              "tavrel-convert: blank.bmp: Nothing to convert: the image has no content\n"
              "tavrel-convert: missing.bmp: Unable to load file missing.bmp Error: No such file "
              "or directory\n"
              "tavrel-convert: notes.txt: not a bitmap (.bmp) or button file (.btn); --to-button "
              "or --to-bmp converts it anyway\n"
              "tavrel-convert: bad.btn: Unknown button value : ( 3, 2)x\n"
              "tavrel-convert: tall.btn: Only the first 1000 rows of tall.btn are read\n"
              "tavrel-convert: 5 of 8 files not converted\n");
    EXPECT_EQ(ReadAll(Path("good.Btn")), WindowButtonFile(Path("good.bmp")));
    EXPECT_EQ(ReadAll(Path("fine.bmp")), WindowBitmap(Path("fine.btn")));
    EXPECT_EQ(ReadAll(Path("tall.bmp")), WindowBitmap(Path("tall.btn")));
    EXPECT_EQ(Entries(dir_.path()),
              QStringList({"bad.btn", "blank.bmp", "fine.bmp", "fine.btn", "good.Btn", "good.bmp",
                           "junk.bmp", "notes.txt", "tall.bmp", "tall.btn"}));

    const Result quiet = Run({"-q", "junk.bmp", "fine.btn"});
    EXPECT_EQ(quiet.exitCode, 1);
    EXPECT_EQ(quiet.err,
              "tavrel-convert: junk.bmp: Unable to load file junk.bmp Error: Unsupported image "
              "format\n");

    // The 1000-row message alone still fails the run, and the bitmap is
    // written.
    ASSERT_TRUE(QFile::remove(Path("tall.bmp")));
    const Result tallOnly = Run({"tall.btn"});
    EXPECT_EQ(tallOnly.exitCode, 1);
    EXPECT_EQ(tallOnly.err,
              "tavrel-convert: tall.btn: Only the first 1000 rows of tall.btn are read\n");
    EXPECT_EQ(ReadAll(Path("tall.bmp")), WindowBitmap(Path("tall.btn")));

    // A line break in a name would split the message line.
    Put("two\r\nlines.bmp", "junk");
    const Result lines = Run({"two\r\nlines.bmp"});
    EXPECT_EQ(lines.err,
              "tavrel-convert: two\\x0d\\x0alines.bmp: Unable to load file two\\x0d\\x0alines.bmp "
              "Error: Unsupported image format\n");
}

// A PNG header announcing a picture far over the loader's allocation limit.
QByteArray OversizedPng() {
    const auto chunk = [](const QByteArray& type, const QByteArray& data) {
        const QByteArray body = type + data;
        std::uint32_t crc = 0xFFFFFFFFu;
        for (const char c : body) {
            crc ^= static_cast<std::uint8_t>(c);
            for (int k = 0; k < 8; ++k) {
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
            }
        }
        const auto be32 = [](std::uint32_t v) {
            const char bytes[] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
            return QByteArray(bytes, 4);
        };
        return be32(static_cast<std::uint32_t>(data.size())) + body + be32(~crc);
    };
    const QByteArray header = QByteArray::fromHex("0000753000007530") + QByteArray("\x08\x02", 2) +
                              QByteArray(3, '\0');  // 30000 by 30000, 8-bit RGB
    return QByteArray::fromHex("89504e470d0a1a0a") + chunk("IHDR", header) + chunk("IDAT", {}) +
           chunk("IEND", {});
}

TEST_F(CliTest, QtsOwnWarningsStayOutOfTheMessages) {
    Put("huge.png", OversizedPng());
    const Result r = Run({"-q", "--to-button", "huge.png"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "tavrel-convert: huge.png: Unable to load file huge.png Error: Unable to read image "
              "data\n");
}

TEST_F(CliTest, EveryNameOfOneFileConvertsButARepeatDoesNot) {
    Put("a/real.bmp", Bitmap(1));
    ASSERT_EQ(::symlink("real.bmp", QFile::encodeName(Path("a/alias.bmp")).constData()), 0);
    ASSERT_EQ(::link(QFile::encodeName(Path("a/real.bmp")).constData(),
                     QFile::encodeName(Path("a/hard.bmp")).constData()),
              0);
    const Result r =
        Run({"--verbose", "--to-button", "a", "a/real.bmp", "./a/alias.bmp", "a//hard.bmp"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "a/alias.bmp -> a/alias.Btn\na/hard.bmp -> a/hard.Btn\na/real.bmp -> a/real.Btn\n");
    const QByteArray expected = WindowButtonFile(Path("a/real.bmp"));
    for (const char* name : {"a/alias.Btn", "a/hard.Btn", "a/real.Btn"}) {
        EXPECT_EQ(ReadAll(Path(name)), expected) << name;
    }
}

TEST_F(CliTest, ADanglingLinkAtAnOutputNameClaimsWhereItPoints) {
    Put("d/x.bmp", Bitmap(1));
    Put("d/y.bmp", Bitmap(2));
    ASSERT_EQ(::symlink("y.Btn", QFile::encodeName(Path("d/x.Btn")).constData()), 0);
    for (const QString jobs : {"1", "4"}) {
        QFile::remove(Path("d/y.Btn"));
        const Result r = Run({"--to-button", "--jobs", jobs, "d"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err,
                  "tavrel-convert: d/y.bmp: not converted: its output d/y.Btn is also the output "
                  "of d/x.bmp, through the link d/x.Btn\n"
                  "tavrel-convert: 1 of 2 files not converted\n");
        EXPECT_EQ(ReadAll(Path("d/y.Btn")), WindowButtonFile(Path("d/x.bmp")));
        EXPECT_TRUE(QFileInfo(Path("d/x.Btn")).isSymLink());
    }
}

TEST_F(CliTest, RecursionEntersEveryFolderAndReportsOneItCannotName) {
    Put("in/set.bmp/inner.bmp", Bitmap(1));
    Put("in/top.bmp", Bitmap(2));
    PutRaw("in/odd\xff", true);
    PutRaw("in/odd\xff/lost.bmp");

    Result r = Run({"--to-button", "in"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(Exists(Path("in/top.Btn")));
    EXPECT_FALSE(Exists(Path("in/set.bmp/inner.Btn")));

    r = Run({"-r", "--to-button", "-o", "out", "in"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, QString::fromUtf8("tavrel-convert: in/odd\uFFFD: not searched: its name is "
                                       "not valid UTF-8\n"
                                       "tavrel-convert: 1 of 3 files not converted\n"));
    EXPECT_EQ(ReadAll(Path("out/set.bmp/inner.Btn")),
              WindowButtonFile(Path("in/set.bmp/inner.bmp")));
    EXPECT_EQ(Entries(Path("out")), QStringList({"set.bmp", "top.Btn"}));
}

TEST_F(CliTest, ANameOnTheCommandLineThatIsNotUtf8) {
    Put("good.bmp", Bitmap(1));
    PutRaw("bad\xff.bmp");
    // The shell hands the bytes on as they are, which QProcess could not.
    const auto viaShell = [this](const QString& command) {
        return Run({"-c", command, QStringLiteral(TAVREL_CONVERT_PATH)}, {},
                   QStringLiteral("/bin/sh"));
    };
    Result r = viaShell(R"sh(exec "$0" "$(printf 'bad\377.bmp')" good.bmp)sh");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, QString::fromUtf8("tavrel-convert: bad\uFFFD.bmp: not converted: its name is "
                                       "not valid UTF-8\n"
                                       "tavrel-convert: 1 of 2 files not converted\n"));
    EXPECT_EQ(ReadAll(Path("good.Btn")), WindowButtonFile(Path("good.bmp")));

    r = viaShell(R"sh(exec "$0" -o "$(printf 'out\377')" good.bmp)sh");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.startsWith(QString::fromUtf8(
        "tavrel-convert: the name of the output folder out\uFFFD is not valid UTF-8\n")))
        << r.err.toStdString();
}

TEST_F(CliTest, AClosedOutputOrAHangUpStopsTheRunCleanly) {
    Put("a.bmp", Bitmap(1));
    Put("b.bmp", Bitmap(2));
    Put("c.bmp", Bitmap(3));
    // Standard output is a pipe that nobody reads any more, as with
    // "| head -1", and SIGPIPE is as a shell leaves it.
    Result r = Run({"--verbose", "-j1", "a.bmp", "b.bmp", "c.bmp"}, [] {
        ::signal(SIGPIPE, SIG_DFL);
        int fds[2];
        if (::pipe(fds) == 0) {
            ::close(fds[0]);
            ::dup2(fds[1], STDOUT_FILENO);
        }
    });
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_EQ(r.err,
              "tavrel-convert: standard output: Broken pipe\n"
              "tavrel-convert: interrupted: 2 of 3 files not converted\n");
    EXPECT_EQ(Entries(dir_.path()), QStringList({"a.Btn", "a.bmp", "b.bmp", "c.bmp"}));

    // A hang-up waiting when the run starts: nothing is converted.
    r = Run({"-j1", "b.bmp", "c.bmp"}, [] {
        ::signal(SIGHUP, SIG_DFL);
        sigset_t hangUp;
        sigemptyset(&hangUp);
        sigaddset(&hangUp, SIGHUP);
        ::sigprocmask(SIG_BLOCK, &hangUp, nullptr);
        ::raise(SIGHUP);
    });
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_EQ(r.err, "tavrel-convert: interrupted: 2 of 2 files not converted\n");
    EXPECT_EQ(Entries(dir_.path()), QStringList({"a.Btn", "a.bmp", "b.bmp", "c.bmp"}));
    EXPECT_TRUE(NoTemporaryFiles(dir_.path()));
}

TEST_F(CliTest, OutputsDoNotDependOnTheNumberOfJobs) {
    for (int i = 0; i < 24; ++i) {
        Put(QStringLiteral("in/p%1.bmp").arg(i), Bitmap(i));
        Put(QStringLiteral("in/b%1.btn").arg(i), ButtonFile(i, 3 + i));
    }
    Put("in/broken.bmp", "broken");
    Put("in/broken.btn", "00000:9\r\n");
    const Result one = Run({"-r", "--to-button", "--jobs", "1", "-o", "one", "in"});
    const Result four = Run({"-r", "--to-button", "--jobs", "4", "-o", "four", "in"});
    const Result oneBmp = Run({"-r", "--to-bmp", "-j1", "-o", "one", "in"});
    const Result fourBmp = Run({"-r", "--to-bmp", "-j4", "-o", "four", "in"});
    EXPECT_EQ(one.exitCode, 1);
    EXPECT_EQ(one.err, four.err);
    EXPECT_EQ(oneBmp.err, fourBmp.err);
    const QStringList names = Entries(Path("one"));
    EXPECT_EQ(names.size(), 48);
    EXPECT_EQ(names, Entries(Path("four")));
    for (const QString& name : names) {
        EXPECT_EQ(ReadAll(Path("one/" + name)), ReadAll(Path("four/" + name)))
            << name.toStdString();
    }
}

TEST_F(CliTest, OutputFolderThatCannotBeMadeOrWritten) {
    Put("a.bmp", Bitmap(1));
    Put("b.btn", ButtonFile(1, 40));
    Put("blocker", "a file where the folder should be");
    Put("full/b.bmp", "old bitmap");

    Result r = Run({"-o", "blocker/sub", "a.bmp", "b.btn"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "tavrel-convert: a.bmp: Unable to save file blocker/sub/a.Btn Error: Not a "
              "directory\n"
              "tavrel-convert: b.btn: Unable to save file blocker/sub/b.bmp Error: Not a "
              "directory\n"
              "tavrel-convert: 2 of 2 files not converted\n");

    // A write that fails part-way leaves the old file and no temporary one.
    r = Run({"-o", "full", "b.btn"}, [] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "tavrel-convert: b.btn: Unable to save file full/b.bmp Error: File too large\n");
    EXPECT_EQ(Entries(Path("full")), QStringList({"b.bmp"}));
    EXPECT_EQ(ReadAll(Path("full/b.bmp")), "old bitmap");

    // Folders are made for files written only.
    Put("in/junk.bmp", "junk");
    Put("in/blank/white.bmp", testing::MakeBitmap(testing::WhiteBitmap(5, 5)));
    Put("in/good/a.bmp", Bitmap(1));
    r = Run({"-r", "--to-button", "-o", "made/deeper", "in", "missing.bmp"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(Entries(Path("made/deeper")), QStringList({"good"}));
    EXPECT_EQ(Entries(Path("made/deeper/good")), QStringList({"a.Btn"}));
}

TEST_F(CliTest, ProgressLineOnlyOnATerminal) {
    Put("a.bmp", Bitmap(1));
    Put("b.bmp", Bitmap(2));
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const Result r = Run({"-j1", "a.bmp", "b.bmp"}, [slave] { ::dup2(slave, STDERR_FILENO); });
    ::close(slave);
    QByteArray screen;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) {
        screen.append(buffer, n);
    }
    ::close(master);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(screen.startsWith("\r\033[K[1/2] a.bmp\r\033[K[2/2] b.bmp"))
        << screen.toStdString();
    EXPECT_TRUE(screen.endsWith("\r\033[K")) << screen.toStdString();

    EXPECT_EQ(Run({"a.bmp", "b.bmp"}).err, "");
}

}  // namespace
}  // namespace tavrel

namespace tavrel {
namespace {

// Malformed and hostile inputs in one batch: each valid one converts, each
// other one fails with exactly one clear line, and the run ends with 1.
TEST_F(CliTest, HostileInputsEndInOneClearLineEach) {
    QByteArray garbage(4096, '\0');
    for (int i = 0; i < garbage.size(); ++i) {
        garbage[i] = char((i * 131 + 7) % 256);
    }
    QByteArray manyRows;
    for (int i = 0; i < 5000; ++i) {
        manyRows += "00000:3\r\n";
    }
    const QByteArray valid = testing::MakeBitmap(testing::WhiteBitmap(4, 4, {Dot{1, 1, 0}}));
    QByteArray hugeHeader = valid;
    const qint32 side = 100000;
    std::memcpy(hugeHeader.data() + 18, &side, 4);
    std::memcpy(hugeHeader.data() + 22, &side, 4);
    QByteArray zeroWidth = valid;
    std::memset(zeroWidth.data() + 18, 0, 4);
    QByteArray png;
    {
        QImage picture(3, 3, QImage::Format_RGB32);
        picture.fill(Qt::white);
        picture.setPixel(1, 1, qRgb(0, 0, 0));
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
    }

    // Valid inputs, whatever their line ends or disguise.
    Put("cr.btn", "00000:12\r00001:30\r");
    Put("lf.btn", "00000:12\n00001:30\n");
    Put("bom.btn",
        "\xEF\xBB\xBF"
        "00000:12\r\n00001:30\r\n");
    Put("png.bmp", png);
    // Broken ones.
    Put("garbage.btn", garbage);
    Put("wide.btn", "00000:" + QByteArray(20 * 1024 * 1024, '3') + "\r\n");
    Put("tall.btn", manyRows);  // written, but with a message
    Put("nul.btn", QByteArray("00000:1\0"
                              "2\r\n",
                              11));
    Put("escape.btn", "00000:1\x1b[2J\r\n");
    Put("truncated.bmp", valid.left(30));
    Put("huge.bmp", hugeHeader);
    Put("zero.bmp", zeroWidth);
    Put("magic.bmp", "XM" + valid.mid(2));
    Put("text.bmp", "just some text\r\n");
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pipe.btn")).constData(), 0600), 0);

    const QStringList failing = {"garbage.btn", "wide.btn",      "tall.btn", "nul.btn",
                                 "escape.btn",  "truncated.bmp", "huge.bmp", "zero.bmp",
                                 "magic.bmp",   "text.bmp",      "pipe.btn"};
    const QStringList converting = {"cr.btn", "lf.btn", "bom.btn", "png.bmp"};
    const Result r = Run(converting + failing);
    EXPECT_EQ(r.exitCode, 1);

    QStringList lines = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.removeIf([](const QString& line) { return line.contains(" files not converted"); });
    for (const QString& name : failing) {
        const QString prefix = "tavrel-convert: " + name + ": ";
        const auto count = std::count_if(lines.begin(), lines.end(),
                                         [&](const QString& l) { return l.startsWith(prefix); });
        EXPECT_EQ(count, 1) << name.toStdString() << "\n" << r.err.toStdString();
    }
    EXPECT_EQ(lines.size(), failing.size()) << r.err.toStdString();
    for (const QString& line : lines) {
        for (const QChar c : line) {
            EXPECT_FALSE(c.unicode() < 0x20 || c.unicode() == 0x7F) << line.toStdString();
        }
    }
    EXPECT_TRUE(r.err.contains("tavrel-convert: escape.btn: Unknown button value : ( 2, 1)\\x1b"));
    EXPECT_TRUE(r.err.contains("tavrel-convert: tall.btn: Only the first 1000 rows of tall.btn"));

    const QByteArray twoRows = WindowBitmap(Path("cr.btn"));
    EXPECT_EQ(ReadAll(Path("cr.bmp")), twoRows);
    EXPECT_EQ(ReadAll(Path("lf.bmp")), twoRows);
    EXPECT_EQ(ReadAll(Path("bom.bmp")), twoRows);
    EXPECT_EQ(ReadAll(Path("png.Btn")), "00000:3\r\n");
    EXPECT_TRUE(Exists(Path("tall.bmp")));
    for (const QString& name : failing) {
        if (name != "tall.btn") {
            const QString out =
                name.left(name.size() - 4) + (name.endsWith(".btn") ? ".bmp" : ".Btn");
            EXPECT_FALSE(Exists(Path(out))) << out.toStdString();
        }
    }
    EXPECT_TRUE(NoTemporaryFiles(dir_.path()));
}

}  // namespace
}  // namespace tavrel
