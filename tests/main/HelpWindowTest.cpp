// The help window: reuse and reload, a document that cannot be read.
#include <QScrollBar>
#include <QTextBrowser>

#include "main/HelpWindow.h"
#include "support/WindowFixture.h"

namespace {

using namespace testsupport;

class HelpWindowTest : public WindowFixture {
protected:
    void TearDown() override
    {
        delete HelpWindow::Instance();
        HelpWindow::SetDocumentPath(QString());
    }
};

// One window, reused; every opening shows the document as it is now (HTML in
// UTF-8), at the top. One that cannot be read is reported and opens no window.
TEST_F(HelpWindowTest, OneWindowReloadedAtContentsOrTheFailureReported)
{
    Start();
    ASSERT_TRUE(QDir(Root()).mkdir("dir.hlp"));
    for (const QString& path : {Root() + "/dir.hlp", Root() + "/doc.hlp"}) {  // a directory, no file yet
        HelpWindow::SetDocumentPath(path);
        Item("Menu_Help_Topic")->trigger();
        ASSERT_EQ(m_prompts->messages.size(), 1u);
        EXPECT_TRUE(m_prompts->messages.takeFirst().text.contains(path));
        EXPECT_EQ(HelpWindow::Instance(), nullptr) << "no empty help window opens";
    }
    QByteArray page = "<html><head><meta charset=\"utf-8\"></head><body><h1>目次 one</h1>";
    for (int i = 0; i < 300; ++i) page += "<p>paragraph " + QByteArray::number(i) + "</p>";
    HelpWindow* first = nullptr;
    for (const char* title : {"目次 one", "目次 two"}) {
        WriteFile(Root(), "doc.hlp", page.replace("目次 one", title));
        Item("Menu_Help_Topic")->trigger();
        HelpWindow* window = HelpWindow::Instance();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(!first || window == first) << "the same window is reused";
        first = window;
        EXPECT_TRUE(window->isVisible() && !window->isModal());
        EXPECT_TRUE(window->Contents()->toPlainText().startsWith(QString(title) + "\nparagraph 0"));
        QScrollBar* bar = window->Contents()->verticalScrollBar();
        EXPECT_EQ(bar->value(), 0) << "opened at the contents";
        ASSERT_GT(bar->maximum(), 0);
        bar->setValue(bar->maximum());
        window->close();
    }
    EXPECT_TRUE(m_prompts->messages.empty());
}

}  // namespace
