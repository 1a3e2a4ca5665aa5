#include "store/atomicfile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "store/error.h"
#include "store/fsys.h"

namespace ortavia::atomicfile {
namespace {

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd = -1) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// Reads exactly size bytes (fewer only at end of file). False on a read error.
bool readAll(int fd, char* buf, size_t size, size_t& got) {
    got = 0;
    while (got < size) {
        ssize_t n = ::read(fd, buf + got, size - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return true;
}

bool writeAll(int fd, const char* buf, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, buf, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        buf += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Content of an open file: one read() of the size fstat reports, then one more to make sure of
// the end only when the first read was short.
bool readOpen(int fd, std::string& out) {
    struct stat st;
    if (fstat(fd, &st) != 0)
        return false;
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    out.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    if (!readAll(fd, out.data(), out.size(), got))
        return false;
    out.resize(got);
    return true;
}

struct SharedBuffer {
    std::unique_ptr<char[]> data;
    size_t capacity = 0;
};

// The name of the temporary file of a replacement; a file of that pattern that exists while the
// lock is held was left by a writer that died, since every writer of the file holds the lock from
// before it creates its temporary file until after it renamed it.
std::string tempPrefix(std::string_view base) {
    std::string prefix = ".";
    prefix += base;
    prefix += ".tmp.";
    return prefix;
}

bool isTempName(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix)
        return false;
    std::string_view rest = name.substr(prefix.size());
    size_t dot = rest.find('.');
    if (dot == 0 || dot == std::string_view::npos || dot + 1 == rest.size())
        return false;
    for (size_t i = 0; i < rest.size(); ++i)
        if (i != dot && (rest[i] < '0' || rest[i] > '9'))
            return false;
    return true;
}

void removeStaleTemps(int dirFd, std::string_view prefix) {
    int fd = openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR* d = fdopendir(fd);
    if (d == nullptr) {
        ::close(fd);
        return;
    }
    while (dirent* e = readdir(d))
        if (isTempName(e->d_name, prefix))
            unlinkat(dirFd, e->d_name, 0);
    closedir(d);
}

std::atomic<unsigned> tempCounter{0};

} // namespace

std::optional<std::string_view> readShared(const std::string& realPath, int* errnoOut) {
    thread_local SharedBuffer buffer;
    const auto failWith = [&](int err) -> std::optional<std::string_view> {
        if (errnoOut)
            *errnoOut = err;
        return std::nullopt;
    };
    // Not blocking on open: a pipe in place of a course file would otherwise wait for a writer
    // for good.
    Fd fd(::open(realPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        return failWith(errno);
    struct stat st;
    if (fstat(fd.get(), &st) != 0)
        return failWith(errno);
    if (S_ISDIR(st.st_mode))
        return failWith(EISDIR);
    if (!S_ISREG(st.st_mode))
        return failWith(kNotRegular);
    size_t size = static_cast<size_t>(st.st_size);
    if (buffer.capacity < size || buffer.capacity == 0) {
        size_t cap = std::max<size_t>(size + size / 4, 4096);
        buffer.data = std::make_unique_for_overwrite<char[]>(cap);
        buffer.capacity = cap;
    }
    size_t got = 0;
    if (!readAll(fd.get(), buffer.data.get(), size, got)) {
        return failWith(errno);
    }
    return std::string_view(buffer.data.get(), got);
}

int readPieces(const std::string& realPath, std::size_t pieceSize,
               const std::function<bool(std::string_view, std::uint64_t, std::uint64_t)>& take) {
    Fd fd(::open(realPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        return errno;
    struct stat st;
    if (fstat(fd.get(), &st) != 0)
        return errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (!S_ISREG(st.st_mode))
        return kNotRegular;
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    std::vector<char> piece(std::max<std::size_t>(pieceSize, 1));
    std::uint64_t done = 0;
    for (;;) {
        const ssize_t n = ::read(fd.get(), piece.data(), piece.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        done += static_cast<std::uint64_t>(n);
        if (!take(std::string_view(piece.data(), static_cast<std::size_t>(n)), done, std::max(done, size)))
            return 0;
    }
}

std::string notRegularMessage(const std::string& realPath) {
    return "\"" + realPath +
           "\" — не обычный файл (папка, канал или устройство). Программа не может с ним работать; "
           "сообщите администратору.";
}

std::string followLinks(const std::string& realPath) {
    std::string path = realPath;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        const ssize_t n = readlink(path.c_str(), target.data(), target.size());
        if (n <= 0)
            return path;
        target.resize(static_cast<size_t>(n));
        if (target.front() != '/') {
            const size_t slash = path.rfind('/');
            target = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + target;
        }
        path = std::move(target);
    }
    return path;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::optional<std::string> canonical(const std::string& path) {
    std::unique_ptr<char, decltype(&free)> real(realpath(path.c_str(), nullptr), &free);
    if (!real)
        return std::nullopt;
    return std::string(real.get());
}

bool writeFully(int fd, const char* data, size_t size) {
    return writeAll(fd, data, size);
}

std::string reason(int err) {
    switch (err) {
    case kNotRegular:
        return "это не обычный файл, а канал, устройство или сокет";
    case ENOENT:
        return "нет такого файла или папки";
    case ENOTDIR:
        return "часть пути — не папка";
    case EISDIR:
        return "это папка";
    case EACCES:
    case EPERM:
        return "нет прав на запись";
    case EROFS:
        return "файловая система только для чтения";
    case ENOSPC:
        return "нет места на диске";
    case EDQUOT:
        return "превышена дисковая квота";
    case EFBIG:
        return "файл больше допустимого размера";
    case EIO:
        return "ошибка ввода-вывода";
    case ENAMETOOLONG:
        return "слишком длинное имя";
    case ELOOP:
        return "слишком много символических ссылок";
    case EEXIST:
        return "файл уже есть";
    case EBUSY:
    case ETXTBSY:
        return "файл занят";
    case ENOMEM:
        return "не хватает памяти";
    case EXDEV:
        return "файл на другом диске";
    case EINTR:
        return "прервано";
    default:
        break;
    }
    const char* text = err > 0 ? strerrordesc_np(err) : nullptr;
    return "системная ошибка " + std::to_string(err) +
           (text ? std::string(" (") + text + ")" : std::string());
}

namespace {

bool isWithin(const std::string& path, const std::string& folder) {
    return folder == "/" || path == folder || (path.starts_with(folder) && path[folder.size()] == '/');
}

} // namespace

void requireLinkWithin(const std::string& realPath, std::string_view within) {
    const std::string target = followLinks(realPath);
    if (target == realPath)
        return; // no link
    std::optional<std::string> root;
    if (!within.empty()) {
        root = canonical(fsys::resolve(within));
    } else {
        root = canonical(folderOf(realPath));
        const std::optional<std::string> course = canonical(".");
        if (root && course && isWithin(*root, *course))
            root = course;
    }
    const std::optional<std::string> folder = canonical(folderOf(target));
    // A link into a folder that does not exist, or a folder that cannot be looked at: the write
    // fails there anyway, with the usual message.
    if (!root || !folder || isWithin(*folder, *root))
        return;
    throw Error("\"" + realPath + "\" — символическая ссылка на \"" + target + "\" за пределами папки \"" +
                *root +
                "\". Через такую ссылку ничего не записывается: её мог подложить любой, кто может "
                "писать в папку. Замените ссылку обычным файлом или сообщите администратору.");
}

void adoptFolderGroup(int fd, const std::string& folder) {
    struct stat dir;
    // A shared temporary folder (sticky, like /tmp) is no course folder.
    if (stat(folder.c_str(), &dir) != 0 || (dir.st_mode & S_IWGRP) == 0 || (dir.st_mode & S_ISVTX) != 0)
        return;
    struct stat st;
    if (fstat(fd, &st) != 0)
        return;
    if (st.st_gid != dir.st_gid &&
        (fchown(fd, static_cast<uid_t>(-1), dir.st_gid) != 0 || fstat(fd, &st) != 0))
        return; // not a member of the folder's group: the file stays the user's own
    [[maybe_unused]] int ignored = fchmod(fd, (st.st_mode & 07777) | S_IRGRP | S_IWGRP);
}

int openCreating(const std::string& path, int flags) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int made = ::open(path.c_str(), (flags & ~O_ACCMODE) | O_RDWR | O_CREAT | O_EXCL, 0666);
        if (made >= 0) {
            adoptFolderGroup(made, folderOf(path));
            return made;
        }
        if (errno != EEXIST)
            return -1;
        const int fd = ::open(path.c_str(), flags);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        // Removed between the two opens: try again.
    }
    return -1;
}

bool isReadOnly(const std::string& realPath, unsigned mode) {
    if ((mode & 0222) == 0)
        return true;
    return geteuid() != 0 && faccessat(AT_FDCWD, realPath.c_str(), W_OK, AT_EACCESS) != 0;
}

namespace {

[[noreturn]] void failWith(const std::string& real, int err) {
    throw WriteError("Unable to write to " + real, real, err);
}

// Writes content to a temporary file in the folder and renames it over base. The new file takes
// the permission bits, group (and owner, for root) of like; without like it is a new file of the
// folder. Throws WriteError for real.
void writeReplacement(const std::string& real, const std::string& dir, const std::string& base,
                      std::string_view content, const struct stat* like) {
    Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dirFd.valid())
        failWith(real, errno);
    const std::string prefix = tempPrefix(base);
    removeStaleTemps(dirFd.get(), prefix);

    const std::string temp = prefix + std::to_string(getpid()) + "." + std::to_string(++tempCounter);
    Fd out(openat(dirFd.get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!out.valid())
        failWith(real, errno);
    const auto failAndRemove = [&](int err) {
        out.reset();
        unlinkat(dirFd.get(), temp.c_str(), 0);
        failWith(real, err);
    };
    if (like) {
        // The new file takes the place of the old one with its group (a user may give a file any
        // group of theirs), its owner when we are root, and its permission bits.
        const uid_t owner = geteuid() == 0 ? like->st_uid : static_cast<uid_t>(-1);
        if ((geteuid() == 0 && like->st_uid != geteuid()) || like->st_gid != getegid()) {
            [[maybe_unused]] int ignored = fchown(out.get(), owner, like->st_gid);
        }
        if (fchmod(out.get(), like->st_mode & 07777) != 0)
            failAndRemove(errno);
    } else {
        adoptFolderGroup(out.get(), dir);
    }
    if (!writeAll(out.get(), content.data(), content.size()) || fsync(out.get()) != 0)
        failAndRemove(errno);
    if (::close(out.release()) != 0) {
        const int err = errno;
        unlinkat(dirFd.get(), temp.c_str(), 0);
        failWith(real, err);
    }
    if (renameat(dirFd.get(), temp.c_str(), dirFd.get(), base.c_str()) != 0) {
        const int err = errno;
        unlinkat(dirFd.get(), temp.c_str(), 0);
        failWith(real, err);
    }
    // The new content is in place; a failing flush of the folder cannot undo that, so it is not
    // reported (the rename is then durable as soon as the file system writes its journal).
    fsync(dirFd.get());
}

struct Target {
    std::string real, dir, base;
};

// The file a formed name finally names, links followed once they are known to stay within.
Target targetOf(std::string_view formedPath, std::string_view within) {
    const std::string resolved = fsys::resolve(formedPath);
    requireLinkWithin(resolved, within);
    Target t;
    t.real = followLinks(resolved);
    const size_t slash = t.real.rfind('/');
    t.dir = slash == 0 ? std::string("/") : t.real.substr(0, slash);
    t.base = t.real.substr(slash + 1);
    if (t.base.empty())
        failWith(t.real, EISDIR);
    return t;
}

} // namespace

void update(std::string_view formedPath, Missing missing,
            const std::function<std::optional<std::string>(const std::string* old)>& change,
            std::string_view within) {
    const Target t = targetOf(formedPath, within);
    const std::string& real = t.real;

    // Refuse a read-only file before anything (the lock file included) is created.
    struct stat st;
    if (stat(real.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            throw Error(notRegularMessage(real));
        if (isReadOnly(real, st.st_mode))
            failWith(real, EACCES);
    } else if (missing == Missing::Leave) {
        return;
    }

    // The lock file itself is never followed: a link planted in its place is no lock of ours.
    const std::string lockPath = real + ".lock";
    Fd lock(openCreating(lockPath, O_RDWR | O_CLOEXEC | O_NOFOLLOW));
    if (!lock.valid()) {
        const int err = errno;
        lock.reset(
            ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW)); // flock needs no write access
        if (!lock.valid())
            failWith(real, errno == ENOENT ? err : errno);
    }
    while (flock(lock.get(), LOCK_EX) != 0)
        if (errno != EINTR)
            failWith(real, errno);

    // The content as it is now, under the lock.
    std::string old;
    bool existed = false;
    struct stat oldSt {};
    {
        Fd in(::open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (in.valid()) {
            if (fstat(in.get(), &oldSt) != 0)
                failWith(real, errno);
            if (!S_ISREG(oldSt.st_mode))
                throw Error(notRegularMessage(real));
            if (isReadOnly(real, oldSt.st_mode))
                failWith(real, EACCES);
            if (!readOpen(in.get(), old))
                failWith(real, errno);
            existed = true;
        } else if (errno != ENOENT) {
            failWith(real, errno);
        }
    }
    if (!existed && missing == Missing::Leave)
        return;

    std::optional<std::string> content = change(existed ? &old : nullptr);
    if (!content)
        return;
    writeReplacement(real, t.dir, t.base, *content, existed ? &oldSt : nullptr);
}

void replaceUnderLockOf(std::string_view formedPath, std::string_view content,
                        const std::string& likeRealPath, std::string_view within) {
    const Target t = targetOf(formedPath, within);
    struct stat like;
    if (stat(likeRealPath.c_str(), &like) != 0)
        failWith(t.real, errno);
    struct stat st;
    if (lstat(t.real.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        throw Error(notRegularMessage(t.real));
    writeReplacement(t.real, t.dir, t.base, content, &like);
}

} // namespace ortavia::atomicfile
