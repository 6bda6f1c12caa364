// The main-window fixture of the widget suites and the helpers they share.
#pragma once

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "conditions/CommonModule.h"
#include "conditions/Directory参照.h"
#include "conditions/Form_SerchDir.h"
#include "conditions/Form_SerchList.h"
#include "main/MainForm.h"
#include "results/Form_SerchAns.h"
#include "search/engine/SearchEngine.h"
#include "settings/Profile.h"
#include "settings/SettingsNames.h"
#include "support/ConfigHome.h"
#include "support/FakePrompts.h"

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace testsupport {

inline void WriteFile(const QString& root, const QString& relative, const QByteArray& bytes)
{
    const QString path = root + QLatin1Char('/') + relative;
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath())) << path.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

// The text a search appends: each record as CR LF + record.
inline QString Records(const QStringList& records)
{
    QString text;
    for (const QString& record : records) text += QStringLiteral("\r\n") + record;
    return text;
}

inline QString Banner(const QString& path)
{
    return "----- ファイル名 : " + path + " -----";
}

// A request as the search command builds it: the words as the list holds them.
inline textrove::search::SearchRequest RequestFor(const QString& directory, const QStringList& words)
{
    textrove::search::SearchRequest request;
    request.targetDirectory = directory.toStdString();
    for (const QString& word : words) request.words.push_back(textrove::search::WordAsAdded(word.toStdString()));
    return request;
}

// Runs `answer` on the folder browser once it is shown modally; after five
// seconds without one, every open dialog is rejected: a failure, not a hang.
inline void AnswerNextBrowser(std::function<void(Directory参照&)> answer, bool* answered, int tries = 500)
{
    *answered = false;
    QTimer::singleShot(10, [=] {
        if (auto* browser = dynamic_cast<Directory参照*>(QApplication::activeModalWidget())) {
            *answered = true;
            answer(*browser);
        } else if (tries > 0) {
            AnswerNextBrowser(answer, answered, tries - 1);
        } else {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible()) dialog->reject();
        }
    });
}

// A private settings location, a temporary tree, and a main window whose
// dialogs are answered by FakePrompts.
class WindowFixture : public ::testing::Test {
protected:
    // The folder browser's last answer is process-wide: cleared on both ends.
    WindowFixture() { CommonModule::SelectedPath.clear(); }
    ~WindowFixture() override
    {
        m_frame.reset();
        CommonModule::SelectedPath.clear();
    }
    // A new main window on the settings as they are now (the program started
    // again); returns once its first activation has stored the geometry.
    void Start()
    {
        m_frame.reset();
        m_frame = std::make_unique<MainForm>();
        auto prompts = std::make_unique<FakePrompts>();
        m_prompts = prompts.get();
        m_frame->SetPrompts(std::move(prompts));
        m_frame->show();
        m_frame->Form_Activate();
        QApplication::processEvents();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !m_frame->StorePending(); }, 5000));
    }

    QString Root() const { return m_tree.path(); }
    QAction* Item(const char* name) const { return m_frame->MenuItem(QString::fromLatin1(name)); }
    // The result pane the helpers below act on; a suite may test one of its own.
    virtual Form_SerchAns* Results() const { return m_frame->SerchAnsPane(); }
    QPlainTextEdit* Box() const { return Results()->SerchAns(); }
    void Append(const QStringList& records)
    {
        QString error;
        ASSERT_TRUE(Results()->AppendRecords(records, &error)) << error.toStdString();
    }
    void Select(int from, int to)
    {
        QTextCursor c = Box()->textCursor();
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        Box()->setTextCursor(c);
    }
    // Types each word and presses 追加↓, the way a user fills the list.
    void AddWords(const QStringList& words)
    {
        for (const QString& word : words) {
            m_frame->SerchListPane()->SerchText()->setText(word);
            QTest::mouseClick(m_frame->SerchListPane()->ListAdd(), Qt::LeftButton);
        }
        ASSERT_EQ(m_frame->SerchListPane()->Words().size(), words.size());
    }
    void SetTarget(const QString& directory) { m_frame->SerchDirPane()->SerchDir()->setText(directory); }
    // The search command as the menu runs it; returns when the dialog closed.
    void RunSearchCommand()
    {
        ASSERT_TRUE(Item("Menu_Start")->isEnabled());
        Item("Menu_Start")->trigger();
    }

    ConfigHome m_config;
    QTemporaryDir m_tree;
    std::unique_ptr<MainForm> m_frame;
    FakePrompts* m_prompts = nullptr;  // owned by m_frame
};

}  // namespace testsupport
