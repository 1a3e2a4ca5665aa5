// Plain text files of the program.
#include "store/textfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/atomicfile.h"
#include "store/error.h"
#include "store/fsys.h"

namespace ortavia::textfile {
namespace {

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

// The system's description of an error in English, whatever the locale of the process.
std::string reason(int err) {
    const char* text = strerrordesc_np(err);
    return text ? text : "Unknown error " + std::to_string(err);
}

std::vector<std::string> readLinesImpl(std::string_view path, bool missingIsEmpty) {
    const std::string real = fsys::resolve(path);
    int err = 0;
    std::optional<std::string_view> content = atomicfile::readShared(real, &err);
    if (!content) {
        if (missingIsEmpty && err == ENOENT)
            return {};
        throw Error("Cannot open file \"" + real + "\". " + reason(err));
    }
    return splitLines(*content);
}

} // namespace

std::vector<std::string> readLines(std::string_view path) {
    return readLinesImpl(path, false);
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
    const std::string real = fsys::resolve(path);
    const auto fail = [&]() { throw Error("Unable to write to " + real); };
    std::string data;
    data.reserve(line.size() + 2);
    data.append(line).append("\r\n");
    int fd = ::open(real.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        fail();
    struct stat st;
    if (fstat(fd, &st) != 0 || atomicfile::isReadOnly(real, st.st_mode)) {
        ::close(fd);
        fail();
    }
    ssize_t n;
    do
        n = ::write(fd, data.data(), data.size());
    while (n < 0 && errno == EINTR);
    // A short write (a full disk) is an error too: a second write could interleave with the lines
    // of another copy of the program.
    const bool ok = n == static_cast<ssize_t>(data.size());
    if (::close(fd) != 0 || !ok)
        fail();
}

} // namespace ortavia::textfile
