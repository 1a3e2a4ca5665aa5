#pragma once
// The class overview: one row per name of the user list "users" (in its order, each name once,
// letter case ignored as the records ignore it), with the ten grades as stored in "\users.ini" and
// the number of tests passed. The whole record file is read once and gone through in one pass;
// nothing here reads a value of the store one by one.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ortavia::reports {

inline constexpr int kOverviewTests = 10;

struct StudentRow {
    std::string name;      // code page, as listed
    bool recorded = false; // users.ini holds a record (a section with a password) for the name
    // The grades as stored (deciphered), tests 1 to 10; empty when there is no record or no key.
    std::array<std::string, kOverviewTests> grades;
    // The grade as the program takes it (the low eight bits of the stored number), or nothing
    // when the stored text is missing or no whole number.
    std::array<std::optional<int>, kOverviewTests> values;
    int passed = 0;      // grades of 3 or more
    bool faulty = false; // a record with a missing grade, or one that is no whole number from 0 to 5
};

struct ClassTable {
    std::vector<StudentRow> rows;
    int recorded() const;
    int faulty() const;
};

// The table from the user list's lines and the content of the record file (enciphered as stored).
ClassTable classTableFrom(const std::vector<std::string>& userList, std::string_view recordsContent);

// The table of the course in the current directory: "users" and "\users.ini", each read once.
// A missing file is an empty one; a folder or pipe in a file's place throws Error naming it.
ClassTable readClassTable();

// The headings of the overview's columns (UTF-8): name, "Тест 1" ... "Тест 10", tests passed.
std::vector<std::string> classTableHeader();

} // namespace ortavia::reports
