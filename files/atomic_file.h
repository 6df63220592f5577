#pragma once

// Reading and replacing files by their names' bytes, without Qt: the
// programs that run inside other people's sessions (the thumbnailer) use
// these directly, the rest through files/files.h.

#include <sys/stat.h>

#include <functional>
#include <string>
#include <string_view>

namespace tavrel {

// The system's description of an errno value ("No such file or directory").
std::string ErrnoString(int err);

// Why a file that is there but not a regular one is neither read nor
// replaced: "Is a directory" or "Not a regular file".
std::string NotRegularString(mode_t mode);

// Opens path for reading when it names a regular file (links followed),
// with its status; -1 with *error set otherwise. A FIFO without a writer
// never blocks the open.
int OpenRegularForReading(const std::string& path, struct stat* st, std::string* error);

struct WriteOptions {
    // Flushed to the disk before the rename. A batch turns this off and
    // syncs its file systems once at the end.
    bool sync = true;
    // A link at path is replaced itself, as desktop libraries' writers do,
    // instead of the file its chain ends in.
    bool replaceLinks = false;
    // Asked about the file about to be replaced, just before it is, with
    // its status; false with *why refuses the write.
    std::function<bool(const struct stat& existing, std::string* why)> mayReplace;
};

// Replaces (or creates) path with exactly data, atomically: the bytes go to
// a temporary file beside the target, which is renamed over it only when
// complete. Unless options.replaceLinks, a link keeps being a link and the
// file its chain ends in is replaced (at most 40 links, as the system
// follows them). An existing file keeps its permissions, and its owner and
// group where the process may set them (otherwise it loses its set-id and
// sticky bits); on failure it is left as it was and no temporary file
// remains. Only regular files are replaced, and only those the user may
// write. Where the folder itself cannot be written but the existing file
// can, the file is written in place, once the room for the whole new
// content is reserved (never on a copy-on-write file system, where no
// reservation holds).
bool WriteFileAtomically(const std::string& path, std::string_view data,
                         const WriteOptions& options, std::string* error);

// Where a write to path lands: links followed to the end of their chain as
// the system follows them; path itself when it is missing. False with *err
// for a chain too long or looping, or a link that cannot be read. *st is
// what is there, when *exists.
bool FollowLinks(std::string path, std::string* end, bool* exists, struct stat* st, int* err);

// Writes all of data to an open descriptor; false with *err on failure.
bool WriteAll(int fd, std::string_view data, int* err);

}  // namespace tavrel
