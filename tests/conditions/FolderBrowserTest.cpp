// The folder browser: preset, the three lists in step, the drive change, and
// keys that answer nothing. Its answers are checked through 参照 (Form_SerchDirTest).
#include <QComboBox>
#include <QListWidget>

#include "conditions/MountTable.h"
#include "support/WindowFixture.h"

namespace {

using namespace testsupport;

QStringList Column(const QListWidget* list, int role)
{
    QStringList values;
    for (int row = 0; row < list->count(); ++row) values << list->item(row)->data(role).toString();
    return values;
}

TEST(FolderBrowserTest, ListsMoveTogetherOnPresetDoubleClickAndDriveChange)
{
    QTemporaryDir tree;
    for (const char* name : {"two.txt", "one.txt", ".dot", "alpha/a1.log", "beta/b", ".hidden/h"})
        WriteFile(tree.path(), QString::fromUtf8(name), {});
    const QString root = QFileInfo(tree.path()).canonicalFilePath();
    FakePrompts prompts;
    Directory参照 browser(nullptr, &prompts);
    browser.Preset(tree.path() + QLatin1Char('/'));
    const QString drive = browser.Drive();
    EXPECT_EQ(drive.toStdString(),
              textrove::conditions::MountPointOf(root.toStdString(), textrove::conditions::ReadSystemMounts()));
    EXPECT_EQ(browser.Dir1Path() + browser.File1Path(), root + root);
    // Hidden names left out; Dir1 runs from the drive down, then the subdirectories.
    EXPECT_EQ(Column(browser.File1(), Qt::DisplayRole), (QStringList{"one.txt", "two.txt"}));
    const QStringList paths = Column(browser.Dir1(), Qt::UserRole);
    EXPECT_EQ(paths.first(), drive);
    EXPECT_EQ(paths.mid(paths.size() - 3), (QStringList{root, root + "/alpha", root + "/beta"}));
    EXPECT_EQ(browser.Drive1()->findText(QStringLiteral("/proc")), -1) << "a pseudo file system";

    // A double click opens a directory and File1 follows; a single click opens nothing.
    browser.show();
    QListWidget* dir1 = browser.Dir1();
    QListWidgetItem* alpha = dir1->item(paths.indexOf(root + "/alpha"));
    dir1->scrollToItem(alpha);
    const QPoint centre = dir1->visualItemRect(alpha).center();
    QTest::mouseClick(dir1->viewport(), Qt::LeftButton, {}, centre);
    EXPECT_EQ(browser.Dir1Path(), root);
    QTest::mouseDClick(dir1->viewport(), Qt::LeftButton, {}, centre);
    EXPECT_EQ(browser.Dir1Path() + browser.File1Path(), root + "/alpha" + root + "/alpha");
    EXPECT_EQ(Column(browser.File1(), Qt::DisplayRole), QStringList{"a1.log"});

    // A drive that cannot be listed is reported and put back; one that can takes both lists along.
    browser.SetDrive(root + "/gone");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.contains(QStringLiteral("gone")));
    EXPECT_EQ(browser.Drive(), drive);
    EXPECT_EQ(browser.Dir1Path() + browser.File1Path(), root + "/alpha" + root + "/alpha");
    browser.SetDrive(root + "/beta");
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(browser.Dir1Path() + browser.File1Path(), root + "/beta" + root + "/beta");

    // Neither the window nor its buttons answer Escape or Enter.
    for (QWidget* target : {static_cast<QWidget*>(&browser), static_cast<QWidget*>(browser.Ok())})
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(target, key);
    EXPECT_TRUE(browser.isVisible());
    browser.close();
}

}  // namespace
