// Formed file names (code page, '\' or '/' between the parts) mapped onto the real file system.
#include "store/fsys.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "store/codepage.h"

namespace ortavia::fsys {
namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string currentDirectoryUtf8() {
    std::vector<char> buf(PATH_MAX);
    while (getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE)
            return "/"; // the current directory has been removed; "/" is the best that can be said
        buf.resize(buf.size() * 2);
    }
    return std::string(buf.data());
}

void appendPart(std::string& path, std::string_view part) {
    if (path.empty() || path.back() != '/')
        path += '/';
    path += part;
}

bool entryExists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The name of the first entry of dir that equals part (a code page string) ignoring letter case,
// or an empty string when there is none.
std::string findNoCase(const std::string& dir, std::string_view part) {
    DIR* d = opendir(dir.empty() ? "/" : dir.c_str());
    if (d == nullptr)
        return {};
    std::string found;
    while (dirent* e = readdir(d)) {
        std::string_view name(e->d_name);
        if (name.size() < part.size()) // a code page name is never longer than its UTF-8 form
            continue;
        std::optional<std::string> cpName = cp::fromUtf8(name);
        if (cpName && cp::equalsNoCase(*cpName, part)) {
            found.assign(name);
            break;
        }
    }
    closedir(d);
    return found;
}

} // namespace

std::string currentDirectory() {
    std::string utf8 = currentDirectoryUtf8();
    // A folder whose name the code page cannot hold is handed on in its bytes as they are.
    return cp::fromUtf8(utf8).value_or(utf8);
}

bool setCurrentDirectory(std::string_view path) {
    return chdir(resolve(path).c_str()) == 0;
}

namespace {

// The real path of the parts of path (separated by '\\' or '/') taken below base (UTF-8).
std::string resolveBelow(std::string base, std::string_view path) {
    // Split into parts; empty parts (doubled separators) are dropped.
    std::vector<std::string_view> parts;
    size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && isSeparator(path[i]))
            ++i;
        size_t start = i;
        while (i < path.size() && !isSeparator(path[i]))
            ++i;
        if (i > start)
            parts.push_back(path.substr(start, i - start));
    }
    const bool trailing = !parts.empty() && isSeparator(path.back());

    // Fast way: the whole name exists exactly as written. Then every part exists as written too,
    // which is what the search part by part would find.
    std::string exact = base;
    for (std::string_view p : parts)
        appendPart(exact, cp::toUtf8(p));
    if (parts.empty() || entryExists(exact)) {
        if (trailing)
            exact += '/';
        return exact;
    }

    std::string result = std::move(base);
    bool searching = true; // false once a part matched nothing: nothing below it can exist
    for (std::string_view p : parts) {
        std::string utf8 = cp::toUtf8(p);
        std::string candidate = result;
        appendPart(candidate, utf8);
        if (searching && !entryExists(candidate)) {
            std::string other = findNoCase(result, p);
            if (other.empty()) {
                searching = false;
            } else {
                candidate = result;
                appendPart(candidate, other);
            }
        }
        result = std::move(candidate);
    }
    if (trailing)
        result += '/';
    return result;
}

} // namespace

namespace {
constexpr char kRawMark = '\x98';
} // namespace

std::string rawPath(std::string_view utf8) {
    std::string path(1, kRawMark);
    path += utf8;
    return path;
}

bool isRawPath(std::string_view path) {
    return !path.empty() && path.front() == kRawMark;
}

std::string resolve(std::string_view path) {
    if (isRawPath(path))
        return std::string(path.substr(1));
    const bool absolute = !path.empty() && isSeparator(path.front());
    if (!absolute)
        return resolveBelow(currentDirectoryUtf8(), path);
    // Paths from the file system stay in its own encoding: a current directory that the code page
    // cannot hold stands at the start of a formed name (the store's "<current directory>\users.ini",
    // a document's full name) in its own bytes, which are taken as they are; only the rest of the
    // name is in the code page.
    const std::string cwd = currentDirectoryUtf8();
    if (path.starts_with(cwd) && (path.size() == cwd.size() || isSeparator(path[cwd.size()])) &&
        !cp::fromUtf8(cwd))
        return resolveBelow(cwd, path.substr(cwd.size()));
    return resolveBelow("/", path);
}

std::optional<std::string> unreadableReason(std::string_view path) {
    const std::string real = resolve(path);
    const int fd = ::open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::string(strerrordesc_np(errno));
    struct stat st;
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!regular)
        return std::string("это не обычный файл: папка, канал или устройство");
    return std::nullopt;
}

bool exists(std::string_view path) {
    struct stat st;
    return stat(resolve(path).c_str(), &st) == 0;
}

std::string storePath(std::string_view name) {
    std::string path = currentDirectory();
    path += name;
    return path;
}

std::string displayName(std::string_view path) {
    return resolve(path);
}

} // namespace ortavia::fsys
