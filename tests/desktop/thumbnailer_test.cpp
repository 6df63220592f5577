// tavrel-thumbnailer as file managers run it, and as a careless or hostile
// user would: the files every reader takes, pixels, links, full disks,
// limits, names that are not UTF-8.

#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>

#include "tests/desktop/read_cases.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

using testing::Levels;

// Each at a size that keeps its pixels one to one; past 1000 rows the
// thumbnail shows the rows the window reads, the first 1000.
TEST(Thumbnailer, ReadsTheFilesEveryReaderReads) {
    QTemporaryDir dir;
    const QString in = dir.filePath("in.btn"), out = dir.filePath("out.png");
    for (const tavrel_read_case& c : tavrel_read_cases) {
        SCOPED_TRACE(c.why);
        if (c.error != nullptr && c.repeat > 1000) {
            continue;  // too tall for the other readers, read as far as the window reads
        }
        testing::WriteAll(in, c.head + QByteArray(c.unit).repeated(c.repeat));
        const int size = std::clamp(std::max(c.width, std::min(c.height, 1000)), 1, 4096);
        QProcess run;
        run.start(TAVREL_BIN_DIR "/tavrel-thumbnailer", {"-s", QString::number(size), in, out});
        ASSERT_TRUE(run.waitForFinished(-1));
        const QString err = run.readAllStandardError();
        EXPECT_EQ(run.exitCode(), c.error != nullptr ? 1 : 0) << err.toStdString();
        if (c.error != nullptr) {
            EXPECT_TRUE(err.contains(c.error)) << err.toStdString();
            continue;
        }
        const QImage image(out);
        const QStringList rows = c.rows != nullptr ? QString(c.rows).split('|')
                                                   : QStringList(std::min(c.height, 1000),
                                                                 QString(image.width(), c.every));
        EXPECT_EQ(Levels(image), rows);
    }
}

// Run from its entry's Exec line: small buttons grow by whole pixels; large
// ones shrink, each pixel the mean grey of the area it covers.
TEST(Thumbnailer, RunsFromItsEntry) {
    const QString exec = QString(testing::ReadAll(TAVREL_THUMBNAILER_ENTRY)).section("\nExec=", 1);
    const struct {
        int w, h, size;
        QSize thumbnail;
        QList<int> greys;  // of the first row of a shrunk one, repeating
    } cases[] = {
        {16, 16, 128, {128, 128}, {}},
        {10, 3, 128, {120, 36}, {}},
        {300, 60, 128, {128, 25}, {}},
        {3, 1, 2, {2, 1}, {234, 149}},  // (255 + 192 / 2) / 1.5, (192 / 2 + 128) / 1.5
        {1500, 1, 1000, {1000, 1}, {234, 149, 85, 213, 85, 170, 171, 43}},  // the same, wide
        {2048, 2, 128, {128, 1}, {144}},  // (255 + 192 + 128 + 0) / 4
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.w);
        QByteArray text;
        for (int y = 0; y < c.h; ++y) {
            text += "00000:" + QByteArray("0123").repeated(c.w).mid(2 * y % 4, c.w) + "\n";
        }
        const QString in = dir.filePath("in 1.btn"), out = dir.filePath("out.png");
        testing::WriteAll(in, text);
        QStringList args = QProcess::splitCommand(exec.section('\n', 0, 0));
        for (QString& a : args) {
            a.replace("%s", QString::number(c.size)).replace("%i", in).replace("%o", out);
        }
        const QString program = QStringLiteral(TAVREL_BIN_DIR "/") + args.takeFirst();
        ASSERT_EQ(QProcess::execute(program, args), 0);
        const QImage thumbnail(out);
        ASSERT_EQ(thumbnail.size(), c.thumbnail);
        const QStringList pixels = Levels(thumbnail);
        const int k = c.thumbnail.width() / c.w;  // 0 when shrunk
        for (int y = 0; k > 0 && y < thumbnail.height(); ++y) {
            for (int x = 0; x < thumbnail.width(); ++x) {
                ASSERT_EQ(pixels[y][x], QChar('0' + (x / k + 2 * (y / k)) % 4)) << x << "," << y;
            }
        }
        for (int x = 0; !c.greys.isEmpty() && x < thumbnail.width(); ++x) {
            ASSERT_EQ(qGray(thumbnail.pixel(x, 0)), c.greys[x % c.greys.size()]) << x;
        }
    }
}

// Each row a bash script run in a fresh folder holding in.btn; it starts the
// program as "$TT" and prints what must be checked with the usual tools.
// large: the largest file the window reads, 1000 rows of 32764 pixels.
const char kPrelude[] =
    "printf '00000:0123\\r\\n00001:3210\\r\\n' > in.btn\n"
    "large() { yes \"00000:$(head -c 32764 /dev/zero | tr '\\0' 3)\" | head -n 1000 > large.btn; "
    "}\n";

class ThumbnailerRunTest : public ::testing::TestWithParam<testing::ScriptRow> {};

TEST_P(ThumbnailerRunTest, Row) {
    const testing::ScriptRun run = testing::RunScript(QString(kPrelude) + GetParam().script,
                                                      {"TT=" TAVREL_BIN_DIR "/tavrel-thumbnailer"});
    if (run.skipped) {
        GTEST_SKIP() << run.err;  // the row says why
    }
    EXPECT_EQ(run.out, GetParam().out);
    EXPECT_EQ(run.err, GetParam().err);
}

const testing::ScriptRow kRows[] = {
    // A full disk: the write fails, the old thumbnail stays whole.
    {"FullDisk",
     R"sh([ "$(id -u)" = 0 ] && mkdir full && mount -t tmpfs -o size=64k tmpfs full || {
          echo needs root, to mount a small file system >&2; exit 77; }
        trap 'umount full' EXIT; printf old > full/t.png; head -c 1M /dev/zero > full/fill 2>&-
        "$TT" -s 64 in.btn full/t.png; echo $?; cat full/t.png; ls full)sh",
     "1\noldfill\nt.png\n", "tavrel-thumbnailer: full/t.png: No space left on device\n"},
    // Only a regular file is replaced, and only the name given: a link is
    // replaced itself; the input, by any name, not at all.
    {"OnlyTheNameGiven",
     R"sh(mknod null c 1 3 2>&- || mkfifo null; echo victim > victim.txt; ln -s victim.txt thumb.png
        ln -s gone/x.png dangling.png; ln in.btn hard.btn; ln -s /dev/null dev.png
        for out in null dev.png thumb.png dangling.png in.btn hard.btn; do "$TT" -s 8 in.btn $out; done
        "$TT" -s 8 /dev/zero t.png; echo $?; [ -f null ] || stat -c %F thumb.png dangling.png
        cat victim.txt; [ -e gone ] || head -c 6 in.btn)sh",
     "1\nregular file\nregular file\nvictim\n00000:",
     "tavrel-thumbnailer: null: Not a regular file\n"
     "tavrel-thumbnailer: dev.png: Not a regular file\n"
     "tavrel-thumbnailer: in.btn: the output is the input file\n"
     "tavrel-thumbnailer: hard.btn: the output is the input file\n"
     "tavrel-thumbnailer: /dev/zero: Not a regular file\n"},
    // Names are the bytes given; printed, what is not UTF-8 or a control
    // character is shown as \xNN.
    {"NamesAsBytes",
     R"sh(cp in.btn "$(printf 'caf\351.btn')"; "$TT" -s 8 "$(printf 'caf\351.btn')" "$(printf 't\351.png')"
        echo $?; ls -b | grep png; "$TT" -s 8 "$(printf 'x\351\033[2J\177\302\233\303\251')" t.png)sh",
     "0\nt\\351.png\n",
     "tavrel-thumbnailer: x\\xe9\\x1b[2J\\x7f\\x9bé: No such file or directory\n"},
    // Little memory: the largest file needs a fraction of it; a size that
    // needs more than there is fails with a line, never an abort.
    {"LittleMemory",
     R"sh(ldd "$TT" | grep -q libasan && {
          echo the address sanitizer needs more address space than the limit leaves >&2; exit 77; }
        large
        (ulimit -v 40000; "$TT" -s 4096 large.btn t.png); echo $?
        (ulimit -v 10000; "$TT" -s 4096 large.btn t.png); echo $?)sh",
     "0\n1\n",
     "tavrel-thumbnailer: large.btn: Unable to draw file large.btn Error: not enough memory\n"},
    // A write past the file-size limit fails like any other; nothing is
    // left of it.
    {"FileSizeLimit",
     R"sh(tr -dc 0-3 < /dev/urandom | head -c 16384 | fold -w 128 | sed 's/^/00000:/' > noise.btn
        printf old > t.png; (ulimit -f 1; "$TT" -s 128 noise.btn t.png); echo $?; cat t.png; ls)sh",
     "1\noldin.btn\nnoise.btn\nt.png\n", "tavrel-thumbnailer: t.png: File too large\n"},
};

INSTANTIATE_TEST_SUITE_P(Rows, ThumbnailerRunTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavrel
