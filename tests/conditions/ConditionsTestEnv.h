// Shared set-up of the condition tests: a private settings file per test and
// a way to answer the folder browser while its modal loop runs.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "conditions/CommonModule.h"
#include "conditions/Directory参照.h"
#include "settings/Profile.h"

namespace conditions_test {

// XDG_CONFIG_HOME points at a fresh temporary directory for the test.
class SettingsSandbox : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_config.isValid());
        if (qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
            m_oldXdg = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        CommonModule::SelectedPath.clear();
    }
    void TearDown() override
    {
        m_oldXdg ? qputenv("XDG_CONFIG_HOME", *m_oldXdg) : qunsetenv("XDG_CONFIG_HOME");
        CommonModule::SelectedPath.clear();
    }
    // The stored value, or "<missing>" when the key is not in the file.
    static std::string Stored(const char* section, const std::string& key)
    {
        return textrove::settings::ReadProfile(section, key, "<missing>");
    }

    QTemporaryDir m_config;
    std::optional<QByteArray> m_oldXdg;
};

// Runs `answer` on the folder browser once it is shown modally. When none
// appears within five seconds every open dialog is rejected, so a test fails
// instead of hanging.
inline void AnswerNextBrowser(std::function<void(Directory参照&)> answer, bool* answered)
{
    *answered = false;
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* browser = dynamic_cast<Directory参照*>(QApplication::activeModalWidget());
        if (!browser && clock->elapsed() < 5000)
            return;
        timer->stop();
        timer->deleteLater();
        if (browser) {
            *answered = true;
            answer(*browser);
            return;
        }
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
                dialog->reject();
    });
    timer->start(10);
}

}  // namespace conditions_test
