// The folder browser: preset, the three lists in step, the drive change and
// the answers of Ok, Cancel, the close button and the keyboard.
#include <QComboBox>
#include <QListWidget>

#include "conditions/MountTable.h"
#include "support/GuiFixture.h"

namespace {

using namespace guitest;

QStringList Column(const QListWidget* list, int role)
{
    QStringList values;
    for (int row = 0; row < list->count(); ++row) values << list->item(row)->data(role).toString();
    return values;
}

class FolderBrowserTest : public FrameFixture {
protected:
    void SetUp() override
    {
        FrameFixture::SetUp();
        for (const char* name : {"two.txt", "one.txt", ".dot", "alpha/a1.log", "beta/b", ".hidden/h"})
            WriteFile(Root(), QString::fromUtf8(name), {});
        m_root = QFileInfo(Root()).canonicalFilePath();
    }
    QString m_root;
};

TEST_F(FolderBrowserTest, ListsMoveTogetherOnPresetDoubleClickAndDriveChange)
{
    RecordingPrompts prompts;
    Directory参照 browser(nullptr, &prompts);
    browser.Preset(Root() + QLatin1Char('/'));
    const QString drive = browser.Drive();
    EXPECT_EQ(drive.toStdString(),
              textrove::conditions::MountPointOf(m_root.toStdString(), textrove::conditions::ReadSystemMounts()));
    EXPECT_EQ(browser.Dir1Path(), m_root);
    EXPECT_EQ(browser.File1Path(), m_root);
    // Hidden names left out; Dir1 runs from the drive down, then the subdirectories.
    EXPECT_EQ(Column(browser.File1(), Qt::DisplayRole), (QStringList{"one.txt", "two.txt"}));
    const QStringList paths = Column(browser.Dir1(), Qt::UserRole);
    EXPECT_EQ(paths.first(), drive);
    EXPECT_EQ(paths.mid(paths.size() - 3), (QStringList{m_root, m_root + "/alpha", m_root + "/beta"}));
    EXPECT_EQ(browser.Drive1()->findText(QStringLiteral("/proc")), -1) << "a pseudo file system";

    // A double click opens a directory and File1 follows; a single click opens nothing.
    browser.show();
    QListWidget* dir1 = browser.Dir1();
    QListWidgetItem* alpha = dir1->item(paths.indexOf(m_root + "/alpha"));
    dir1->scrollToItem(alpha);
    const QPoint centre = dir1->visualItemRect(alpha).center();
    QTest::mouseClick(dir1->viewport(), Qt::LeftButton, {}, centre);
    EXPECT_EQ(browser.Dir1Path(), m_root);
    QTest::mouseDClick(dir1->viewport(), Qt::LeftButton, {}, centre);
    EXPECT_EQ(browser.Dir1Path(), m_root + "/alpha");
    EXPECT_EQ(browser.File1Path(), m_root + "/alpha");
    EXPECT_EQ(Column(browser.File1(), Qt::DisplayRole), QStringList{"a1.log"});

    // A drive that cannot be listed is reported and put back; one that can takes both lists along.
    browser.SetDrive(m_root + "/gone");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.contains(QStringLiteral("gone")));
    EXPECT_EQ(browser.Drive(), drive);
    EXPECT_EQ(browser.Dir1Path() + browser.File1Path(), m_root + "/alpha" + m_root + "/alpha");
    browser.SetDrive(m_root + "/beta");
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(browser.Dir1Path() + browser.File1Path(), m_root + "/beta" + m_root + "/beta");
    browser.close();
}

TEST_F(FolderBrowserTest, OkAnswersTheAcceptedStartPathOrTheCurrentDirectory)
{
    const QString cwd = QFileInfo(QDir::currentPath()).canonicalFilePath();
    const struct {
        const char* why;
        QString start, opensOn;
    } rows[] = {
        {"trailing '/'", Root() + "/alpha/", m_root + "/alpha"},
        {"missing path", Root() + "/missing", cwd},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        QString seen;
        bool answered = false;
        AnswerNextBrowser(
            [&seen](Directory参照& browser) {
                seen = browser.Dir1Path();
                QTest::mouseClick(browser.Ok(), Qt::LeftButton);
            },
            &answered);
        EXPECT_EQ(CommonModule::SelectDirectory(row.start), row.opensOn);
        ASSERT_TRUE(answered);
        EXPECT_EQ(seen, row.opensOn);
    }
}

TEST_F(FolderBrowserTest, CancelAndCloseAnswerEmptyKeysAnswerNothing)
{
    const std::function<void(Directory参照&)> ways[] = {
        [](Directory参照& b) { QTest::mouseClick(b.Cancel(), Qt::LeftButton); },
        [](Directory参照& b) { b.close(); },  // the window's close button counts as Cancel
    };
    for (const auto& way : ways) {
        CommonModule::SelectedPath = QStringLiteral("/earlier/answer");
        bool answered = false;
        AnswerNextBrowser(way, &answered);
        EXPECT_EQ(CommonModule::SelectDirectory(Root()), QString());
        EXPECT_TRUE(answered);
    }

    CommonModule::SelectedPath = QStringLiteral("/kept");
    Directory参照 browser;
    browser.show();
    for (QWidget* target : {static_cast<QWidget*>(&browser), static_cast<QWidget*>(browser.Ok())})
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(target, key);
    EXPECT_TRUE(browser.isVisible());
    EXPECT_EQ(CommonModule::SelectedPath, QStringLiteral("/kept"));
    browser.close();
}

}  // namespace
