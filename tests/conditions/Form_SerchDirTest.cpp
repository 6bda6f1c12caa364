// The target directory pane in a real main window: load, the store on every
// change, browsing, and its place in the frame.
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "ConditionsTestEnv.h"
#include "conditions/Form_SerchDir.h"
#include "main/MainForm.h"
#include "main/TwipsWidget.h"
#include "settings/SettingsNames.h"

namespace {

namespace names = textrove::settings;

class Form_SerchDirTest : public conditions_test::SettingsSandbox {
protected:
    static std::string StoredDirectory() { return Stored(names::kSectionDefDir, names::kKeyDirectory); }
    // Every write replaces the settings file, so its inode tells writes apart.
    static ino_t SettingsInode()
    {
        struct stat info {};
        return ::stat(names::SettingsFilePath().c_str(), &info) == 0 ? info.st_ino : 0;
    }
};

TEST_F(Form_SerchDirTest, LoadsTheStoredTextOrStoresTheCurrentDirectory)
{
    {
        MainForm frame;
        EXPECT_EQ(frame.SerchDirPane()->SerchDir()->text(), QDir::currentPath());
        EXPECT_EQ(StoredDirectory(), QDir::currentPath().toStdString());
    }
    for (const char* stored : {"/no/such/place", "/home/ユーザー/文書 ", ""}) {
        ASSERT_TRUE(names::WriteProfile(names::kSectionDefDir, names::kKeyDirectory, stored));
        MainForm frame;
        EXPECT_EQ(frame.SerchDirPane()->SerchDir()->text(), QString::fromUtf8(stored));
    }
}

TEST_F(Form_SerchDirTest, EveryKeystrokeIsStoredAtOnce)
{
    MainForm frame;
    QLineEdit* text = frame.SerchDirPane()->SerchDir();
    text->clear();
    const QString typed = QStringLiteral("/tmp/");
    for (int i = 0; i < typed.size(); ++i) {
        const ino_t before = SettingsInode();
        QTest::keyClicks(text, typed.mid(i, 1));
        EXPECT_EQ(StoredDirectory(), typed.left(i + 1).toStdString());
        EXPECT_NE(SettingsInode(), before) << "no write for keystroke " << i;
    }
    // Emptied by the user: stored empty, and the next start shows it empty.
    text->selectAll();
    QTest::keyClick(text, Qt::Key_Delete);
    EXPECT_EQ(StoredDirectory(), "");
    MainForm next;
    EXPECT_EQ(next.SerchDirPane()->SerchDir()->text(), QString());
}

TEST_F(Form_SerchDirTest, BrowseStartsAtTheTextAndOnlyANonEmptyAnswerReplacesIt)
{
    QTemporaryDir tree;
    ASSERT_TRUE(tree.isValid() && QDir(tree.path()).mkpath(QStringLiteral("chosen")));
    const QString root = QFileInfo(tree.path()).canonicalFilePath();
    MainForm frame;
    QLineEdit* text = frame.SerchDirPane()->SerchDir();
    text->setText(tree.path() + QLatin1Char('/'));

    // Cancelled: neither the text nor the settings file changes.
    const ino_t before = SettingsInode();
    bool answered = false;
    conditions_test::AnswerNextBrowser([](Directory参照& b) { b.Cancel_Click(); }, &answered);
    QTest::mouseClick(frame.SerchDirPane()->参照Button(), Qt::LeftButton);
    EXPECT_TRUE(answered);
    EXPECT_EQ(text->text(), tree.path() + QLatin1Char('/'));
    EXPECT_EQ(SettingsInode(), before) << "the settings file was rewritten";

    QString startedOn;
    conditions_test::AnswerNextBrowser([&](Directory参照& b) {
        startedOn = b.Dir1Path();
        EXPECT_EQ(b.parentWidget(), &frame);
        b.SetDir1Path(root + "/chosen");
        b.Ok_Click();
    }, &answered);
    frame.SerchDirPane()->参照_Click();
    ASSERT_TRUE(answered);
    EXPECT_EQ(startedOn, root);
    EXPECT_EQ(text->text(), root + "/chosen");
    EXPECT_EQ(StoredDirectory(), (root + "/chosen").toStdString());
}

TEST_F(Form_SerchDirTest, FollowsTheFrameWidth)
{
    MainForm frame;
    Form_SerchDir* pane = frame.SerchDirPane();
    const double dpi = textrove::LogicalDpi();
    frame.SetOuterSize(10000, 6000);
    pane->SetSize();
    const float width = frame.OuterWidth() - 152;
    EXPECT_FLOAT_EQ(pane->Geometry().width, width);
    EXPECT_FLOAT_EQ(pane->Geometry().height, 636);
    EXPECT_EQ(pane->SerchDir()->width(), textrove::TwipsToPixels(width - 893, dpi));
    EXPECT_EQ(pane->参照Button()->x(), textrove::TwipsToPixels(width - 642, dpi));
}

}  // namespace
