// Shared by the main window and result pane suites: a main window over a
// private settings directory, and a Prompts that answers without dialogs.
#pragma once

#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

#include <gtest/gtest.h>

#include <memory>

#include "main/MainForm.h"
#include "results/Form_SerchAns.h"
#include "settings/Profile.h"
#include "settings/SettingsNames.h"
#include "ui/Prompts.h"

namespace textrove::testing {

// $XDG_CONFIG_HOME points at a fresh directory for the test's lifetime.
class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_config.isValid());
        m_oldXdg = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    }
    void TearDown() override
    {
        frame.reset();
        m_oldXdg.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", m_oldXdg);
    }
    // Creation, load, first display and first activation, and the store
    // that follows once the window has settled.
    void Start()
    {
        frame = std::make_unique<MainForm>();
        frame->show();
        frame->Form_Activate();
        QApplication::processEvents();
        Settle();
    }
    void Settle() { ASSERT_TRUE(QTest::qWaitFor([this] { return !frame->StorePending(); }, 5000)); }
    virtual Form_SerchAns* Pane() const { return frame->SerchAnsPane(); }
    QPlainTextEdit* Box() const { return Pane()->SerchAns(); }
    bool Enabled(const char* item) const { return frame->MenuItem(item)->isEnabled(); }
    void Append(const QStringList& records)
    {
        QString error;
        ASSERT_TRUE(Pane()->AppendRecords(records, &error)) << error.toStdString();
    }
    void Select(int from, int to)
    {
        QTextCursor c = Box()->textCursor();
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        Box()->setTextCursor(c);
    }

    std::unique_ptr<MainForm> frame;
    QTemporaryDir m_config;

private:
    QByteArray m_oldXdg;
};

// Answers from queues ("" / the default button once they run out) and records what was asked.
class ScriptedPrompts : public Prompts {
public:
    struct Question {
        QString title, text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons = {};
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    };
    QStringList saveNames, saveTitles, saveFilters, offeredNames;
    QList<QMessageBox::StandardButton> answers;
    QList<Question> questions, messages;

    QString AskSaveFileName(QWidget*, const QString& title, const QStringList& filters,
                            const QString& initialName) override
    {
        saveTitles << title;
        saveFilters = filters;
        offeredNames << initialName;
        return saveNames.isEmpty() ? QString() : saveNames.takeFirst();
    }
    QMessageBox::StandardButton Ask(QWidget*, const QString& title, const QString& text, QMessageBox::Icon icon,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton) override
    {
        questions << Question{title, text, icon, buttons, defaultButton};
        return answers.isEmpty() ? defaultButton : answers.takeFirst();
    }
    void Message(QWidget*, const QString& title, const QString& text, QMessageBox::Icon icon) override
    {
        messages << Question{title, text, icon};
    }
};

}  // namespace textrove::testing
