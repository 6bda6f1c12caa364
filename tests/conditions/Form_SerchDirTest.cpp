// The target directory pane in a real main window: load, the store on every
// change, browsing, and the panes' place in the frame.
#include <sys/stat.h>

#include "settings/Profile.h"
#include "settings/SettingsNames.h"
#include "support/GuiFixture.h"
#include "ui/TwipsWidget.h"

namespace {

using namespace guitest;
namespace names = textrove::settings;

class Form_SerchDirTest : public FrameFixture {
protected:
    static std::string StoredDirectory()
    {
        return names::ReadProfile(names::kSectionDefDir, names::kKeyDirectory, "<missing>");
    }
    // Every write replaces the settings file, so its inode tells writes apart.
    static ino_t SettingsInode()
    {
        struct stat info { };
        return ::stat(names::SettingsFilePath().c_str(), &info) == 0 ? info.st_ino : 0;
    }
    QLineEdit* Text() const { return m_frame->SerchDirPane()->SerchDir(); }
};

TEST_F(Form_SerchDirTest, LoadsTheStoredTextOrStoresTheCurrentDirectory)
{
    // SetUp was the first start.
    EXPECT_EQ(Text()->text(), QDir::currentPath());
    EXPECT_EQ(StoredDirectory(), QDir::currentPath().toStdString());
    for (const char* stored : {"/home/ユーザー/文書 ", ""}) {  // an empty text is not replaced
        ASSERT_TRUE(names::WriteProfile(names::kSectionDefDir, names::kKeyDirectory, stored));
        Restart();
        EXPECT_EQ(Text()->text(), QString::fromUtf8(stored));
    }
}

TEST_F(Form_SerchDirTest, EveryKeystrokeIsStoredAtOnce)
{
    Text()->clear();
    const QString typed = QStringLiteral("/tmp/");
    for (int i = 0; i < typed.size(); ++i) {
        const ino_t before = SettingsInode();
        QTest::keyClicks(Text(), typed.mid(i, 1));
        EXPECT_EQ(StoredDirectory(), typed.left(i + 1).toStdString());
        EXPECT_NE(SettingsInode(), before) << "no write for keystroke " << i;
    }
    Text()->selectAll();
    QTest::keyClick(Text(), Qt::Key_Delete);
    EXPECT_EQ(StoredDirectory(), "");
}

TEST_F(Form_SerchDirTest, BrowseStartsAtTheTextAndOnlyANonEmptyAnswerReplacesIt)
{
    ASSERT_TRUE(QDir(Root()).mkpath(QStringLiteral("chosen")));
    const QString root = QFileInfo(Root()).canonicalFilePath();
    Text()->setText(Root() + QLatin1Char('/'));

    // Cancelled: neither the text nor the settings file changes.
    const ino_t before = SettingsInode();
    bool answered = false;
    AnswerNextBrowser([](Directory参照& b) { b.Cancel_Click(); }, &answered);
    QTest::mouseClick(m_frame->SerchDirPane()->参照Button(), Qt::LeftButton);
    EXPECT_TRUE(answered);
    EXPECT_EQ(Text()->text(), Root() + QLatin1Char('/'));
    EXPECT_EQ(SettingsInode(), before) << "the settings file was rewritten";

    QString startedOn;
    AnswerNextBrowser(
        [&](Directory参照& b) {
            startedOn = b.Dir1Path();
            b.SetDir1Path(root + "/chosen");
            b.Ok_Click();
        },
        &answered);
    m_frame->SerchDirPane()->参照_Click();
    ASSERT_TRUE(answered);
    EXPECT_EQ(startedOn, root);
    EXPECT_EQ(Text()->text(), root + "/chosen");
    EXPECT_EQ(StoredDirectory(), (root + "/chosen").toStdString());
}

TEST_F(Form_SerchDirTest, ConditionPanesFollowTheFrame)
{
    m_frame->SetOuterSize(9000, 6000);
    m_frame->SerchDirPane()->SetSize();
    m_frame->SerchListPane()->SetSize();
    Pane().SetSize();
    const float w = m_frame->OuterWidth(), h = m_frame->OuterHeight();
    EXPECT_EQ(Text()->width(), textrove::TwipsToPixels(w - 152 - 893, textrove::LogicalDpi()));
    const textrove::TwipsRect list = m_frame->SerchListPane()->Geometry();
    EXPECT_FLOAT_EQ(list.left, w - 1998);
    EXPECT_FLOAT_EQ(list.height, h - 1353);
    // The result pane takes the other two panes' extents through the frame.
    const textrove::TwipsRect result = Pane().Geometry();
    EXPECT_EQ(QList<float>({result.top, result.width}),
              QList<float>({m_frame->SerchDirPane()->Geometry().height, w - list.width - 151}));
}

}  // namespace
