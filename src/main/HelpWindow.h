// The help window: shows the help document Textrove.hlp (HTML) at its
// contents. One window, kept alive and reused.
#pragma once

#include <QString>
#include <QWidget>

class Prompts;
class QTextBrowser;

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kDocumentName = "Textrove.hlp";

    // Shows the document at its contents in the one help window (created on
    // first use as a window of `parent`'s). When the document cannot be read,
    // a message box, through `prompts`, says so and no window opens.
    static void ShowContents(QWidget* parent, Prompts& prompts);

    // Where the document is looked for: the override when set, else
    // FindDocument for the executable's directory. An empty path clears the
    // override.
    static QString DocumentPath();
    // The document beside the executable in `executableDir` (a build tree),
    // else in ../share/textrove/ from it (an installed tree); the first place
    // when it is in neither.
    static QString FindDocument(const QString& executableDir);
    static void SetDocumentPath(const QString& path);

    // The window in use, or nullptr before the first successful opening.
    static HelpWindow* Instance();

    QTextBrowser* Contents() const { return m_contents; }

private:
    explicit HelpWindow(QWidget* parent);
    void Load(const QString& path);

    QTextBrowser* m_contents = nullptr;
};
