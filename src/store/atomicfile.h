#pragma once
// Whole-file reading and the locked, atomic replacement shared by the INI files and the plain
// text files. Every replacement of a file takes an exclusive flock() of the companion file
// "<file>.lock" beside it (created on first use, never renamed or removed), reads the current
// content, writes the new content to a temporary file in the same folder, flushes it and renames
// it over the file. Readers take no lock: they always see either the old or the new file whole.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ortavia::atomicfile {

// The whole content of a real (already resolved) path, read with one read() of the size fstat
// gives. The view points into a buffer of the calling thread that the next call reuses. nullopt
// when the file cannot be opened or read; errnoOut then holds the reason: an errno value, or
// kNotRegular for a pipe, a device or a socket (opened without blocking and never read).
inline constexpr int kNotRegular = -1;
std::optional<std::string_view> readShared(const std::string& realPath, int* errnoOut = nullptr);

// The content of a real path handed to take in pieces of at most pieceSize bytes read one after the
// other, so that only one piece is held; take(piece, done, total) is told the bytes read so far and
// the file's size, and stops the reading when it returns false. Returns 0 (also when take stopped
// it), or the reason as readShared gives it, kNotRegular included.
int readPieces(
    const std::string& realPath, std::size_t pieceSize,
    const std::function<bool(std::string_view piece, std::uint64_t done, std::uint64_t total)>& take);

// The message for a course file that is a folder, a pipe or a device (UTF-8).
std::string notRegularMessage(const std::string& realPath);

// The file a path finally names: symbolic links followed (a dangling link gives the path its last
// link points to, so that the target is created in the link's place). Other paths are returned as
// they are.
std::string followLinks(const std::string& realPath);

// The folder part of a path ("." for a bare name, "/" at the root).
std::string folderOf(const std::string& path);

// The path with every link, "." and ".." resolved (realpath), or nullopt when it does not exist.
std::optional<std::string> canonical(const std::string& path);

// Writes all bytes to fd, retrying after interruptions and short writes. False with errno set.
bool writeFully(int fd, const char* data, size_t size);

// The system's reason for an errno value (or kNotRegular) in Russian words, for the messages of
// the teacher's tool and the new windows.
std::string reason(int err);

// Refuses (Error, Russian, naming the link, its target and the folder) a path whose last part is a
// symbolic link to a file outside the folder "within": the course folder, which a student may
// write and so plant a link to any file of whoever writes next. An empty within means the course
// folder (the current directory) for a file in it, else the file's own folder. Links that stay
// inside, and paths that are no link, pass.
void requireLinkWithin(const std::string& realPath, std::string_view within = {});

// Opens path with flags (no O_CREAT), creating the file first when it is missing: 0666 less the
// umask, then shared with the folder's group as adoptFolderGroup says. -1 and errno on failure.
int openCreating(const std::string& path, int flags);

// A file just created in a folder that its group may write gets the folder's group and read and
// write for the group, whatever the umask, as a set-group-ID folder gives, so that the students of
// a lab (different users of one group) can all write what the first of them created. A user who
// is no member of that group keeps the file as it was made, as does a sticky folder (/tmp).
void adoptFolderGroup(int fd, const std::string& folder);

// A file is read-only when its mode has no write bit at all (as for root, who passes every
// access() test), or when the process may not write it.
bool isReadOnly(const std::string& realPath, unsigned mode);

// What to do with a file that does not exist yet.
enum class Missing { Create, Leave };

// Read-modify-replace of the file named by formedPath (a code page name, resolved here) under its
// companion lock. A symbolic link stays a link: its target is locked and replaced. A folder, pipe or
// device is refused with notRegularMessage. The new file keeps the old one's permission bits and
// group (and owner, for root); a new file gets 0666 less the umask, shared with the folder's group
// (adoptFolderGroup), so that students who are different system users of one group can all write the
// course files. change is given the current content
// (nullptr when the file is missing) and returns the new content, or nullopt to leave the file as it is. With
// Missing::Leave a missing file is left missing and change is not called. Throws WriteError("Unable to
// write to <path>") when the file cannot be replaced; the file then keeps its previous content. A link
// leading out of the folder within is refused first (requireLinkWithin).
void update(std::string_view formedPath, Missing missing,
            const std::function<std::optional<std::string>(const std::string* old)>& change,
            std::string_view within = {});

// Replaces the file formedPath with content for a file that is only ever written under the lock of
// another (a test file's backup, under the test file's lock), so it takes no lock of its own and
// leaves no lock file. Links as update; the new file takes the permission bits, group (and owner,
// for root) of the existing file likeRealPath. Throws WriteError as update does.
void replaceUnderLockOf(std::string_view formedPath, std::string_view content,
                        const std::string& likeRealPath, std::string_view within = {});

} // namespace ortavia::atomicfile
