// The target directory pane in a real main window, and the panes' place.
#include "support/WindowFixture.h"
#include "ui/TwipsWidget.h"

namespace {

using namespace testsupport;
namespace names = textrove::settings;

class Form_SerchDirTest : public WindowFixture {
protected:
    void SetUp() override { Start(); }
    static std::string Stored() { return names::ReadProfile(names::kSectionDefDir, names::kKeyDirectory, "~"); }
    QLineEdit* Text() const { return m_frame->SerchDirPane()->SerchDir(); }
};

TEST_F(Form_SerchDirTest, LoadsTheStoredTextAndStoresEachChangeAtOnce)
{
    EXPECT_EQ(Text()->text(), QDir::currentPath());
    EXPECT_EQ(Stored(), QDir::currentPath().toStdString());
    for (const char* stored : {"/home/ユーザー/文書 ", ""}) {  // an empty text is not replaced
        ASSERT_TRUE(names::WriteProfile(names::kSectionDefDir, names::kKeyDirectory, stored));
        Start();
        EXPECT_EQ(Text()->text(), QString::fromUtf8(stored));
    }
    QTest::keyClicks(Text(), QStringLiteral("/tm"));
    EXPECT_EQ(Stored(), "/tm") << "stored while typing, not when the box is left";
    Text()->selectAll();
    QTest::keyClick(Text(), Qt::Key_Delete);
    EXPECT_EQ(Stored(), "");
}

TEST_F(Form_SerchDirTest, BrowseStartsAtTheTextAndOnlyOkReplacesIt)
{
    ASSERT_TRUE(QDir(Root()).mkpath(QStringLiteral("chosen")));
    const QString root = QFileInfo(Root()).canonicalFilePath(),
                  cwd = QFileInfo(QDir::currentPath()).canonicalFilePath();
    const struct {
        const char* why;
        QString text, opensOn;
        char answer;    // 'O'k on the chosen directory, 'C'ancel, or the window's close button ('X')
        QString after;  // the text and the stored value afterwards
    } rows[] = {
        {"Cancel keeps the text", Root() + "/", root, 'C', Root() + "/"},
        {"a missing path opens on the current directory; closing is Cancel", Root() + "/no", cwd, 'X', Root() + "/no"},
        {"Ok answers the directory shown", Root() + "/", root, 'O', root + "/chosen"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        Text()->setText(row.text);
        CommonModule::SelectedPath = QStringLiteral("/earlier/answer");
        QString opensOn;
        bool answered = false;
        AnswerNextBrowser(
            [&](Directory参照& b) {
                opensOn = b.Dir1Path();
                if (row.answer == 'O') b.SetDir1Path(root + "/chosen");
                if (row.answer == 'X')
                    b.close();
                else
                    QTest::mouseClick(row.answer == 'O' ? b.Ok() : b.Cancel(), Qt::LeftButton);
            },
            &answered);
        QTest::mouseClick(m_frame->SerchDirPane()->参照Button(), Qt::LeftButton);
        ASSERT_TRUE(answered);
        EXPECT_EQ(opensOn, row.opensOn);
        EXPECT_EQ(Text()->text(), row.after);
        EXPECT_EQ(Stored(), row.after.toStdString());
        EXPECT_EQ(CommonModule::SelectedPath, row.answer == 'O' ? row.after : QString());
    }
}

TEST_F(Form_SerchDirTest, PanesFollowTheFrame)
{
    m_frame->SetOuterSize(9000, 6000);
    m_frame->SerchDirPane()->SetSize();
    m_frame->SerchListPane()->SetSize();
    Results()->SetSize();
    const float w = m_frame->OuterWidth(), h = m_frame->OuterHeight();
    const double dpi = textrove::LogicalDpi();
    EXPECT_EQ(Text()->width(), textrove::TwipsToPixels(w - 152 - 893, dpi));
    const textrove::TwipsRect list = m_frame->SerchListPane()->Geometry();
    EXPECT_FLOAT_EQ(list.left, w - 1998);
    EXPECT_FLOAT_EQ(list.height, h - 1353);
    // The result pane takes the other two panes' extents through the frame.
    const textrove::TwipsRect result = Results()->Geometry();
    const float top = m_frame->SerchDirPane()->Geometry().height;
    EXPECT_EQ(QList<float>({result.top, result.width, result.height}),
              QList<float>({top, w - list.width - 151, h - top - 716}));
    EXPECT_EQ(Results()->SerchAns()->width(), textrove::TwipsToPixels(result.width - 201, dpi));
}

}  // namespace
