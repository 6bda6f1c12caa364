// Shared by the main window and result pane suites: a private settings
// directory per test and a Prompts that answers without opening dialogs.
#pragma once

#include <QByteArray>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "main/Prompts.h"
#include "settings/Profile.h"
#include "settings/SettingsNames.h"

namespace textrove::testing {

// Points $XDG_CONFIG_HOME at a fresh directory for the test's lifetime.
class SettingsSandbox : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_config.isValid());
        m_hadXdg = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        m_oldXdg = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    }
    void TearDown() override
    {
        if (m_hadXdg)
            qputenv("XDG_CONFIG_HOME", m_oldXdg);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    static std::string Stored(const char* key)
    {
        return settings::ReadProfile(settings::kSectionWindowSize, key, "<missing>");
    }
    static void Store(const char* key, const std::string& value)
    {
        ASSERT_TRUE(settings::WriteProfile(settings::kSectionWindowSize, key, value));
    }

    QTemporaryDir m_config;

private:
    bool m_hadXdg = false;
    QByteArray m_oldXdg;
};

// Answers from queues and records what was asked.
class ScriptedPrompts : public Prompts {
public:
    struct Question {
        QString title, text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton;
    };

    std::deque<QString> saveNames;  // "" once they run out (cancel)
    std::deque<QMessageBox::StandardButton> answers;
    QStringList saveTitles, offeredNames;
    QList<QStringList> saveFilters;
    QList<Question> questions;
    QList<Question> messages;  // buttons/defaultButton unused

    QString AskSaveFileName(QWidget*, const QString& title, const QStringList& filters,
                            const QString& initialName) override
    {
        saveTitles << title;
        saveFilters << filters;
        offeredNames << initialName;
        return Take(saveNames, QString());
    }
    QMessageBox::StandardButton Ask(QWidget*, const QString& title, const QString& text,
                                    QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton) override
    {
        questions << Question{title, text, icon, buttons, defaultButton};
        return Take(answers, defaultButton);
    }
    void Message(QWidget*, const QString& title, const QString& text, QMessageBox::Icon icon) override
    {
        messages << Question{title, text, icon, {}, QMessageBox::NoButton};
    }

private:
    template <typename T>
    static T Take(std::deque<T>& queue, T fallback)
    {
        if (queue.empty())
            return fallback;
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};

}  // namespace textrove::testing
