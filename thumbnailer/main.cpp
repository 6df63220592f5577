// tavrel-thumbnailer -s SIZE INPUT OUTPUT: the thumbnail of a button file as
// a PNG no larger than SIZE by SIZE, for file managers that run the command
// of a freedesktop .thumbnailer entry. A file manager starts it once for
// every file it shows, inside its user's session: it links no toolkit, so
// it starts at once, reads the file a piece at a time into a thumbnail
// that is all it keeps, and fails with one line rather than ever abort.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "button_format/button_format.h"
#include "files/atomic_file.h"
#include "files/printable.h"
#include "files/standard_descriptors.h"
#include "thumbnailer/png_writer.h"
#include "thumbnailer/thumbnail.h"

namespace {

// Far above the largest thumbnail a desktop asks for (1024), small enough
// that no size given can make the program claim gigabytes.
constexpr long kMaxSize = 4096;

// Holds a whole line, so that it leaves in one write.
char messageBuffer[4096];
char readBuffer[128 * 1024];

// One line on stderr: the program's name and the pieces, every control
// character and every byte that is not UTF-8 shown as \xNN. Allocates
// nothing, so that it can still tell of memory running out.
int Fail(std::initializer_list<std::string_view> pieces) {
    const auto put = [](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stderr);
    };
    put("tavrel-thumbnailer: ");
    for (const std::string_view piece : pieces) {
        tavrel::PutPrintable(piece, put);
    }
    put("\n");
    std::fflush(stderr);
    return 1;
}

// As the window tells a file it cannot draw.
int DrawFailed(std::string_view input, std::string_view description) {
    return Fail({input, ": Unable to draw file ", input, " Error: ", description});
}

// SIZE as the desktop writes it: a whole number, blanks around it allowed.
bool ParseSize(std::string_view text, long* size) {
    const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    *size = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || *size > kMaxSize) {
            return false;
        }
        *size = *size * 10 + (c - '0');
    }
    return !text.empty() && *size >= 1 && *size <= kMaxSize;
}

// Feeds the open file to the reader until it has what it takes; the errno
// of a failed read, 0 otherwise.
int ReadAll(int fd, tavrel::btn::Reader& reader) {
    int err = 0;
    tavrel::btn::FeedAll(reader, readBuffer, sizeof readBuffer, [&](char* buffer, size_t size) {
        ssize_t n;
        do {
            n = ::read(fd, buffer, size);
        } while (n < 0 && errno == EINTR);
        err = n < 0 ? errno : 0;
        return n;
    });
    return err;
}

int Run(long size, const char* input, const char* output) {
    using tavrel::thumbnail::Thumbnail;
    struct stat read {};
    std::string why;
    const int fd = tavrel::OpenRegularForReading(input, &read, &why);
    if (fd < 0) {
        return Fail({input, ": ", why});
    }
    // The rows the window reads: the thumbnail shows the button as Tavrel,
    // which opens it, shows it, and the largest drawing to read is 1000 rows
    // of 32764 pixels.
    Thumbnail thumbnail(size);
    tavrel::btn::Reader reader(tavrel::btn::Limits{}, &thumbnail);
    const int readError = ReadAll(fd, reader);
    ::close(fd);
    if (readError != 0) {
        return Fail(
            {input, ": Unable to open file ", input, " Error: ", tavrel::ErrnoString(readError)});
    }
    if (reader.OutOfMemory() || thumbnail.stop() == Thumbnail::Stop::NoMemory) {
        return DrawFailed(input, "not enough memory");
    }
    if (thumbnail.stop() == Thumbnail::Stop::UnknownValue) {
        return Fail({input, ": ",
                     tavrel::btn::UnknownValueText(thumbnail.badColumn(), thumbnail.badRow(),
                                                   thumbnail.badCharacter())});
    }
    if (reader.RowCount() == 0) {
        return DrawFailed(input, "the file holds no rows");
    }
    if (thumbnail.stop() == Thumbnail::Stop::NoPixels) {
        return DrawFailed(input, "the first row holds no pixels");
    }
    if (thumbnail.stop() == Thumbnail::Stop::TooWide) {
        return DrawFailed(input, "a row holds more than 32764 pixels");
    }

    const tavrel::thumbnail::Size out = thumbnail.OutputSize();
    std::vector<unsigned char> line;
    tavrel::thumbnail::PngBytes png;
    line.resize(static_cast<std::size_t>(out.width));
    if (!thumbnail.Prepare() ||
        !tavrel::thumbnail::EncodeGreyPng(out.width, out.height, thumbnail, line.data(), &png)) {
        return DrawFailed(input,
                          png.noMemory || png.error[0] == '\0' ? "not enough memory" : png.error);
    }

    // Whole or not at all, and never through a link: a link at the output
    // is replaced itself, as the desktop's own writers replace it, unless it
    // leads to what no thumbnail replaces (a device, as /dev/stdout does).
    // The input itself, by another name, is never the output.
    tavrel::WriteOptions options;
    options.replaceLinks = true;
    // Synced only when it replaces something, as GLib's writer does: then a
    // crash leaves the old file or the new one whole. A new file, as a file
    // manager asks for each time, could only be missing or empty, which is
    // no thumbnail either; the sync would take longer than all the rest.
    struct stat there {};
    options.sync = ::lstat(output, &there) == 0;
    options.mayReplace = [&read, output](const struct stat& existing, std::string* refusal) {
        struct stat target {};
        if (S_ISLNK(existing.st_mode) && ::stat(output, &target) == 0 && !S_ISREG(target.st_mode)) {
            *refusal = tavrel::NotRegularString(target.st_mode);
            return false;
        }
        if (existing.st_dev == read.st_dev && existing.st_ino == read.st_ino) {
            *refusal = "the output is the input file";
            return false;
        }
        return true;
    };
    if (!tavrel::WriteFileAtomically(
            output, std::string_view(reinterpret_cast<char*>(png.data), png.size), options, &why)) {
        return Fail({output, ": ", why});
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    bool closed[3] = {};
    tavrel::OpenClosedStandardDescriptors(closed);
    std::setvbuf(stderr, messageBuffer, _IOFBF, sizeof messageBuffer);
    // A write past the file-size limit then fails as any other, with "File
    // too large", instead of ending the program without a word; and a
    // reader of stderr that went away costs the exit status nothing.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    long size = 0;
    if (argc != 5 || std::strcmp(argv[1], "-s") != 0 || !ParseSize(argv[2], &size)) {
        std::fprintf(stderr, "usage: tavrel-thumbnailer -s SIZE INPUT OUTPUT (SIZE 1 to %ld)\n",
                     kMaxSize);
        return 2;
    }
    try {
        return Run(size, argv[3], argv[4]);
    } catch (const std::bad_alloc&) {
        return DrawFailed(argv[3], "not enough memory");
    }
}
