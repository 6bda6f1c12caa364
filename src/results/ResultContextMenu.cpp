#include "results/ResultContextMenu.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

#include "results/ResultFileBlocks.h"
#include "text/TextCodec.h"
#include "ui/Prompts.h"

ResultContextMenu::ResultContextMenu(QPlainTextEdit& box, std::function<Prompts&()> prompts)
    : QObject(&box), m_box(box), m_prompts(std::move(prompts)), m_opener(std::make_unique<FileOpener>())
{
    // The mouse's menu reaches the viewport, the keyboard's the box itself.
    m_box.installEventFilter(this);
    m_box.viewport()->installEventFilter(this);
}

ResultContextMenu::~ResultContextMenu() = default;

void ResultContextMenu::SetOpener(std::unique_ptr<FileOpener> opener)
{
    m_opener = opener ? std::move(opener) : std::make_unique<FileOpener>();
}

std::optional<QByteArray> ResultContextMenu::PathAt(const QPoint& viewportPos) const
{
    return ResultFileBlocks::PathAt(m_box.cursorForPosition(viewportPos).block());
}

QMenu* ResultContextMenu::CreateMenu(const QPoint& viewportPos)
{
    QMenu* menu = m_box.createStandardContextMenu(viewportPos);
    menu->addSeparator();
    const std::optional<QByteArray> path = PathAt(viewportPos);
    QAction* openFile = menu->addAction(QString::fromUtf8(kOpenFileCaption));
    openFile->setObjectName(QStringLiteral("SerchAns_OpenFile"));
    QAction* openFolder = menu->addAction(QString::fromUtf8(kOpenFolderCaption));
    openFolder->setObjectName(QStringLiteral("SerchAns_OpenFolder"));
    openFile->setEnabled(path.has_value());
    openFolder->setEnabled(path.has_value());
    if (path) {
        // The path is taken now: the text may change while the menu is up.
        const QByteArray bytes = *path;
        connect(openFile, &QAction::triggered, this, [this, bytes] { SerchAns_OpenFile(bytes); });
        connect(openFolder, &QAction::triggered, this, [this, bytes] { SerchAns_OpenFolder(bytes); });
    }
    return menu;
}

void ResultContextMenu::SerchAns_OpenFile(const QByteArray& path)
{
    Open(path);
}

void ResultContextMenu::SerchAns_OpenFolder(const QByteArray& path)
{
    Open(FileOpener::FolderOf(path));
}

void ResultContextMenu::Open(const QByteArray& path)
{
    if (m_opener->Open(FileOpener::UrlForPath(path))) return;
    const std::string shown = textrove::text::LossyUtf8(std::string_view(path.constData(), size_t(path.size())));
    m_prompts().Message(m_box.window(), QStringLiteral("Textrove"),
                        QString::fromUtf8(kOpenFailed) + QString::fromStdString(shown), QMessageBox::Critical);
}

bool ResultContextMenu::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ContextMenu || (watched != &m_box && watched != m_box.viewport()))
        return QObject::eventFilter(watched, event);
    auto* menuEvent = static_cast<QContextMenuEvent*>(event);
    const QPoint pos = watched == &m_box ? m_box.viewport()->mapFrom(&m_box, menuEvent->pos()) : menuEvent->pos();
    const std::unique_ptr<QMenu> menu(CreateMenu(pos));
    menu->exec(menuEvent->globalPos());
    return true;
}
