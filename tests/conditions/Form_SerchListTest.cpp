// The search word list pane in a real main window: loading the stored list,
// the add and delete rules with their limits, the ten-key save, Menu_Start and
// the keyboard: Enter adds, the focus stays in the word text box.
#include <QListWidget>

#include "settings/Profile.h"
#include "settings/SettingsNames.h"
#include "support/GuiFixture.h"

namespace {

using namespace guitest;
namespace names = textrove::settings;
using Slots = std::vector<std::string>;

class Form_SerchListTest : public FrameFixture {
protected:
    void Load(const std::vector<std::pair<int, const char*>>& stored)
    {
        for (const auto& [slot, word] : stored)
            ASSERT_TRUE(names::WriteProfile(names::kSectionDefList, names::ListNameKey(slot), word));
        Restart();
        m_pane = m_frame->SerchListPane();
    }
    // The ten stored keys, "<missing>" for a key not in the file.
    static Slots Stored()
    {
        Slots values;
        for (int slot = 1; slot <= names::kListSlots; ++slot)
            values.push_back(names::ReadProfile(names::kSectionDefList, names::ListNameKey(slot), "<missing>"));
        return values;
    }
    // The ten keys after a save of `words`.
    static Slots Saved(Slots words)
    {
        words.resize(names::kListSlots);
        return words;
    }
    void Type(const QString& text) { m_pane->SerchText()->setText(text); }
    void Delete(int row)
    {
        m_pane->SerchList()->setCurrentRow(row);
        QTest::mouseClick(m_pane->ListDel(), Qt::LeftButton);
    }
    bool StartEnabled() const { return Item("Menu_Start")->isEnabled(); }
    bool TextHasFocus() const { return m_frame->focusWidget() == m_pane->SerchText(); }

    Form_SerchList* m_pane = nullptr;
};

TEST_F(Form_SerchListTest, LoadSkipsEmptySlotsAndTakesWordsAsStored)
{
    Load({});
    EXPECT_TRUE(m_pane->Words().isEmpty());
    EXPECT_FALSE(StartEnabled());
    EXPECT_EQ(Stored(), Slots(10, "<missing>")) << "loading writes nothing";

    Load({{2, "abc"}, {3, ""}, {5, "much longer than ten"}, {10, "ｶﾀｶﾅ"}});
    EXPECT_EQ(m_pane->Words(), (QStringList{"abc", "much longer than ten", "ｶﾀｶﾅ"}));
    EXPECT_TRUE(StartEnabled());
    EXPECT_FALSE(m_pane->ListAdd()->isEnabled());
    EXPECT_FALSE(m_pane->ListDel()->isEnabled());

    m_pane->ListDel_Click();  // without a selection it only saves, without the gaps
    EXPECT_EQ(m_pane->Words(), (QStringList{"abc", "much longer than ten", "ｶﾀｶﾅ"}));
    EXPECT_EQ(Stored(), Saved({"abc", "much longer than ten", "ｶﾀｶﾅ"}));
}

TEST_F(Form_SerchListTest, AddedWordsAreUpperCasedAndCutToTenCharacters)
{
    const std::pair<const char*, const char*> rows[] = {
        {"abcdefghijklm", "ABCDEFGHIJ"},                   // 13 lower-case letters
        {"ｆｕｌ αβγ жз", "ＦＵＬ ΑΒΓ ЖЗ"},                // full-width, Greek, Cyrillic; blanks kept
        {"😀あいうえおかきくけこ", "😀あいうえおかきくけ"},  // characters, not bytes or UTF-16 units
    };
    Load({});
    for (const auto& [typed, added] : rows) {
        SCOPED_TRACE(typed);
        Type(QString::fromUtf8(typed));
        ASSERT_TRUE(m_pane->ListAdd()->isEnabled());
        QTest::mouseClick(m_pane->ListAdd(), Qt::LeftButton);
        EXPECT_EQ(m_pane->Words(), QStringList{QString::fromUtf8(added)});
        EXPECT_EQ(m_pane->SerchText()->text(), QString());
        EXPECT_FALSE(m_pane->ListAdd()->isEnabled());
        EXPECT_EQ(Stored(), Saved({added}));
        Delete(0);
    }
}

TEST_F(Form_SerchListTest, SameWordTwiceKeepsTheSelection)
{
    Load({{1, "WORD"}});
    m_pane->SerchList()->setCurrentRow(0);
    Type(QStringLiteral("Word"));
    m_pane->ListAdd_Click();
    EXPECT_EQ(m_pane->Words(), (QStringList{"WORD", "WORD"}));
    EXPECT_EQ(m_pane->SerchList()->selectedItems(), QList{m_pane->SerchList()->item(0)});
    EXPECT_TRUE(m_pane->ListDel()->isEnabled());
    EXPECT_EQ(Stored(), Saved({"WORD", "WORD"}));
}

TEST_F(Form_SerchListTest, TenWordLimit)
{
    Load({{1, "W1"}, {2, "W2"}, {3, "W3"}, {4, "W4"}, {5, "W5"}, {6, "W6"}, {7, "W7"}, {8, "W8"}, {9, "W9"}});
    Type(QStringLiteral("tenth"));
    m_pane->ListAdd_Click();
    EXPECT_EQ(m_pane->Words().size(), 10);

    // At ten, typing leaves ListAdd disabled and an add does nothing at all.
    Type(QStringLiteral("eleventh"));
    EXPECT_FALSE(m_pane->ListAdd()->isEnabled());
    const Slots before = Stored();
    m_pane->ListAdd_Click();
    EXPECT_EQ(m_pane->Words().size(), 10);
    EXPECT_EQ(m_pane->SerchText()->text(), QStringLiteral("eleventh"));
    EXPECT_EQ(Stored(), before);

    // A deletion while the text remains enables ListAdd again; nothing stays selected.
    Delete(3);
    EXPECT_TRUE(m_pane->ListAdd()->isEnabled());
    EXPECT_FALSE(m_pane->ListDel()->isEnabled());
    EXPECT_EQ(Stored(), Saved({"W1", "W2", "W3", "W5", "W6", "W7", "W8", "W9", "TENTH"}));
}

TEST_F(Form_SerchListTest, DeletingTheLastWordLeavesTenEmptySlots)
{
    Load({{1, "only"}});
    Delete(0);
    EXPECT_TRUE(m_pane->Words().isEmpty());
    EXPECT_FALSE(m_pane->ListDel()->isEnabled());
    EXPECT_FALSE(StartEnabled());
    EXPECT_EQ(Stored(), Slots(10, ""));

    Type(QStringLiteral(" "));  // a blank counts as text
    m_pane->ListAdd_Click();
    EXPECT_TRUE(StartEnabled());
}

TEST_F(Form_SerchListTest, FocusGoesBackToTheTextBoxAfterEachButton)
{
    Load({});
    for (int round = 0; round < 2; ++round) {  // the second with the result pane holding the focus before
        SCOPED_TRACE(round);
        Type(QStringLiteral("word"));
        QTest::mouseClick(m_pane->ListAdd(), Qt::LeftButton);
        EXPECT_TRUE(TextHasFocus()) << "after 追加↓";
        Delete(0);
        EXPECT_TRUE(TextHasFocus()) << "after 削除";
        Pane().setFocus();
    }
}

TEST_F(Form_SerchListTest, EnterInTheTextBoxAddsOnlyWhileListAddIsEnabled)
{
    struct Row {
        const char* why;
        int stored;  // words in the list before
        const char* typed;
        int added;  // words added by Enter
    };
    const Row rows[] = {
        {"a word is added as by 追加↓", 0, "enter", 1},
        {"an empty text box adds nothing", 0, "", 0},
        {"a full list adds nothing and keeps the text", 10, "eleventh", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        static const char* const kWords[] = {"W1", "W2", "W3", "W4", "W5", "W6", "W7", "W8", "W9", "W10"};
        std::vector<std::pair<int, const char*>> stored;
        for (int slot = 1; slot <= names::kListSlots; ++slot)
            stored.push_back({slot, slot <= row.stored ? kWords[slot - 1] : ""});
        Load(stored);
        Type(QString::fromUtf8(row.typed));
        const Slots before = Stored();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(m_pane->SerchText(), key);
        ASSERT_EQ(m_pane->Words().size(), row.stored + row.added) << "once, by the first key";
        if (row.added) {
            EXPECT_EQ(m_pane->Words().last(), QStringLiteral("ENTER"));
            EXPECT_EQ(m_pane->SerchText()->text(), QString());
            EXPECT_TRUE(StartEnabled());
            EXPECT_EQ(Stored(), Saved({"ENTER"}));
        } else {
            EXPECT_EQ(m_pane->SerchText()->text(), QString::fromUtf8(row.typed));
            EXPECT_EQ(Stored(), before);
        }
    }
}

}  // namespace
