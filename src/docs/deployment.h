#pragma once
// Deployment texts: the institution, the department, the specialty, the kind of publication, the
// credits, the city and the year that the title screen and the information windows show. A
// deployment keeps them in the course folder, in the UTF-8 text file data\info\deployment.txt that
// any editor changes, one "key = value" line each:
//
//   # comment lines begin with '#' or ';', blank lines are skipped
//   institution = Университет
//   year = 2026
//
// Keys: institution, department, specialty, publication, compiler, compiler_position, developer,
// developer_department, developer_position, city, year. A missing file, a missing key or an empty
// value keeps the built-in placeholder of that text. The texts are UTF-8 (they go to the windows
// only, never to a course file in the code page).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ortavia::deployment {

// The file's name in the course folder, formed like every other course file name.
inline constexpr std::string_view kFile = "data\\info\\deployment.txt";

// The course title is the program's own and not a deployment text.
inline constexpr const char* kCourseTitle = "Ортавия";

struct Texts {
    std::string institution = "Университет";
    std::string department = "Физика кафедрасы";
    std::string specialty = "0000000 — «Мамандық атауы»";
    std::string publication = "Электрондық әдістемелік құрал";
    std::string compiler = "Аты-жөні";
    std::string compilerPosition = "аға оқытушы, физика кафедрасы";
    std::string developer = "Аты-жөні";
    std::string developerDepartment = "ақпараттық технологиялар кафедрасы";
    std::string developerPosition = "оқытушы";
    std::string city = "Қала";
    std::string year = "2026";
};

struct Reading {
    Texts texts;
    // One message (Russian, UTF-8) per line that was skipped, or for a file that could not be
    // read; every sound line is kept. read() names the file in each message.
    std::vector<std::string> problems;
};

// The texts of a file's content: placeholders overwritten by the keys found.
Reading parse(std::string_view content);

// The largest file read; a larger one is refused with a message and the placeholders kept.
inline constexpr std::uint64_t kMaxSize = 64 * 1024;

// The texts of the course folder that is the current directory. A folder, pipe or device in the
// file's place is named in a message and never waited on; control characters of the file are
// written escaped in the messages.
Reading read();

} // namespace ortavia::deployment
