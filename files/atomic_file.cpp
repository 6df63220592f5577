#include "files/atomic_file.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <system_error>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace tavrel {

std::string ErrnoString(int err) {
    return std::generic_category().message(err);
}

std::string NotRegularString(mode_t mode) {
    return S_ISDIR(mode) ? ErrnoString(EISDIR) : std::string("Not a regular file");
}

int OpenRegularForReading(const std::string& path, struct stat* st, std::string* error) {
    // O_NONBLOCK so that opening a FIFO without a writer returns at once;
    // the type check then refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *error = ErrnoString(errno);
        return -1;
    }
    if (::fstat(fd, st) != 0) {
        const int err = errno;
        ::close(fd);
        *error = ErrnoString(err);
        return -1;
    }
    if (!S_ISREG(st->st_mode)) {
        ::close(fd);
        *error = NotRegularString(st->st_mode);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    return fd;
}

// As many links as the system follows in one look-up before it gives up
// with ELOOP.
constexpr int kMaxLinks = 40;

bool FollowLinks(std::string path, std::string* end, bool* exists, struct stat* st, int* err) {
    // Each link's target is read as bytes and put after the folder part of
    // the path that led to it, untouched, so that the system itself resolves
    // every folder (a link to a folder, ".." after one) when it looks the
    // next step up. path itself when it is missing or its folder cannot be
    // looked up: creating the file there then fails with the system's own
    // reason.
    for (int links = 0;; ++links) {
        if (::lstat(path.c_str(), st) != 0) {
            if (!path.empty() && path.back() == '/') {
                *err = EISDIR;  // a link to "name/": only a folder could be there
                return false;
            }
            *end = std::move(path);
            *exists = false;
            return true;
        }
        if (!S_ISLNK(st->st_mode)) {
            *end = std::move(path);
            *exists = true;
            return true;
        }
        if (links == kMaxLinks) {
            *err = ELOOP;
            return false;
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<size_t>(n) == target.size()) {
            *err = n < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        target.resize(static_cast<size_t>(n));
        path = target.front() == '/' ? target : path.substr(0, path.rfind('/') + 1) + target;
    }
}

bool WriteAll(int fd, std::string_view data, int* err) {
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            *err = errno;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

namespace {

// Closes a file written so far with ok, synced first when asked; false with
// *err set when the write, the sync or the close failed.
bool SyncAndClose(int fd, bool sync, bool ok, int* err) {
    if (ok && sync && ::fsync(fd) != 0) {
        *err = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        *err = errno;
        ok = false;
    }
    return ok;
}

// The text for a read-only folder holding a writable file on a file system
// that cannot reserve the room for the new content first.
const char kCannotReplaceSafely[] =
    "the folder cannot be written and the file cannot be replaced safely";

// Rewrites the existing file in place, for a folder that takes no new file.
// Never cuts the old content short: the room for the whole new content is
// reserved first, and the old bytes are touched only once it is there.
bool WriteInPlace(const std::string& path, std::string_view data, bool sync, std::string* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        *error = ErrnoString(errno);
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = NotRegularString(st.st_mode);
        return false;
    }
    // Copy-on-write file systems (btrfs, zfs, bcachefs) write every changed
    // block anew, so no reservation holds the room an overwrite takes.
    struct statfs fs {};
    const auto type = ::fstatfs(fd, &fs) == 0 ? static_cast<unsigned>(fs.f_type) : 0u;
    if (type == 0x9123683Eu || type == 0x2FC12FC1u || type == 0xCA451A4Eu) {
        ::close(fd);
        *error = kCannotReplaceSafely;
        return false;
    }
    const auto newSize = static_cast<off_t>(data.size());
    if (newSize > 0 && ::fallocate(fd, 0, 0, newSize) != 0) {
        const int err = errno;
        if (newSize > st.st_size) {
            // A reservation that failed part-way may have grown the file.
            [[maybe_unused]] const int restored = ::ftruncate(fd, st.st_size);
        }
        ::close(fd);
        *error = err == EOPNOTSUPP || err == ENOSYS ? kCannotReplaceSafely : ErrnoString(err);
        return false;
    }
    int err = 0;
    bool ok = WriteAll(fd, data, &err);
    if (ok && newSize < st.st_size && ::ftruncate(fd, newSize) != 0) {
        err = errno;
        ok = false;
    }
    ok = SyncAndClose(fd, sync, ok, &err);
    if (!ok) {
        *error = ErrnoString(err);
    }
    return ok;
}

// The replaced file's owner, group and mode for the new one, as install and
// editors keep them. Where the owner or group cannot be kept, the set-id and
// sticky bits are not either: they would hand the old owner's rights to
// whoever wrote the new content.
bool KeepOwnerAndMode(int fd, const struct stat& old, int* err) {
    static const uid_t user = ::geteuid();
    static const gid_t group = ::getegid();
    mode_t mode = old.st_mode & 07777;
    if ((old.st_uid != user || old.st_gid != group) && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
        mode &= 0777;
    }
    if (::fchmod(fd, mode) != 0) {
        *err = errno;
        return false;
    }
    return true;
}

// A short random name: a long target name plus a suffix could exceed the
// file system's limit.
std::string TemporaryName(const std::string& folder, int attempt) {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    unsigned long long v = 0;
    if (::getrandom(&v, sizeof v, GRND_NONBLOCK) != sizeof v) {
        v = static_cast<unsigned long long>(std::clock()) * 2654435761u ^
            static_cast<unsigned long long>(::getpid()) << 20;
    }
    std::string name = folder + ".tavrel-";
    v ^= static_cast<unsigned long long>(attempt) * 0x9E3779B97F4A7C15ULL;
    for (v &= 0xffffffffffULL; v != 0; v /= 36) {
        name += kDigits[v % 36];
    }
    return name + ".tmp";
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view data,
                         const WriteOptions& options, std::string* error) {
    std::string target;
    bool exists = false;
    struct stat st {};
    int err = 0;
    if (options.replaceLinks) {
        target = path;
        exists = ::lstat(path.c_str(), &st) == 0;
    } else if (!FollowLinks(path, &target, &exists, &st, &err)) {
        *error = ErrnoString(err);
        return false;
    }
    const bool link = exists && S_ISLNK(st.st_mode);
    if (exists && !link && !S_ISREG(st.st_mode)) {
        *error = NotRegularString(st.st_mode);
        return false;
    }
    // A file the user may not write is not replaced, though its folder would
    // let a rename do it (a read-only file, another user's file).
    if (exists && !link && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        *error = ErrnoString(errno);
        return false;
    }
    if (exists && options.mayReplace && !options.mayReplace(st, error)) {
        return false;
    }
    const std::string folder = target.substr(0, target.rfind('/') + 1);
    const bool keep = exists && !link;  // what the new file takes over

    int fd = -1;
    std::string tempName;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempName = TemporaryName(folder, attempt);
        // Readable by this user alone until it has the old file's owner and
        // mode: the old one may have been private.
        fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, keep ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        err = errno;
        if (keep && (err == EACCES || err == EPERM || err == EROFS)) {
            // The folder cannot take a new file, but the file itself may be
            // writable.
            return WriteInPlace(target, data, options.sync, error);
        }
        *error = ErrnoString(err);
        return false;
    }

    bool ok = WriteAll(fd, data, &err) && (!keep || KeepOwnerAndMode(fd, st, &err));
    ok = SyncAndClose(fd, options.sync, ok, &err);
    if (ok && ::rename(tempName.c_str(), target.c_str()) != 0) {
        err = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(tempName.c_str());
        *error = ErrnoString(err);
        return false;
    }
    return true;
}

}  // namespace tavrel
