#include "main/FolderDrop.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "text/TextCodec.h"

namespace {

QString WithoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    return path;
}

// The action the drop is taken with: never a move, which would let the
// source delete what it dragged.
Qt::DropAction SafeAction(const QDropEvent& event)
{
    if (event.possibleActions() & Qt::LinkAction) return Qt::LinkAction;
    if (event.possibleActions() & Qt::CopyAction) return Qt::CopyAction;
    return Qt::IgnoreAction;
}

}  // namespace

QString FolderDrop::FolderFor(const QMimeData& data)
{
    if (!data.hasUrls()) return {};
    QString folder;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile() || !url.host().isEmpty()) return {};
        const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (!textrove::text::IsValidUtf8(std::string_view(bytes.constData(), size_t(bytes.size())))) return {};
        const QString path = url.toLocalFile();
        const QFileInfo info(path);
        QString candidate;
        if (info.isDir())
            candidate = WithoutTrailingSlash(path);
        else if (info.exists())
            candidate = info.absolutePath();
        else
            return {};
        if (folder.isEmpty())
            folder = candidate;
        else if (candidate != folder)
            return {};
    }
    return folder;
}

FolderDrop::FolderDrop(QWidget& window, QLineEdit& target) : QObject(&window), m_target(target)
{
    window.setAcceptDrops(true);
    window.installEventFilter(this);
    for (QWidget* child : window.findChildren<QWidget*>()) child->installEventFilter(this);
}

bool FolderDrop::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    if (!drop->mimeData() || !drop->mimeData()->hasUrls()) return QObject::eventFilter(watched, event);
    const QString folder = FolderFor(*drop->mimeData());
    const Qt::DropAction action = SafeAction(*drop);
    if (folder.isEmpty() || action == Qt::IgnoreAction) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(action);
    drop->accept();
    if (type == QEvent::Drop) m_target.setText(folder);
    return true;
}
