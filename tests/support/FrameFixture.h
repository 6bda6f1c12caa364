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
#include "support/ConfigHome.h"
#include "support/FakePrompts.h"

namespace textrove::testing {

// A main window over a private settings location.
class FrameTest : public ::testing::Test {
protected:
    void TearDown() override { frame.reset(); }
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
    void Settle()
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !frame->StorePending(); }, 5000));
    }
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

    testsupport::ConfigHome m_config;
    std::unique_ptr<MainForm> frame;
};

using ScriptedPrompts = testsupport::FakePrompts;

}  // namespace textrove::testing
