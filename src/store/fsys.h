#pragma once
// File names as the program forms them: a code page string in which '\' (and '/') separate the
// parts. They are resolved on the real file system part by part, each part matched without regard
// to letter case when no part of exactly that name exists, so "Data\Prezent\" finds data/Prezent/
// and "\data\tests\test3.ini" finds Test3.ini.
#include <optional>
#include <string>
#include <string_view>

namespace ortavia::fsys {

// The process's current directory in the code page, without a trailing separator except at the
// root ("/"). Taken anew at every call. A folder whose name the code page cannot hold ("café") is
// given in its own bytes; resolve() knows it at the start of a formed name and keeps it as it is.
std::string currentDirectory();

// Changes the current directory; false when that is not possible.
bool setCurrentDirectory(std::string_view path);

// The real path (UTF-8, '/' separators) that a formed name designates. Relative names are taken
// against the current directory; empty parts (a doubled separator) are ignored. Parts that exist in
// no letter case are kept as written, so the result also names a file yet to be created.
std::string resolve(std::string_view path);

bool exists(std::string_view path);

// Why an existing file cannot be read (UTF-8, the system's words), or nullopt when it can: a folder,
// pipe or device in its place, or no permission to read it. Never blocks.
std::optional<std::string> unreadableReason(std::string_view path);

// A real path (UTF-8) carried as a formed name, for a path from the file system (a file dialog, the
// command line) that the code page cannot hold: resolve() gives it back as it is. It starts with
// the one byte the code page leaves undefined, which no code page text holds.
std::string rawPath(std::string_view utf8);
bool isRawPath(std::string_view path);

// The full name of a store file: the current directory followed directly by the name, with no
// separator added or removed ("\users.ini" -> "/home/lab/course\users.ini").
std::string storePath(std::string_view name);

// How a formed name is shown to the user in messages (the resolved real path, as UTF-8).
std::string displayName(std::string_view path);

} // namespace ortavia::fsys
