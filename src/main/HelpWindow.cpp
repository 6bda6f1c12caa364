#include "main/HelpWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/Prompts.h"
#include "ui/TwipsWidget.h"

namespace {

QPointer<HelpWindow> g_instance;  // UI thread only
QString g_documentOverride;       // UI thread only

}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Textrove ヘルプ"));
    // Closing only hides it, so the next opening reuses it.
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_contents = new QTextBrowser(this);
    m_contents->setObjectName(QStringLiteral("Contents"));
    m_contents->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_contents);

    const double dpi = textrove::LogicalDpi();
    resize(textrove::TwipsToPixels(7200, dpi), textrove::TwipsToPixels(6480, dpi));
}

QString HelpWindow::DocumentPath()
{
    if (!g_documentOverride.isEmpty()) return g_documentOverride;
    return FindDocument(QCoreApplication::applicationDirPath());
}

QString HelpWindow::FindDocument(const QString& executableDir)
{
    const QDir dir(executableDir);
    const QString name = QString::fromLatin1(kDocumentName);
    const QString beside = dir.filePath(name);
    if (QFileInfo(beside).isFile()) return beside;
    const QString installed = QDir::cleanPath(dir.filePath(QStringLiteral("../share/textrove/") + name));
    return QFileInfo(installed).isFile() ? installed : beside;
}

void HelpWindow::SetDocumentPath(const QString& path)
{
    g_documentOverride = path;
}

HelpWindow* HelpWindow::Instance()
{
    return g_instance.data();
}

void HelpWindow::ShowContents(QWidget* parent, Prompts& prompts)
{
    const QString path = DocumentPath();
    QFile probe(path);
    if (!QFileInfo(path).isFile() || !probe.open(QIODevice::ReadOnly)) {
        prompts.Message(parent, QStringLiteral("Textrove"),
                        QStringLiteral("ヘルプファイル %1 が見つかりません。").arg(QDir::toNativeSeparators(path)),
                        QMessageBox::Critical);
        return;
    }
    probe.close();

    if (!g_instance) g_instance = new HelpWindow(parent);
    HelpWindow* window = g_instance.data();
    window->Load(path);
    window->show();
    window->raise();
    window->activateWindow();
}

void HelpWindow::Load(const QString& path)
{
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    m_contents->setSearchPaths({QFileInfo(path).absolutePath()});
    // Reloaded at every opening, so the window always starts at the contents
    // and shows the document as it now is.
    if (m_contents->source() == url)
        m_contents->reload();
    else
        m_contents->setSource(url, QTextDocument::HtmlResource);
    m_contents->moveCursor(QTextCursor::Start);
    m_contents->verticalScrollBar()->setValue(0);
}
