#pragma once
// The course as the windows reach it: users and records, sign-in, registration and deletion, the
// administrator settings, tests and runs, the journal and the answer log, the options, documents,
// deployment texts and the teacher's tables. One object per program run, made at start-up: the
// course folder itself (FilesCourse) or the lab server's client. Texts are code page bytes as in
// the rest of the core; messages are UTF-8. Every operation throws Error (UTF-8 text, shown as it
// stands) when it cannot be done.
//
// The object is also the session: sign-in sets who is signed in, and the run, the grade array and
// the save at close belong to that person.
#include <QString>
#include <QUrl>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "accounts/accounts.h"
#include "docs/deployment.h"
#include "reports/class_table.h"
#include "reports/item_analysis.h"
#include "reports/journal_stats.h"
#include "testing/authoring.h"
#include "testing/options.h"
#include "testing/run.h"

namespace ortavia::course {

using Grades = testing::Grades;

enum class Role { None, Student, Administrator };

struct SignInResult {
    Role role = Role::None; // None: refused
    std::string refusal;    // UTF-8, when refused
    Grades grades{};        // the grade array after the sign-in
    // A student's grades of tests 1 ... loaded were read from the record (10 when signed in). A
    // stored grade that is no number stops the reading there: nobody is signed in, problem (UTF-8)
    // tells it, and the grades read before it stay in the grade array.
    int loaded = 0;
    std::string problem;
};

// The end of a run as the student is told it.
struct RunEnd {
    int grade = 0;
    int right = 0;
    int count = 0;
};

struct Step {
    std::optional<testing::ShownQuestion> next; // the question to show, or
    std::optional<RunEnd> end;                  // the run is over and written
    std::string answerLogProblem;               // UTF-8: the answer log could not be written
    // UTF-8: the run is over and journalled, but the record could not be written (the grade stays in
    // the grade array and is saved at sign-out).
    std::string recordProblem;
};

// What installing a test from a question source gives.
struct Installed {
    int questions = 0;
    std::string path;   // UTF-8, as shown
    std::string backup; // UTF-8, or empty
};

// How the course names the file of a test in messages, and whether the test is installed.
struct TestFile {
    std::string shown; // UTF-8
    bool installed = false;
};

// The bytes of a long reading done and in all after each piece; false stops the reading.
using Progress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// Who is signed in to the server now and the runs that have ended, for the teacher's live view.
struct MonitorPerson {
    std::string name; // code page
    QString address;  // the computer, as the server saw it
    bool administrator = false;
    std::string test; // code page: the test of a run going on, or empty
    int question = 0; // the question on screen (1 ... count) of that run
    int count = 0;
};
struct MonitorEnd {
    std::string name, test; // code page
    int grade = 0;          // 0: ended without a grade
    QString time;           // the server's clock, HH:mm:ss
};
struct Monitor {
    std::vector<MonitorPerson> signedIn;
    std::vector<MonitorEnd> recent; // the latest first
};

class Course {
public:
    virtual ~Course() = default;

    // Users and records.
    virtual std::vector<std::string> userList() = 0; // the lines of "users"
    virtual bool hasRecord(std::string_view name) = 0;
    // The twelve stored values of a record (deciphered, as stored: the report prints them).
    virtual std::array<std::string, 12> storedValues(std::string_view name) = 0;

    // Sign-in; the grade array of a student is loaded from the record (tests 1 ... 10).
    virtual SignInResult signIn(std::string_view name, std::string_view password) = 0;
    // Registration: a refusal (UTF-8), or nullopt when the record and the list line are written.
    virtual std::optional<std::string> registerUser(std::string_view name, std::string_view password) = 0;
    // Whether the password is that of the name's record (the check before a deletion is confirmed).
    virtual bool passwordMatches(std::string_view name, std::string_view password) = 0;
    // Deletes the record and the first list line of the name; false when the password does not match.
    virtual bool deleteUser(std::string_view name, std::string_view password) = 0;
    // The administrator's deletion of any student (the administrator signed in).
    virtual void removeUser(std::string_view name) = 0;
    // The grades of any user for the administrator's picker: they become the grade array.
    virtual Grades pickUser(std::string_view name) = 0;
    virtual Grades grades() const = 0;
    virtual Role role() const = 0;
    // The save at close: the grade array written to the signed-in name's record.
    virtual void signOut() = 0;

    // Administrator settings, read from the file; the first reading is the one sign-in and runs use
    // for the rest of the session. The server never gives the password out: its client's settings()
    // hold it empty, and writeSettings keeps the current one when password is nullopt. A refusal
    // (UTF-8) or nullopt.
    virtual accounts::Settings settings() = 0;
    virtual std::optional<std::string> writeSettings(const accounts::Settings& typed,
                                                     const std::optional<std::string>& password) = 0;

    // Tests and runs: one run at a time; starting another abandons the one before.
    virtual testing::ShownQuestion startRun(std::string_view testName) = 0;
    virtual Step answer(int questionNumber, int place) = 0;
    virtual void abandonRun() = 0;
    // The options file's problem at the last start of a run (UTF-8), or empty: the run then goes on
    // with the options off.
    virtual std::string optionsProblem() const = 0;

    // Journal, answer log and the teacher's tables.
    virtual std::vector<std::string> journalLines() = 0; // throws as reading a missing file does
    virtual reports::ClassTable classTable() = 0;
    // With progress, the journal is told piece by piece; stopped, the statistics hold part of it.
    virtual reports::Statistics statistics(const Progress& progress = {}) = 0;
    virtual reports::ItemAnalysis itemAnalysis() = 0;
    // The bytes statistics() and itemAnalysis() read from this computer's files. A large reading is
    // done by a worker thread, which then calls those two (and only those); with 0 they are called
    // on the main thread.
    virtual std::uint64_t localReadSize() = 0;

    virtual testing::Options options() = 0;
    virtual void writeOptions(const testing::Options& options) = 0;
    // Test n (1 ... 12) from a question source (UTF-8, UTF-16 or code page text in any format).
    virtual Installed installTest(int n, std::string_view sourceBytes) = 0;
    // The administrator's test tools (the encipher tool, the test editor); refused to a student.
    // The questions of installed test n (1 ... 10) with their right answers, for editing.
    virtual std::vector<testing::authoring::Item> testItems(int n) = 0;
    virtual TestFile testFile(int n) = 0;
    // Test n (1 ... 10) from the content of a test file made on this computer, the previous file
    // kept beside it (Installed::questions is left 0: the caller knows them).
    virtual Installed installTestFile(int n, std::string_view content) = 0;
    // The figures a test's questions name into the course's figure folder, before the test itself:
    // each name is checked first (a plain file name; without bytes, in the course already), then
    // those with bytes are written. sourceFolder (UTF-8) only names where they were looked for.
    // Gives the names written.
    virtual std::vector<std::string> installFigures(const std::vector<testing::authoring::Figure>& figures,
                                                    std::string_view sourceFolder) = 0;
    // The folder this computer shows the questions' figures from: the course's own figure folder, or
    // a folder of copies of the figures named by the questions and test items received so far.
    virtual QString figureFolder() = 0;

    // Documents under data\ (a path beginning with '\', as the menu gives it) and the texts of the
    // title screen.
    virtual QUrl documentUrl(std::string_view relativePath) = 0;
    virtual std::optional<std::string> document(std::string_view relativePath) = 0;
    virtual deployment::Reading deploymentTexts() = 0;

    // The teacher's live view of the lab server (the administrator signed in); nullopt when the
    // course is the course folder, which knows nobody but its own user.
    virtual std::optional<Monitor> monitor() = 0;
};

// Whether a path from a client names a document of the course: relative, under data\, with no
// "." or ".." part, no empty part and no control character. Either separator is taken.
bool isDocumentPath(std::string_view relativePath);

// The SHA-256 fingerprint of a DER certificate as lower-case hex, and whether a fingerprint as a
// user types it (hex, any case, ':' or blanks between the bytes allowed) is that one.
std::string fingerprintOf(const QByteArray& der);
bool verifyFingerprint(const QByteArray& der, std::string_view typed);

} // namespace ortavia::course
