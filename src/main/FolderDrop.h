// Folders dropped on the main window (from a file manager: text/uri-list
// with file:// URLs) become the target directory, as typing them would.
#pragma once

#include <QObject>
#include <QString>

class QLineEdit;
class QMimeData;
class QWidget;

class FolderDrop : public QObject {
    Q_OBJECT
public:
    // The folder a drop names: a folder's URL gives the folder, a file's URL
    // the folder holding it; several URLs must all give the same folder.
    // Empty (refused) for anything else: no URL, a URL that is not a local
    // file, a path that does not exist, or one that is not valid UTF-8 (the
    // target text could not hold it).
    static QString FolderFor(const QMimeData& data);

    // `window` and every widget in it take folder drops and put the folder
    // into `target`. Drags without URLs are left to the widgets (text dragged
    // into a text box); drags with URLs that name no folder are refused.
    FolderDrop(QWidget& window, QLineEdit& target);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit& m_target;
};
