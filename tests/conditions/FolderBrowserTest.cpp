// The folder browser: preset, the three lists in step, the drive change and
// the answers of Ok, Cancel, the close button and the keyboard.
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "ConditionsTestEnv.h"
#include "conditions/MountTable.h"
#include "main/Prompts.h"

namespace {

class RecordingPrompts : public Prompts {
public:
    void Message(QWidget*, const QString& title, const QString& text, QMessageBox::Icon icon) override
    {
        messages << title + QLatin1Char('|') + text;
        critical = icon == QMessageBox::Critical;
    }
    QStringList messages;
    bool critical = false;
};

QStringList Column(const QListWidget* list, int role)
{
    QStringList values;
    for (int row = 0; row < list->count(); ++row)
        values << list->item(row)->data(role).toString();
    return values;
}

class FolderBrowserTest : public conditions_test::SettingsSandbox {
protected:
    void SetUp() override
    {
        SettingsSandbox::SetUp();
        ASSERT_TRUE(m_tree.isValid());
        const QDir root(m_tree.path());
        for (const char* dir : {"alpha/inner", "beta", ".hidden"})
            ASSERT_TRUE(root.mkpath(QString::fromUtf8(dir)));
        for (const char* name : {"two.txt", "one.txt", ".dot", "alpha/a1.log"}) {
            QFile file(root.filePath(QString::fromUtf8(name)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        m_root = QFileInfo(m_tree.path()).canonicalFilePath();
    }
    QTemporaryDir m_tree;
    QString m_root;
};

TEST_F(FolderBrowserTest, PresetPutsAllThreeListsOnTheStartPath)
{
    for (const QString& start : {m_tree.path(), m_tree.path() + QLatin1Char('/')}) {
        Directory参照 browser;
        browser.Preset(start);
        const std::string drive = textrove::conditions::MountPointOf(
            m_root.toStdString(), textrove::conditions::ReadSystemMounts());
        EXPECT_EQ(browser.Drive().toStdString(), drive);
        EXPECT_EQ(browser.Dir1Path(), m_root);
        EXPECT_EQ(browser.File1Path(), m_root);
        // Hidden names left out; Dir1 runs from the drive down, then the subdirectories.
        EXPECT_EQ(Column(browser.File1(), Qt::DisplayRole), (QStringList{"one.txt", "two.txt"}));
        const QStringList paths = Column(browser.Dir1(), Qt::UserRole);
        EXPECT_EQ(paths.first(), browser.Drive());
        EXPECT_EQ(paths.mid(paths.size() - 3), (QStringList{m_root, m_root + "/alpha", m_root + "/beta"}));
        EXPECT_EQ(browser.Drive1()->findText(QStringLiteral("/proc")), -1) << "a pseudo file system";
    }
}

TEST_F(FolderBrowserTest, DoubleClickOpensADirectoryAndFile1Follows)
{
    Directory参照 browser;
    browser.Preset(m_tree.path());
    browser.show();
    QListWidget* dir1 = browser.Dir1();
    QListWidgetItem* alpha = dir1->item(Column(dir1, Qt::UserRole).indexOf(m_root + "/alpha"));
    ASSERT_NE(alpha, nullptr);
    dir1->scrollToItem(alpha);
    const QPoint centre = dir1->visualItemRect(alpha).center();
    QTest::mouseClick(dir1->viewport(), Qt::LeftButton, {}, centre);
    EXPECT_EQ(browser.Dir1Path(), m_root) << "a single click opens nothing";
    QTest::mouseDClick(dir1->viewport(), Qt::LeftButton, {}, centre);
    EXPECT_EQ(browser.Dir1Path(), m_root + "/alpha");
    EXPECT_EQ(browser.File1Path(), m_root + "/alpha");
    EXPECT_EQ(Column(browser.File1(), Qt::DisplayRole), QStringList{"a1.log"});
    browser.close();
}

TEST_F(FolderBrowserTest, FailedDriveChangeIsReportedAndPutBack)
{
    RecordingPrompts prompts;
    Directory参照 browser(nullptr, &prompts);
    browser.Preset(m_tree.path() + "/alpha");
    const QString drive = browser.Drive();
    browser.SetDrive(m_root + "/gone");
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith(QStringLiteral("Textrove|")));
    EXPECT_TRUE(prompts.messages[0].contains(QStringLiteral("gone")));
    EXPECT_TRUE(prompts.critical);
    EXPECT_EQ(browser.Drive(), drive);
    EXPECT_EQ(browser.Dir1Path(), m_root + "/alpha");
    EXPECT_EQ(browser.File1Path(), m_root + "/alpha");

    // A drive that opens takes Dir1 and File1 along.
    browser.SetDrive(m_root + "/beta");
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(browser.Dir1Path(), m_root + "/beta");
    EXPECT_EQ(browser.File1Path(), m_root + "/beta");
}

TEST_F(FolderBrowserTest, SelectDirectoryPresetsOnlyAcceptedStartPaths)
{
    const QString cwd = QFileInfo(QDir::currentPath()).canonicalFilePath();
    const struct {
        const char* why;
        QString start;
        QString opensOn;
    } rows[] = {
        {"existing directory", m_tree.path() + "/alpha", m_root + "/alpha"},
        {"trailing '/'", m_tree.path() + "/alpha/", m_root + "/alpha"},
        {"empty start", QString(), cwd},
        {"one character", QStringLiteral("/"), cwd},
        {"missing path", m_tree.path() + "/missing", cwd},
        {"a file", m_tree.path() + "/one.txt", cwd},
        {"other letter case", m_tree.path() + "/ALPHA", cwd},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        QString seen;
        bool answered = false;
        conditions_test::AnswerNextBrowser([&seen](Directory参照& browser) {
            seen = browser.Dir1Path();
            EXPECT_EQ(browser.File1Path(), seen);
            QTest::mouseClick(browser.Ok(), Qt::LeftButton);
        }, &answered);
        const QString chosen = CommonModule::SelectDirectory(row.start);
        ASSERT_TRUE(answered);
        EXPECT_EQ(seen, row.opensOn);
        EXPECT_EQ(chosen, row.opensOn);
    }
}

TEST_F(FolderBrowserTest, CancelCloseAndKeysAnswerEmptyOrNothing)
{
    const std::function<void(Directory参照&)> ways[] = {
        [](Directory参照& b) { QTest::mouseClick(b.Cancel(), Qt::LeftButton); },
        [](Directory参照& b) { b.close(); },  // the window's close button counts as Cancel
    };
    for (const auto& way : ways) {
        CommonModule::SelectedPath = QStringLiteral("/earlier/answer");
        bool answered = false;
        conditions_test::AnswerNextBrowser(way, &answered);
        EXPECT_EQ(CommonModule::SelectDirectory(m_tree.path()), QString());
        EXPECT_TRUE(answered);
    }

    // Neither button answers Enter or Escape.
    CommonModule::SelectedPath = QStringLiteral("/kept");
    Directory参照 browser;
    browser.show();
    EXPECT_EQ(browser.windowTitle(), QStringLiteral("フォルダの参照"));
    EXPECT_EQ(browser.Ok()->text() + browser.Cancel()->text(), QStringLiteral("ＯＫｷｬﾝｾﾙ"));
    for (QWidget* target : {static_cast<QWidget*>(&browser), static_cast<QWidget*>(browser.Ok())})
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(target, key);
    EXPECT_TRUE(browser.isVisible());
    EXPECT_EQ(CommonModule::SelectedPath, QStringLiteral("/kept"));
    browser.close();
}

}  // namespace
