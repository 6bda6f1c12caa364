// Shared set-up of the widget suites: a private settings directory, temp
// files, message boxes recorded instead of shown, a main window ready for a
// search, and a way to answer the folder browser inside its modal loop.
#pragma once

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "conditions/CommonModule.h"
#include "conditions/Directory参照.h"
#include "conditions/Form_SerchDir.h"
#include "conditions/Form_SerchList.h"
#include "main/MainForm.h"
#include "results/Form_SerchAns.h"
#include "search/engine/SearchEngine.h"
#include "support/ConfigHome.h"
#include "support/FakePrompts.h"

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace guitest {

// A private settings location; the browser's last answer is cleared on both ends.
class ScopedConfigHome : public testsupport::ConfigHome {
public:
    ScopedConfigHome() { CommonModule::SelectedPath.clear(); }
    ~ScopedConfigHome() { CommonModule::SelectedPath.clear(); }
    bool IsValid() const { return true; }
};

inline void WriteFile(const QString& root, const QString& relative, const QByteArray& bytes)
{
    const QString path = root + QLatin1Char('/') + relative;
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath())) << path.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

using RecordingPrompts = testsupport::FakePrompts;

// The text a search appends: each record as CR LF + record.
inline QString Records(const QStringList& records)
{
    QString text;
    for (const QString& record : records) text += QStringLiteral("\r\n") + record;
    return text;
}

// A request as the search command builds it: the words as the list holds them.
inline textrove::search::SearchRequest RequestFor(const QString& directory, const QStringList& words)
{
    textrove::search::SearchRequest request;
    request.targetDirectory = directory.toStdString();
    for (const QString& word : words) request.words.push_back(textrove::search::WordAsAdded(word.toStdString()));
    return request;
}

inline QString Banner(const QString& path)
{
    return "----- ファイル名 : " + path + " -----";
}

// Runs `answer` on the folder browser once it is shown modally. When none
// appears within five seconds every open dialog is rejected, so a test fails
// instead of hanging.
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

// A main window with its own settings directory, shown offscreen, whose
// message boxes are recorded in `m_prompts`.
class FrameFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_config.IsValid() && m_tree.isValid());
        Restart();
    }
    // A new main window on the settings as they are now: the program started again.
    void Restart()
    {
        m_frame.reset();
        m_frame = std::make_unique<MainForm>();
        auto prompts = std::make_unique<RecordingPrompts>();
        m_prompts = prompts.get();
        m_frame->SetPrompts(std::move(prompts));
        m_frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame.get()));
    }

    QString Root() const { return m_tree.path(); }

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
    QAction* Item(const char* name) const { return m_frame->MenuItem(QString::fromLatin1(name)); }

    // The search command as the menu runs it; returns when the dialog closed.
    void RunSearchCommand()
    {
        ASSERT_TRUE(Item("Menu_Start")->isEnabled());
        Item("Menu_Start")->trigger();
    }
    Form_SerchAns& Pane() const { return *m_frame->SerchAnsPane(); }

    ScopedConfigHome m_config;
    QTemporaryDir m_tree;
    std::unique_ptr<MainForm> m_frame;
    RecordingPrompts* m_prompts = nullptr;  // owned by m_frame
};

}  // namespace guitest
