#include "support/modes.h"

#include "course/server_course.h"

namespace ortavia::testsupport {

void plainTest1(const CourseFolder& course) {
    writeTest(QStringLiteral("test1"), std::vector<int>(12, 1));
    QFile::remove(course.file(QStringLiteral("data/info/options.ini")));
}

ModeCourse::ModeCourse(Mode mode, const std::function<void(const CourseFolder&)>& prepare)
    : mode_(mode), served_(std::make_unique<CourseFolder>(Contents::Everything)) {
    if (prepare)
        prepare(*served_);
    if (mode_ == Mode::Server) {
        server_ = std::make_unique<LabServerProcess>(served_->path());
        empty_ = std::make_unique<CourseFolder>(Contents::Nothing);
    }
}

ModeCourse::~ModeCourse() {
    empty_.reset();
    server_.reset();
}

std::unique_ptr<Running> ModeCourse::start() const {
    if (mode_ == Mode::Files)
        return std::make_unique<Running>();
    return std::make_unique<Running>(std::make_unique<course::ServerCourse>(
        QStringLiteral("127.0.0.1"), static_cast<quint16>(server_->port()), server_->fingerprint()));
}

void ModeCourse::inFolder(const std::function<void()>& f) const {
    const QString previous = QDir::currentPath();
    QDir::setCurrent(served_->path());
    f();
    QDir::setCurrent(previous);
}

} // namespace ortavia::testsupport
