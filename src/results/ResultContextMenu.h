// The result text box's context menu: Qt's own editing entries, then
// "ファイルを開く(&O)" and "フォルダを開く(&F)" for the file block under the
// mouse (under the caret when the menu comes from the keyboard).
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPoint>

#include <functional>
#include <memory>
#include <optional>

#include "results/FileOpener.h"

class Prompts;
class QMenu;
class QPlainTextEdit;

class ResultContextMenu : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kOpenFileCaption = "ファイルを開く(&O)";
    static constexpr const char* kOpenFolderCaption = "フォルダを開く(&F)";
    static constexpr const char* kOpenFailed = "開けませんでした: ";

    // Takes over the box's context menu; failures to open go through `prompts`.
    ResultContextMenu(QPlainTextEdit& box, std::function<Prompts&()> prompts);
    ~ResultContextMenu() override;

    // The menu for a point of the box's viewport; the caller owns it. The two
    // entries are named "SerchAns_OpenFile" and "SerchAns_OpenFolder".
    QMenu* CreateMenu(const QPoint& viewportPos);
    // The path of the file block at a point of the viewport, if any.
    std::optional<QByteArray> PathAt(const QPoint& viewportPos) const;

    void SerchAns_OpenFile(const QByteArray& path);
    void SerchAns_OpenFolder(const QByteArray& path);

    // Replaces the opener (tests); nullptr restores the desktop's.
    void SetOpener(std::unique_ptr<FileOpener> opener);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Open(const QByteArray& path);

    QPlainTextEdit& m_box;
    std::function<Prompts&()> m_prompts;
    std::unique_ptr<FileOpener> m_opener;
};
