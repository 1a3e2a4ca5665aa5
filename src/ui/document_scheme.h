#pragma once
// The course's documents in the viewer when the course is the lab server's: the pages, pictures
// and links of data\ are addresses of the program's own scheme, answered from the course object
// (never from a folder of this computer).
#include <QPointer>
#include <QWebEngineProfile>
#include <QWebEngineUrlSchemeHandler>

#include "course/course.h"

namespace ortavia::ui {

// Registers the scheme; before the QApplication exists.
void registerDocumentScheme();

class DocumentScheme : public QWebEngineUrlSchemeHandler {
public:
    // Answers the scheme's requests of the profile from the course, until destroyed.
    DocumentScheme(QWebEngineProfile* profile, course::Course& course);
    ~DocumentScheme() override;
    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    void answer(QWebEngineUrlRequestJob* job);
    QPointer<QWebEngineProfile> profile_;
    course::Course& course_;
};

} // namespace ortavia::ui
