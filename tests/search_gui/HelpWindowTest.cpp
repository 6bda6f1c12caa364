// The help window: reuse and reload, the shipped document, a missing document.
#include <QScrollBar>
#include <QTextBrowser>

#include "main/HelpWindow.h"
#include "SearchGuiSupport.h"

namespace searchgui {
namespace {

class HelpWindowTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        delete HelpWindow::Instance();
        HelpWindow::SetDocumentPath(QString());
    }

    QTemporaryDir m_dir;
    std::shared_ptr<RecordingPrompts::Log> m_log = std::make_shared<RecordingPrompts::Log>();
    RecordingPrompts m_prompts{m_log};
};

TEST_F(HelpWindowTest, DocumentThatCannotBeReadIsReported)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("Textrove.hlp"));
    for (const QString& path : {m_dir.path() + "/none/Textrove.hlp",  // no such file
                                m_dir.path() + "/Textrove.hlp"}) {    // a directory in its place
        SCOPED_TRACE(path.toStdString());
        m_log->messages.clear();
        HelpWindow::SetDocumentPath(path);
        HelpWindow::ShowContents(nullptr, m_prompts);
        ASSERT_EQ(m_log->messages.size(), 1u);
        EXPECT_EQ(m_log->messages[0].title, QStringLiteral("Textrove"));
        EXPECT_EQ(m_log->messages[0].icon, QMessageBox::Critical);
        EXPECT_TRUE(m_log->messages[0].text.contains(path));
        EXPECT_EQ(HelpWindow::Instance(), nullptr) << "no empty help window opens";
    }

    // Through the help menu, the message goes through the frame's prompts.
    ScopedConfigHome config;
    MainForm frame;
    m_log->messages.clear();
    frame.SetPrompts(std::make_unique<RecordingPrompts>(m_log));
    frame.MenuItem(QStringLiteral("Menu_Help_Topic"))->trigger();
    EXPECT_EQ(m_log->messages.size(), 1u);
}

// One window, reused; every opening shows the document as it is now, at the top.
TEST_F(HelpWindowTest, OneWindowReloadedAtContents)
{
    QByteArray page = "<html><head><meta charset=\"utf-8\"></head><body><h1>目次 one</h1>";
    for (int i = 0; i < 300; ++i)
        page += "<p>paragraph " + QByteArray::number(i) + "</p>";
    WriteFile(m_dir.path(), "doc.hlp", page + "</body></html>");
    HelpWindow::SetDocumentPath(m_dir.path() + "/doc.hlp");

    HelpWindow::ShowContents(nullptr, m_prompts);
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
    page.replace("目次 one", "目次 two");
    WriteFile(m_dir.path(), "doc.hlp", page + "</body></html>");

    HelpWindow::ShowContents(nullptr, m_prompts);
    EXPECT_EQ(HelpWindow::Instance(), window) << "the same window is reused";
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->Contents()->toPlainText().startsWith(QStringLiteral("目次 two")));
    EXPECT_EQ(bar->value(), 0) << "opened at the contents";
    EXPECT_TRUE(m_log->messages.empty());
}

// The shipped document reads as HTML and covers what a user needs to know.
TEST_F(HelpWindowTest, ShippedDocumentCoversTheProgram)
{
    HelpWindow::SetDocumentPath(QFileInfo(QStringLiteral(__FILE__)).absoluteDir().filePath("../../doc/Textrove.hlp"));
    HelpWindow::ShowContents(nullptr, m_prompts);
    ASSERT_NE(HelpWindow::Instance(), nullptr);
    const QString text = HelpWindow::Instance()->Contents()->toPlainText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Textrove ヘルプ 目次")));
    EXPECT_FALSE(text.contains(QLatin1Char('<'))) << "no raw markup";
    for (const char* topic : {"検索対象フォルダ", "検索対象文字", "結果クリア", "名前を付けて保存", "すべて選択",
                              "ｷｬﾝｾﾙ", "大文字と小文字は区別しません", "またがった", "Textroveini",
                              "Shift-JIS", "10 文字", "11 階層", "50 個", "隠しファイル", "textrove-search"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(topic))) << topic;
}

}  // namespace
}  // namespace searchgui
