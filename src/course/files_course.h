#pragma once
// The course folder itself: the current directory's files, read and written by the core functions
// as the windows have always done. The lab server makes one per session.
#include <memory>
#include <random>

#include "course/course.h"

namespace ortavia::course {

class FilesCourse : public Course {
public:
    FilesCourse();
    ~FilesCourse() override;

    std::vector<std::string> userList() override;
    bool hasRecord(std::string_view name) override;
    std::array<std::string, 12> storedValues(std::string_view name) override;

    SignInResult signIn(std::string_view name, std::string_view password) override;
    std::optional<std::string> registerUser(std::string_view name, std::string_view password) override;
    bool passwordMatches(std::string_view name, std::string_view password) override;
    bool deleteUser(std::string_view name, std::string_view password) override;
    void removeUser(std::string_view name) override;
    Grades pickUser(std::string_view name) override;
    Grades grades() const override { return grades_; }
    Role role() const override { return role_; }
    void signOut() override;

    accounts::Settings settings() override;
    std::optional<std::string> writeSettings(const accounts::Settings& typed,
                                             const std::optional<std::string>& password) override;

    testing::ShownQuestion startRun(std::string_view testName) override;
    Step answer(int questionNumber, int place) override;
    void abandonRun() override;
    std::string optionsProblem() const override { return optionsProblem_; }

    std::vector<std::string> journalLines() override;
    reports::ClassTable classTable() override;
    reports::Statistics statistics(const Progress& progress = {}) override;
    reports::ItemAnalysis itemAnalysis() override;
    std::uint64_t localReadSize() override;

    testing::Options options() override;
    void writeOptions(const testing::Options& options) override;
    Installed installTest(int n, std::string_view sourceBytes) override;
    std::vector<testing::authoring::Item> testItems(int n) override;
    TestFile testFile(int n) override;
    Installed installTestFile(int n, std::string_view content) override;
    std::vector<std::string> installFigures(const std::vector<testing::authoring::Figure>& figures,
                                            std::string_view sourceFolder) override;

    QUrl documentUrl(std::string_view relativePath) override;
    std::optional<std::string> document(std::string_view relativePath) override;
    deployment::Reading deploymentTexts() override;
    std::optional<Monitor> monitor() override { return std::nullopt; }
    QString figureFolder() override;

    // The record written at the end of a run is left to the caller (the server writes the records
    // of runs that end together as one change of the record file).
    void leaveRecordToCaller() { writesRecord_ = false; }
    // A session the server brings back after its restart: who signed in, the session's grade
    // array and journal file, and the run under way (or none). The settings file is read as at a
    // sign-in; the journal stays the one the session had.
    void resume(std::string name, Role role, const Grades& grades, const std::string& journal,
                std::unique_ptr<testing::Run> run);

    // The session's state, for the server's live view and its checks.
    const std::string& signedInName() const { return name_; }
    const testing::Run* run() const { return run_.get(); }
    const std::string& journalName() { return loaded().journal; } // the session's journal file

private:
    const accounts::Settings& loaded(); // the settings of the session, read once

    std::optional<accounts::Settings> settings_;
    std::string name_;
    Role role_ = Role::None;
    Grades grades_{};
    std::unique_ptr<testing::Run> run_;
    std::string optionsProblem_;
    bool writesRecord_ = true;
};

} // namespace ortavia::course
