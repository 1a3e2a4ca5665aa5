#pragma once
// The program in either of its two ways of reaching the course: the course folder as its current
// directory (files mode), or the real ortavia-server serving the course folder with the program's
// current directory an empty folder (server mode). Either way the test reads the course folder
// afterwards.
#include <functional>
#include <memory>

#include "support/harness.h"
#include "support/lab_server.h"

namespace ortavia::testsupport {

enum class Mode { Files, Server };

// Test 1 of the course folder (the current directory): twelve questions whose first answer is
// right, asked in order with the options off.
void plainTest1(const CourseFolder& course);

class ModeCourse {
public:
    // A copy of the sample course; prepare runs with it as the current directory (fixtures are
    // written there with the core's functions) before the program's side is made.
    explicit ModeCourse(Mode mode, const std::function<void(const CourseFolder&)>& prepare = {});
    ~ModeCourse();
    const CourseFolder& folder() const { return *served_; }
    Mode mode() const { return mode_; }
    const LabServerProcess* server() const { return server_.get(); } // server mode only
    // The program on the course, the title screen closed.
    std::unique_ptr<Running> start() const;
    // Runs f with the course folder as the current directory.
    void inFolder(const std::function<void()>& f) const;

private:
    Mode mode_;
    std::unique_ptr<CourseFolder> served_;
    std::unique_ptr<LabServerProcess> server_;
    std::unique_ptr<CourseFolder> empty_; // the program's current directory in server mode
};

} // namespace ortavia::testsupport
