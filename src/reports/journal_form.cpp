// The administrator's view of the test journal on the text page screen.
#include <QPlainTextEdit>

#include "course/course.h"
#include "ui/text.h"
#include "ui/tform1.h"

namespace ortavia::ui {

void TForm1::N30Click() {
    if (!administratorSignedIn())
        return;
    showPanels({Panel6}, {Panel1, Panel2, Panel3, Panel4});
    const std::vector<std::string> lines = course().journalLines();
    std::string all;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i)
            all += '\n';
        all += lines[i];
    }
    Memo2->setPlainText(toQ(all));
}

} // namespace ortavia::ui
