// The help window: where the document is found, reuse and reload, a document
// that cannot be read.
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

// A build tree has the document beside the executable; an installed tree has
// it in <prefix>/share/textrove/ for <prefix>/bin.
TEST_F(HelpWindowTest, DocumentIsFoundBesideTheExecutableThenInShare)
{
    const QString bin = Root() + "/bin", beside = bin + "/Textrove.hlp";
    ASSERT_TRUE(QDir().mkpath(beside));
    EXPECT_EQ(HelpWindow::FindDocument(bin), beside) << "in neither place (a directory is no document): the first";
    WriteFile(Root(), "share/textrove/Textrove.hlp", "installed");
    EXPECT_EQ(HelpWindow::FindDocument(bin + "/"), Root() + "/share/textrove/Textrove.hlp") << "installed tree";
    ASSERT_TRUE(QDir().rmdir(beside));
    WriteFile(Root(), "bin/Textrove.hlp", "built");
    EXPECT_EQ(HelpWindow::FindDocument(bin), beside) << "beside the executable comes first";
}

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
        EXPECT_EQ(m_prompts->messages[0].icon, QMessageBox::Critical);
        EXPECT_TRUE(m_prompts->messages.takeFirst().text.contains(path));
        EXPECT_EQ(HelpWindow::Instance(), nullptr) << "no empty help window opens";
    }

    QByteArray page = "<html><head><meta charset=\"utf-8\"></head><body><h1>目次 one</h1>";
    for (int i = 0; i < 300; ++i) page += "<p>paragraph " + QByteArray::number(i) + "</p>";
    WriteFile(Root(), "doc.hlp", page);
    Item("Menu_Help_Topic")->trigger();
    HelpWindow* window = HelpWindow::Instance();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible() && !window->isModal());
    EXPECT_TRUE(window->Contents()->toPlainText().startsWith(QStringLiteral("目次 one\nparagraph 0")));
    QScrollBar* bar = window->Contents()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum());
    window->close();
    WriteFile(Root(), "doc.hlp", page.replace("目次 one", "目次 two"));
    Item("Menu_Help_Topic")->trigger();
    EXPECT_EQ(HelpWindow::Instance(), window) << "the same window is reused";
    EXPECT_TRUE(window->isVisible() && window->Contents()->toPlainText().startsWith(QStringLiteral("目次 two")));
    EXPECT_EQ(bar->value(), 0) << "opened at the contents";
    EXPECT_TRUE(m_prompts->messages.empty());
}

}  // namespace
