// The folder browser and its drive list; its answers are checked through 参照
// (Form_SerchDirTest).
#include <QComboBox>
#include <QListWidget>

#include "conditions/MountTable.h"
#include "support/WindowFixture.h"

namespace {

using namespace testsupport;
using namespace textrove::conditions;

QStringList Column(const QListWidget* list, int role)
{
    QStringList values;
    for (int row = 0; row < list->count(); ++row) values << list->item(row)->data(role).toString();
    return values;
}

TEST(MountTable, RealMountPointsAndTheMountHoldingAPath)
{
    const std::vector<MountEntry> mounts = ParseMounts("overlay / overlay rw 0 0\n"
                                                       "proc /proc proc rw 0 0\n"
                                                       "/dev/sdb1 /media/usb\\040stick\\12 vfat rw 0 0\n"
                                                       "/dev/sdc1 /srv xfs rw 0 0\n"
                                                       "tmpfs /srv tmpfs rw 0 0\n"  // hides the xfs mount below it
                                                       "malformed-line\n"
                                                       "none relative/point ext4 rw 0 0\n"
                                                       "/dev/sde1 / btrfs rw 0 0");  // "/" again, no final newline
    EXPECT_EQ(RealMountPoints(mounts), (std::vector<std::string>{"/", "/media/usb stick\\12"}))
        << "escapes decoded, a cut-off one kept; pseudo, hidden and relative mounts left out";
    EXPECT_EQ(MountPointOf("/srv/x", mounts) + MountPointOf("/srvx", mounts) + MountPointOf("/proc/1", mounts),
              "/srv//proc")
        << "whole components only; pseudo mounts still hold their paths";
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
    EXPECT_EQ(drive.toStdString(), MountPointOf(root.toStdString(), ReadSystemMounts()));
    EXPECT_EQ(browser.Dir1Path() + browser.File1Path(), root + root);
    // Hidden names left out; Dir1 runs from the drive down, then the subdirectories.
    EXPECT_EQ(Column(browser.File1(), Qt::DisplayRole), (QStringList{"one.txt", "two.txt"}));
    const QStringList paths = Column(browser.Dir1(), Qt::UserRole);
    EXPECT_EQ(paths.first(), drive);
    EXPECT_EQ(paths.mid(paths.size() - 3), (QStringList{root, root + "/alpha", root + "/beta"}));
    EXPECT_EQ(browser.Drive1()->findText(QStringLiteral("/proc")), -1) << "a pseudo file system";

    // A double click opens a directory and File1 follows; a single click does not.
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
    EXPECT_EQ(browser.Dir1Path() + browser.File1Path(), root + "/beta" + root + "/beta");

    // Neither the window nor its buttons answer Escape or Enter.
    for (QWidget* target : {static_cast<QWidget*>(&browser), static_cast<QWidget*>(browser.Ok())})
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(target, key);
    EXPECT_TRUE(browser.isVisible());
    browser.close();
}

}  // namespace
