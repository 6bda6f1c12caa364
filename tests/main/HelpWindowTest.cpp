// The help window: where the document is found, a missing document, reuse and
// reload.
#include <QScrollBar>
#include <QTextBrowser>

#include "main/HelpWindow.h"
#include "support/GuiFixture.h"

namespace guitest {
namespace {

class HelpWindowTest : public FrameFixture {
protected:
    void TearDown() override
    {
        delete HelpWindow::Instance();
        HelpWindow::SetDocumentPath(QString());
    }
};

TEST_F(HelpWindowTest, DocumentThatCannotBeReadIsReported)
{
    ASSERT_TRUE(QDir(Root()).mkdir("Textrove.hlp"));
    for (const QString& path : {Root() + "/none/Textrove.hlp",  // no such file
                                Root() + "/Textrove.hlp"}) {    // a directory in its place
        SCOPED_TRACE(path.toStdString());
        m_prompts->messages.clear();
        HelpWindow::SetDocumentPath(path);
        HelpWindow::ShowContents(nullptr, *m_prompts);
        ASSERT_EQ(m_prompts->messages.size(), 1u);
        EXPECT_EQ(m_prompts->messages[0].icon, QMessageBox::Critical);
        EXPECT_TRUE(m_prompts->messages[0].text.contains(path));
        EXPECT_EQ(HelpWindow::Instance(), nullptr) << "no empty help window opens";
    }

    // The help menu reports through the frame's prompts too.
    Item("Menu_Help_Topic")->trigger();
    EXPECT_EQ(m_prompts->messages.size(), 2u);
}

// One window, reused; every opening shows the document as it is now, at the top.
TEST_F(HelpWindowTest, OneWindowReloadedAtContents)
{
    QByteArray page = "<html><head><meta charset=\"utf-8\"></head><body><h1>目次 one</h1>";
    for (int i = 0; i < 300; ++i) page += "<p>paragraph " + QByteArray::number(i) + "</p>";
    WriteFile(Root(), "doc.hlp", page);
    HelpWindow::SetDocumentPath(Root() + "/doc.hlp");

    HelpWindow::ShowContents(nullptr, *m_prompts);
    HelpWindow* window = HelpWindow::Instance();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    EXPECT_TRUE(window->Contents()->toPlainText().startsWith(QStringLiteral("目次 one\nparagraph 0")))
        << "read as HTML, in UTF-8";

    QScrollBar* bar = window->Contents()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum());
    window->close();
    WriteFile(Root(), "doc.hlp", page.replace("目次 one", "目次 two"));

    HelpWindow::ShowContents(nullptr, *m_prompts);
    EXPECT_EQ(HelpWindow::Instance(), window) << "the same window is reused";
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->Contents()->toPlainText().startsWith(QStringLiteral("目次 two")));
    EXPECT_EQ(bar->value(), 0) << "opened at the contents";
    EXPECT_TRUE(m_prompts->messages.empty());
}

// A build tree has the document beside the executable; an installed tree has
// it in <prefix>/share/textrove/ for <prefix>/bin.
TEST_F(HelpWindowTest, DocumentIsFoundBesideTheExecutableThenInShare)
{
    const QString bin = Root() + "/bin", beside = bin + "/Textrove.hlp",
                  installed = Root() + "/share/textrove/Textrove.hlp";
    ASSERT_TRUE(QDir().mkpath(bin));
    EXPECT_EQ(HelpWindow::FindDocument(bin), beside) << "in neither place: the first is reported";
    WriteFile(Root(), "share/textrove/Textrove.hlp", "installed");
    EXPECT_EQ(HelpWindow::FindDocument(bin), installed) << "installed tree";
    EXPECT_EQ(HelpWindow::FindDocument(bin + "/"), installed) << "a trailing slash";
    ASSERT_TRUE(QDir().mkpath(beside));
    EXPECT_EQ(HelpWindow::FindDocument(bin), installed) << "a directory beside is not the document";
    ASSERT_TRUE(QDir().rmdir(beside));
    WriteFile(Root(), "bin/Textrove.hlp", "built");
    EXPECT_EQ(HelpWindow::FindDocument(bin), beside) << "beside the executable comes first";
}

TEST_F(HelpWindowTest, ShippedDocumentReadsAsHtml)
{
    HelpWindow::SetDocumentPath(QStringLiteral(TEXTROVE_SOURCE_DIR "/doc/Textrove.hlp"));
    HelpWindow::ShowContents(nullptr, *m_prompts);
    ASSERT_NE(HelpWindow::Instance(), nullptr);
    const QString text = HelpWindow::Instance()->Contents()->toPlainText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Textrove ヘルプ 目次")) && !text.contains('<')) << "no raw markup";
}

}  // namespace
}  // namespace guitest
