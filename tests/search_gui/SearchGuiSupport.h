// Helpers of the search dialog, about box and help window suites: a private
// settings directory, temp trees, a Prompts that records instead of blocking,
// and a main window ready for a search.
#pragma once

#include <QAction>
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include "conditions/Form_SerchDir.h"
#include "conditions/Form_SerchList.h"
#include "main/MainForm.h"
#include "main/Prompts.h"
#include "results/Form_SerchAns.h"

// Readable QString values in assertion messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace searchgui {

// Points XDG_CONFIG_HOME at a fresh directory for the lifetime of the object.
class ScopedConfigHome {
public:
    ScopedConfigHome() : m_had(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")), m_old(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
    }
    ~ScopedConfigHome() { m_had ? qputenv("XDG_CONFIG_HOME", m_old) : qunsetenv("XDG_CONFIG_HOME"); }
    bool IsValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
    bool m_had;
    QByteArray m_old;
};

// Writes `bytes` to `root`/`relative`, creating the directories on the way.
inline void WriteFile(const QString& root, const QString& relative, const QByteArray& bytes)
{
    const QString path = root + QLatin1Char('/') + relative;
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath())) << path.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

struct RecordedMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon;
};

// Records the message boxes instead of showing them.
class RecordingPrompts : public Prompts {
public:
    // Shared so the test keeps reading it after the frame took ownership.
    struct Log {
        std::vector<RecordedMessage> messages;
        std::function<void()> onMessage;  // runs while the "box" is up
    };

    explicit RecordingPrompts(std::shared_ptr<Log> log) : m_log(std::move(log)) {}

    void Message(QWidget*, const QString& title, const QString& text, QMessageBox::Icon icon) override
    {
        m_log->messages.push_back({title, text, icon});
        if (m_log->onMessage)
            m_log->onMessage();
    }

private:
    std::shared_ptr<Log> m_log;
};

// The record text that the search appends: each record as CR LF + record.
inline QString Records(const QStringList& records)
{
    QString text;
    for (const QString& record : records)
        text += QStringLiteral("\r\n") + record;
    return text;
}

inline QString Banner(const QString& path)
{
    return QStringLiteral("----- ファイル名 : ") + path + QStringLiteral(" -----");
}

inline const QString kAbortRecord = QStringLiteral("***** 中断しました。 *****");

// A main window with its own settings directory, shown offscreen, whose
// dialogs are answered by a RecordingPrompts.
class FrameFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_config.IsValid());
        ASSERT_TRUE(m_tree.isValid());
        m_frame = std::make_unique<MainForm>();
        m_log = std::make_shared<RecordingPrompts::Log>();
        m_frame->SetPrompts(std::make_unique<RecordingPrompts>(m_log));
        m_frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame.get()));
    }

    QString Root() const { return m_tree.path(); }

    // Types each word and presses 追加↓, the way a user fills the list.
    void AddWords(const QStringList& words)
    {
        auto* text = m_frame->findChild<QLineEdit*>(QStringLiteral("SerchText"));
        auto* add = m_frame->findChild<QPushButton*>(QStringLiteral("ListAdd"));
        ASSERT_NE(text, nullptr);
        ASSERT_NE(add, nullptr);
        for (const QString& word : words) {
            text->setText(word);
            QTest::mouseClick(add, Qt::LeftButton);
        }
        ASSERT_EQ(m_frame->SerchListPane()->Words().size(), words.size());
    }

    void SetTarget(const QString& directory) { m_frame->SerchDirPane()->SerchDir()->setText(directory); }

    QAction* Item(const char* name) const { return m_frame->MenuItem(QString::fromLatin1(name)); }

    // The search command as the menu runs it; returns when the dialog closed.
    void RunSearchCommand()
    {
        QAction* start = Item("Menu_Start");
        ASSERT_NE(start, nullptr);
        ASSERT_TRUE(start->isEnabled());
        start->trigger();
    }

    Form_SerchAns& Pane() const { return *m_frame->SerchAnsPane(); }

    ScopedConfigHome m_config;
    QTemporaryDir m_tree;
    std::unique_ptr<MainForm> m_frame;
    std::shared_ptr<RecordingPrompts::Log> m_log;
};

}  // namespace searchgui
