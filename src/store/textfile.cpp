// Plain text files of the program.
#include "store/textfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/atomicfile.h"
#include "store/error.h"
#include "store/fsys.h"

namespace ortavia::textfile {
namespace {

// The system's description of an error in English, whatever the locale of the process.
std::string reason(int err) {
    const char* text = strerrordesc_np(err);
    return text ? text : "Unknown error " + std::to_string(err);
}

// The content, or nullopt for a missing file when missingIsEmpty.
std::optional<std::string_view> contentOf(std::string_view path, bool missingIsEmpty) {
    const std::string real = fsys::resolve(path);
    int err = 0;
    std::optional<std::string_view> content = atomicfile::readShared(real, &err);
    if (!content) {
        if (missingIsEmpty && err == ENOENT)
            return std::nullopt;
        if (err == atomicfile::kNotRegular)
            throw Error(atomicfile::notRegularMessage(real));
        throw Error("Cannot open file \"" + real + "\". " + reason(err));
    }
    return content;
}

std::vector<std::string> readLinesImpl(std::string_view path, bool missingIsEmpty) {
    const std::optional<std::string_view> content = contentOf(path, missingIsEmpty);
    return content ? splitLines(*content) : std::vector<std::string>();
}

} // namespace

std::vector<std::string> splitLines(std::string_view c) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < c.size()) {
        size_t end = c.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.emplace_back(c.substr(pos));
            break;
        }
        lines.emplace_back(c.substr(pos, end - pos));
        pos = end + (c[end] == '\r' && end + 1 < c.size() && c[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

std::vector<std::string> readLines(std::string_view path) {
    return readLinesImpl(path, false);
}

std::string readAll(std::string_view path) {
    return std::string(*contentOf(path, false));
}

std::vector<std::string> readLinesIfExists(std::string_view path) {
    return readLinesImpl(path, true);
}

void replace(std::string_view path, std::string_view content) {
    atomicfile::update(
        path, atomicfile::Missing::Create,
        [&](const std::string*) -> std::optional<std::string> { return std::string(content); });
}

std::string joinLines(const std::vector<std::string>& lines) {
    size_t size = 0;
    for (const std::string& l : lines)
        size += l.size() + 2;
    std::string out;
    out.reserve(size);
    for (const std::string& l : lines)
        out.append(l).append("\r\n");
    return out;
}

void appendLine(std::string_view path, std::string_view line) {
    const std::string resolved = fsys::resolve(path);
    atomicfile::requireLinkWithin(resolved);
    const std::string real = atomicfile::followLinks(resolved);
    const auto fail = [&](int err) { throw WriteError("Unable to write to " + real, real, err); };
    // Created like every new file of the course folder (atomicfile::openCreating).
    // Read access too, to see how the file ends; a file that may only be written is written all the same.
    constexpr int kFlags = O_APPEND | O_CLOEXEC | O_NONBLOCK;
    int fd = atomicfile::openCreating(real, O_RDWR | kFlags);
    if (fd < 0 && errno == EACCES)
        fd = atomicfile::openCreating(real, O_WRONLY | kFlags);
    if (fd < 0) {
        if (errno == EISDIR || errno == ENXIO)
            throw Error(atomicfile::notRegularMessage(real));
        fail(errno);
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st;
    if (fstat(fd, &st) != 0)
        fail(errno);
    if (!S_ISREG(st.st_mode))
        throw Error(atomicfile::notRegularMessage(real));
    if (atomicfile::isReadOnly(real, st.st_mode))
        fail(EACCES);

    // The journal's own lock: the size seen, the line written and a short write cut back are one
    // step for all copies of the program. Where no lock file can be made the line is still
    // written with one write. A link in the lock's place is never followed.
    const std::string lockPath = real + ".lock";
    int lock = atomicfile::openCreating(lockPath, O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (lock < 0)
        lock = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    struct Unlocker {
        int fd;
        ~Unlocker() {
            if (fd >= 0)
                ::close(fd);
        }
    } unlocker{lock};
    if (lock >= 0)
        while (flock(lock, LOCK_EX) != 0 && errno == EINTR) {
        }

    if (fstat(fd, &st) != 0)
        fail(errno);
    const off_t size = st.st_size;
    std::string data;
    data.reserve(line.size() + 4);
    // A file that does not end in a line break (a line cut by a crash, an edit by hand) gets one
    // first, so that this line stands on a line of its own.
    char last = '\n';
    if (size > 0 && pread(fd, &last, 1, size - 1) != 1)
        last = '\n';
    if (last != '\n' && last != '\r')
        data.append("\r\n");
    data.append(line).append("\r\n");
    ssize_t n;
    do
        n = ::write(fd, data.data(), data.size());
    while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(data.size())) {
        // A short write (a full disk): what was written is cut off again, so no torn line stays.
        const int err = n < 0 ? errno : ENOSPC;
        if (n > 0) {
            [[maybe_unused]] int ignored = ftruncate(fd, size);
        }
        fail(err);
    }
}

} // namespace ortavia::textfile
