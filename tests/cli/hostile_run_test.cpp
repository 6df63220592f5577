// tavrel-convert run as a hostile user would: closed descriptors, links,
// full disks, other users' files, control characters in names. Each row is a
// bash script run in a fresh folder holding the inputs below; it starts the
// program as "$TC" and prints what must be checked with the usual tools.

#include <gtest/gtest.h>

#include "tests/support/test_files.h"

namespace tavrel {
namespace {

// other: runs the program as a user that is not root (as root: nobody, from
// a copy in the folder, since the build may lie where nobody may not go),
// through $LIMIT where set. need_root, need_plain_build: skip a row that
// needs root, or the whole address space that the address sanitizer takes.
const char kPrelude[] =
    "chmod 755 . && { [ \"$(id -u)\" != 0 ] || cp \"$TC\" .tc; }\n"
    "other() { if [ \"$(id -u)\" = 0 ]; then setpriv --reuid=65534 --regid=65534 "
    "--clear-groups $LIMIT ./.tc \"$@\"; else $LIMIT \"$TC\" \"$@\"; fi; }\n"
    "skip() { echo \"$1\" >&2; exit 77; }\n"
    "need_root() { [ \"$(id -u)\" = 0 ] || skip 'needs root'; }\n"
    "need_plain_build() { ! grep -q __asan_init \"$TC\" || skip 'needs a build without ASan'; }\n";

void PutInputs(const QString& dir) {
    using testing::Dot;
    // a.bmp gives "00000:3\r\n"; big.bmp a button file of 1748 bytes.
    testing::WriteAll(dir + "/a.bmp", testing::MakeBitmap(testing::WhiteBitmap(4, 4, {{1, 1, 0}})));
    testing::WriteAll(dir + "/big.bmp", testing::MakeBitmap(testing::WhiteBitmap(
                                            40, 40, {Dot{1, 1, 0}, Dot{38, 38, 0}})));
    testing::WriteAll(dir + "/junk.bmp", "junk");
    // A grey picture announcing 20000 by 20000 pixels in a few bytes.
    testing::WriteAll(dir + "/huge.pgm", "P5\n20000 20000\n255\n");
}

class HostileRunTest : public ::testing::TestWithParam<testing::ScriptRow> {};

TEST_P(HostileRunTest, Row) {
    const testing::ScriptRun run = testing::RunScript(QString(kPrelude) + GetParam().script,
                                                      {"TC=" TAVREL_CONVERT_PATH}, PutInputs);
    if (run.skipped) {
        GTEST_SKIP() << run.err;
    }
    EXPECT_EQ(run.out, GetParam().out);
    EXPECT_EQ(run.err, GetParam().err);
}

const testing::ScriptRow kRows[] = {
    // Closed descriptors are /dev/null, never a file the run writes.
    {"ClosedStandardDescriptors",
     R"sh("$TC" --verbose -j2 a.bmp junk.bmp big.bmp <&- >&- 2>&-; echo $?
        cat a.Btn; head -c 6 big.Btn)sh",
     "1\n00000:3\r\n00000:", ""},
    // A write past the file-size limit fails like any other; a folder made
    // for it is removed again.
    {"FileSizeLimit",
     R"sh(ulimit -f 1; "$TC" -o made/sub big.bmp; echo $?; ls | grep -v 'bmp\|pgm')sh", "1\n",
     "tavrel-convert: big.bmp: Unable to save file made/sub/big.Btn Error: File too large\n"},
    // A folder that takes no new file: the file is rewritten in place only
    // when the whole new content has its room.
    {"InPlaceNeverCutsTheOldFile",
     R"sh(mkdir ro && printf 'old content' > ro/big.Btn && printf 'old content' > ro/a.Btn
        chmod 666 ro/* && chmod 555 ro
        (ulimit -f 1; other -o ro big.bmp a.bmp); echo $?; cat ro/big.Btn ro/a.Btn)sh",
     "1\nold content00000:3\r\n",
     "tavrel-convert: big.bmp: Unable to save file ro/big.Btn Error: File too large\n"
     "tavrel-convert: 1 of 2 files not converted\n"},
    {"ReplacedFilesKeepTheirOwner",
     R"sh(need_root; printf old > a.Btn; printf old > big.Btn; chown 1234:1234 a.Btn
        chown 1234:0 big.Btn; chmod 6755 a.Btn; chmod 640 big.Btn
        "$TC" a.bmp big.bmp; echo $?; stat -c '%u:%g %a' a.Btn big.Btn; cat a.Btn)sh",
     "0\n1234:1234 6755\n1234:0 640\n00000:3\r\n", ""},
    {"SetIdBitsGoWithTheOwner",
     R"sh(need_root; mkdir w && chmod 777 w && printf old > w/a.Btn && chmod 7757 w/a.Btn
        other -o w a.bmp; echo $?; stat -c '%u:%g %a' w/a.Btn)sh",
     "0\n65534:65534 757\n", ""},
    // A file the user may not write is not replaced, though the folder would
    // take a new one.
    {"AFileTheUserMayNotWriteStays",
     R"sh(mkdir w && chmod 777 w && printf old > w/a.Btn && chmod 444 w/a.Btn
        other -o w a.bmp; echo $?; cat w/a.Btn)sh",
     "1\nold", "tavrel-convert: a.bmp: Unable to save file w/a.Btn Error: Permission denied\n"},
    // Links are followed as the system follows them: a target relative to
    // the folder the link really lies in, ".." after a link from where it
    // led, names as bytes, at most 40 links (as the system allows).
    {"LinksResolvedByTheSystem",
     R"sh(mkdir -p t real/sub out x/y && ln -s ../real/sub t/out && ln -s ../v.Btn real/sub/a.Btn
        ln -s x/y d && ln -s ../d/../victim out/big.Btn
        "$TC" -o t/out a.bmp; "$TC" -o out big.bmp; echo $?; cat real/v.Btn; find . -name '*v*' | sort)sh",
     "0\n00000:3\r\n./real/v.Btn\n./x/victim\n", ""},
    {"LinkTargetThatIsNotUtf8",
     R"sh(printf old > "$(printf '\377.Btn')"; ln -s "$(printf '\377.Btn')" a.Btn
        "$TC" a.bmp; echo $?; cat "$(printf '\377.Btn')"; ls -b | grep Btn)sh",
     "0\n00000:3\r\na.Btn\n\\377.Btn\n", ""},
    {"LongChainsAndLoops",
     R"sh(for i in $(seq 1 39); do ln -s c$i c$((i-1)); ln -s d$i d$((i-1)); done; ln -s d40 d39
        printf old > c39; printf old > d40; ln -s c0 ok.Btn; ln -s d0 long.Btn
        ln -s loop2 loop.Btn; ln -s loop.Btn loop2; cp a.bmp ok.bmp; cp a.bmp long.bmp
        cp a.bmp loop.bmp; cat ok.Btn long.Btn; "$TC" ok.bmp long.bmp loop.bmp; echo $?
        cat c39 d40; find . -name '[cd][0-9]*' -type f | sort)sh",
     "old1\n00000:3\r\nold./c39\n./d40\n",
     "cat: long.Btn: Too many levels of symbolic links\n"
     "tavrel-convert: long.bmp: Unable to save file long.Btn Error: Too many levels of symbolic "
     "links\n"
     "tavrel-convert: loop.bmp: Unable to save file loop.Btn Error: Too many levels of symbolic "
     "links\n"
     "tavrel-convert: 2 of 3 files not converted\n"},
    // The output folder is made as mkdir -p makes it; a folder made and
    // then left empty is removed.
    {"OutputFolderAsMkdirMakesIt",
     R"sh("$TC" -o new/../out a.bmp; echo $?; find . -type d | sort; cat out/a.Btn
        mkdir ro && chmod 555 ro; other -o ro/new a.bmp; "$TC" a.bmp/; echo $?)sh",
     "0\n.\n./out\n00000:3\r\n1\n",
     "tavrel-convert: a.bmp: Unable to save file ro/new/a.Btn Error: Permission denied\n"
     "tavrel-convert: a.bmp/: Not a directory\n"},
    // Every name or value printed is one line that cannot drive a terminal.
    {"ControlCharactersAreShownEscaped",
     R"sh(e=$(printf 'e\033[2J\302\233.bmp'); cp a.bmp "$e"; cp junk.bmp "$(printf 'n\302\205.bmp')"
        mkdir "$(printf 'd\nx')"; "$TC" --verbose "$e"; "$TC" "$(printf 'n\302\205.bmp')"
        "$TC" --jobs "$(printf '1\n\033[2J')" a.bmp 2>&1 | head -1
        "$TC" "$(printf 'd\nx')" "$(printf -- '--\033c')" 2>&1 | head -1
        "$TC" "$(printf 'd\nx')" 2>&1 | head -1
        script -qec "\"\$TC\" -j1 a.bmp '$e'" /dev/null | grep -c "$(printf '\033\\[2J')")sh",
     "e\\x1b[2J\\x9b.bmp -> e\\x1b[2J\\x9b.Btn\n"
     "tavrel-convert: --jobs needs a whole number of at least 1, not '1\\x0a\\x1b[2J'\n"
     "tavrel-convert: Unknown option '\\x1bc'.\n"
     "tavrel-convert: d\\x0ax is a folder: give --to-button or --to-bmp to convert the files in "
     "it\n"
     "0\n",
     "tavrel-convert: n\\x85.bmp: Unable to load file n\\x85.bmp Error: Unsupported image "
     "format\n"},
    // An endless row after a good first one: reading stops past the most a
    // file of 1000 rows holds.
    {"EndlessLaterRow",
     R"sh({ printf '00000:3\r\n'; yes 3 | tr -d '\n'; } | "$TC" --to-bmp - > o.bmp; echo $?
        head -c 2 o.bmp)sh",
     "1\nBM", "tavrel-convert: -: Only the first 2 rows of - are read\n"},
    // A picture announcing more pixels than the memory budget holds fails
    // alone, before anything is allocated; a large file is judged by its head.
    {"MemoryBudget",
     R"sh(cp huge.pgm big.pgm; truncate -s 5M big.pgm; "$TC" -j2 --to-button huge.pgm big.pgm a.bmp
        echo $?)sh",
     "1\n",
     "tavrel-convert: huge.pgm: Unable to load file huge.pgm Error: not enough memory\n"
     "tavrel-convert: big.pgm: Unable to load file big.pgm Error: not enough memory\n"
     "tavrel-convert: 2 of 3 files not converted\n"},
    // A picture that cannot get its memory fails alone, with the load, draw
    // or save message, and the run goes on; so does standard input.
    {"OutOfMemory",
     R"sh(need_plain_build; yes "$(printf '%032770d' 0 | tr 0 3)" | head -n 1000 > b.btn
        for v in 100 700; do (ulimit -v $((v << 10)); "$TC" -j1 b.btn big.bmp 2>e; echo $?
        sed 's/Unable to [a-z]* file [^ ]* Error: [Nn]ot enough memory.*/no memory/' e
        head -c 6 big.Btn; rm big.Btn); done; (ulimit -v $((150 << 10)); "$TC" b.bmp) 2>&1
        (ulimit -v $((150 << 10)); head -c 200M /dev/zero | "$TC" --to-button -) 2>&1)sh",
     "1\ntavrel-convert: b.btn: no memory\ntavrel-convert: 1 of 2 files not converted\n00000:"
     "0\n00000:tavrel-convert: b.bmp: Unable to load file b.bmp Error: Not enough memory for the "
     "picture\ntavrel-convert: -: Unable to load file - Error: Not enough memory for the picture\n",
     ""},
    // Where the user may start no more processes, the run goes on without
    // helper threads, and Qt converts a large grey picture without its own
    // (nor can the leak checker start its own: it is left out).
    {"ThreadsThatCannotStart",
     R"sh(mkdir -m 777 w && printf old > w/a.Btn && chmod 666 w/a.Btn
        { printf 'P5\n400 400\n255\n'; head -c 160000 /dev/zero; } > g.pgm
        export ASAN_OPTIONS=detect_leaks=0
        LIMIT="prlimit --nproc=1" other -j4 -o w --to-button a.bmp g.pgm; echo $?
        cat w/a.Btn; head -c 6 w/g.Btn)sh",
     "0\n00000:3\r\n00000:", ""},
    // A link planted while the run goes on (here while the first file's line
    // waits in a full pipe) never leads a write to an input.
    {"ALinkPlantedDuringTheRun",
     R"sh(mkdir in && cp a.bmp in/1.bmp && cp a.bmp in/2.bmp && mkfifo f && exec 3<>f
        dd if=/dev/zero of=f bs=4k count=64 oflag=nonblock 2>/dev/null
        "$TC" --verbose -j1 -o out in/1.bmp in/2.bmp >f 3<&- & pid=$!
        until [ -e out/1.Btn ] || ! kill -0 $pid 2>/dev/null; do sleep 0.01; done
        ln -s ../in/1.bmp out/2.Btn; cat <&3 >/dev/null & wait $pid; echo $?; kill $!
        head -c 2 in/1.bmp)sh",
     "1\nBM",
     "tavrel-convert: in/2.bmp: Unable to save file out/2.Btn Error: it would replace in/1.bmp, "
     "an input of this run\ntavrel-convert: 1 of 2 files not converted\n"},
    {"StandardOutputOnAnInput",
     R"sh(cp a.bmp b.bmp; "$TC" -o - a.bmp 1<>a.bmp; echo $?
        "$TC" --to-button - <b.bmp 1<>b.bmp; echo $?; cmp a.bmp b.bmp && head -c 2 a.bmp)sh",
     "1\n1\nBM",
     "tavrel-convert: a.bmp: input file is output file\n"
     "tavrel-convert: -: input file is output file\n"},
    // A signal ends a run that waits on standard input at once, once the
    // program catches it.
    {"SignalWhileWaitingOnInput",
     R"sh(mkfifo p; for to in button bmp; do exec 3<>p; "$TC" --to-$to - <p 3<&- & pid=$!
        until grep -q '^SigCgt:.*[4-7c-f]...$' /proc/$pid/status; do sleep 0.01; done
        kill -TERM $pid; exec 3<&-; wait $pid; echo $?; done)sh",
     "130\n130\n",
     "tavrel-convert: interrupted: 1 of 1 files not converted\n"
     "tavrel-convert: interrupted: 1 of 1 files not converted\n"},
    // "-" in a pipe: standard input to standard output, or "-o -"; what
    // cannot take part in a pipe is a usage error.
    {"StandardStreams", R"sh(
        "$TC" --to-button - < a.bmp | "$TC" --to-bmp - | "$TC" --to-button -; echo $?
        "$TC" -o - a.bmp; "$TC" --to-button - < junk.bmp; echo $?
        "$TC" - < a.bmp 2>&1 | head -1; "$TC" -o - a.bmp big.bmp 2>&1 | head -1
        "$TC" --to-button - < a.bmp 2>&1 >&- | head -1)sh",
     "00000:3\r\n0\n00000:3\r\n1\n"
     "tavrel-convert: - (standard input) needs --to-button or --to-bmp\n"
     "tavrel-convert: -o - (standard output) takes one PATH\n"
     "tavrel-convert: the output goes to standard output, which is closed\n",
     "tavrel-convert: -: Unable to load file - Error: Unsupported image format\n"},
    // "-" is never a file of that name, even where standard input is closed
    // or cannot be read.
    {"DashIsNeverAFileOfThatName",
     R"sh(printf '00000:3\r\n' > ./-; "$TC" --to-bmp - <&- 2>&1 | head -1; "$TC" --to-bmp - 0>>w)sh",
     "tavrel-convert: - reads standard input, which is closed\n",
     "tavrel-convert: -: Unable to open file - Error: Bad file descriptor\n"},
};

INSTANTIATE_TEST_SUITE_P(Rows, HostileRunTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavrel
