#include "ui/formula.h"

#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

namespace ortavia::ui::formula {
namespace {

namespace nt = testing::notation;

// The large view of a figure: closed by a click or any key.
class FigureView : public QDialog {
public:
    using QDialog::QDialog;

protected:
    void mouseReleaseEvent(QMouseEvent*) override { close(); }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
            event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space)
            close();
        else
            QDialog::keyPressEvent(event);
    }
};

std::function<QString()>& figureFolder() {
    static std::function<QString()> folder;
    return folder;
}

} // namespace

QString courseFigures() {
    return figureFolder() ? figureFolder()() : nt::figureFolder(QDir::currentPath());
}

void setCourseFigures(std::function<QString()> folder) {
    figureFolder() = std::move(folder);
}

void show(QTextDocument* document, const QString& text, const nt::FigureBox& box, qreal devicePixelRatio) {
    const QString folder = courseFigures();
    // Each figure as an image drawn at its shown size for the display, so that it stays sharp when
    // scaled; the document then reads no file.
    for (const QString& name : nt::figureNames(text)) {
        const QString path = nt::figurePath(folder, name);
        if (path.isEmpty())
            continue;
        const QSize size = nt::figureSize(path, box);
        QImage image = nt::figureImage(path, size * devicePixelRatio);
        if (image.isNull())
            continue;
        image.setDevicePixelRatio(devicePixelRatio);
        document->addResource(QTextDocument::ImageResource, QUrl::fromLocalFile(path), image);
    }
    document->setHtml(nt::toRichText(text, folder, box));
}

QString figureAt(const QTextDocument* document, int position) {
    const QTextBlock block = document->findBlock(position);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (f.contains(position) && f.charFormat().isImageFormat()) {
            const QUrl url(f.charFormat().toImageFormat().name());
            return url.isLocalFile() ? url.toLocalFile() : QString();
        }
    }
    return {};
}

QWidget* showLarge(QWidget* parent, const QString& path) {
    auto* view = new FigureView(parent);
    view->setObjectName(QStringLiteral("FigureView"));
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->setWindowTitle(QStringLiteral("Рисунок"));
    const QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    const QSize room = screen ? screen->availableGeometry().size() * 0.9 : QSize(800, 600);
    const nt::FigureBox box{room - QSize(24, 60), 2};
    const QSize size = nt::figureSize(path, box);
    const qreal dpr = view->devicePixelRatioF();
    QImage image = nt::figureImage(path, size * dpr);
    image.setDevicePixelRatio(dpr);
    auto* picture = new QLabel(view);
    picture->setObjectName(QStringLiteral("FigurePicture"));
    picture->setPixmap(QPixmap::fromImage(image));
    picture->setAlignment(Qt::AlignCenter);
    picture->setStyleSheet(QStringLiteral("background: white"));
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(picture);
    view->setToolTip(QStringLiteral("Щелчок или Esc — закрыть"));
    view->open();
    return view;
}

} // namespace ortavia::ui::formula
