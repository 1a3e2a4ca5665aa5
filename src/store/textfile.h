#pragma once
// Plain text files of the program (the user list, the administrator settings, the test journal):
// code page bytes, lines ended by CR LF when written; CR LF, LF or CR accepted when read.
#include <string>
#include <string_view>
#include <vector>

namespace ortavia::textfile {

// The lines of a content as the reading functions give them: ended by CR LF, LF or CR, the last
// one maybe unended.
std::vector<std::string> splitLines(std::string_view content);

// All lines of the file, without their line ends. Throws Error("Cannot open file \"<path>\". <reason>")
// when the file cannot be opened (a missing file included).
std::vector<std::string> readLines(std::string_view path);

// The whole content of the file. Throws Error as readLines does.
std::string readAll(std::string_view path);

// Like readLines, but a missing file gives no lines instead of an error.
std::vector<std::string> readLinesIfExists(std::string_view path);

// Replaces the whole file atomically (temporary file in the same folder, flushed, renamed over).
// Throws Error("Unable to write to <path>") and leaves the old file whole on failure.
void replace(std::string_view path, std::string_view content);

// Each line followed by CR LF.
std::string joinLines(const std::vector<std::string>& lines);

// Appends line + CR LF with one write (O_APPEND), creating the file when missing, so that lines of
// several copies of the program never interleave. Throws Error on failure.
void appendLine(std::string_view path, std::string_view line);

} // namespace ortavia::textfile
