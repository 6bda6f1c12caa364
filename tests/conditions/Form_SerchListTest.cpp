// The search word list pane in a real main window: loading the stored list,
// the add and delete rules with their limits, the ten-key save and Menu_Start.
#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "ConditionsTestEnv.h"
#include "conditions/Form_SerchDir.h"
#include "conditions/Form_SerchList.h"
#include "main/MainForm.h"
#include "main/TwipsWidget.h"
#include "settings/SettingsNames.h"

namespace {

namespace names = textrove::settings;
using Slots = std::vector<std::string>;

class Form_SerchListTest : public conditions_test::SettingsSandbox {
protected:
    void Load(std::initializer_list<std::pair<int, const char*>> stored)
    {
        for (const auto& [slot, word] : stored)
            ASSERT_TRUE(names::WriteProfile(names::kSectionDefList, names::ListNameKey(slot), word));
        m_frame = std::make_unique<MainForm>();
        m_pane = m_frame->SerchListPane();
    }
    static Slots StoredSlots()
    {
        Slots values;
        for (int slot = 1; slot <= names::kListSlots; ++slot)
            values.push_back(Stored(names::kSectionDefList, names::ListNameKey(slot)));
        return values;
    }
    // The ten keys after a save of `words`.
    static Slots Saved(Slots words)
    {
        words.resize(names::kListSlots);
        return words;
    }
    // Types key by key; each key carries its character, also beyond ASCII.
    void Type(const QString& text)
    {
        m_pane->SerchText()->clear();
        for (const char32_t c : text.toUcs4()) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUcs4(&c, 1));
            QApplication::sendEvent(m_pane->SerchText(), &press);
        }
        ASSERT_EQ(m_pane->SerchText()->text(), text);
    }
    bool StartEnabled() const { return m_frame->MenuItem(QStringLiteral("Menu_Start"))->isEnabled(); }

    std::unique_ptr<MainForm> m_frame;
    Form_SerchList* m_pane = nullptr;
};

TEST_F(Form_SerchListTest, LoadSkipsEmptySlotsAndTakesWordsAsStored)
{
    Load({});
    EXPECT_TRUE(m_pane->Words().isEmpty());
    EXPECT_FALSE(StartEnabled());
    EXPECT_EQ(StoredSlots(), Slots(10, "<missing>")) << "loading writes nothing";

    Load({{2, "abc"}, {3, ""}, {5, "much longer than ten"}, {10, "ｶﾀｶﾅ"}});
    EXPECT_EQ(m_pane->Words(), (QStringList{"abc", "much longer than ten", "ｶﾀｶﾅ"}));
    EXPECT_TRUE(StartEnabled());
    EXPECT_FALSE(m_pane->ListAdd()->isEnabled());
    EXPECT_FALSE(m_pane->ListDel()->isEnabled());
    m_pane->ChangePrivateFile();
    EXPECT_EQ(StoredSlots(), Saved({"abc", "much longer than ten", "ｶﾀｶﾅ"}));
}

TEST_F(Form_SerchListTest, AddedWordsAreUpperCasedAndCutToTenCharacters)
{
    const std::pair<const char*, const char*> rows[] = {
        {"abcdefghijklm", "ABCDEFGHIJ"},               // 13 lower-case letters
        {"ｆｕｌ αβγ жз", "ＦＵＬ ΑΒΓ ЖЗ"},           // ten: full-width, Greek, Cyrillic; blanks kept
        {"あいうえおかきくけこさ", "あいうえおかきくけこ"},  // characters, not bytes
        {"😀abcdefghijk", "😀ABCDEFGHI"},              // beyond the BMP counts once
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
        EXPECT_TRUE(StartEnabled());
        EXPECT_EQ(StoredSlots(), Saved({added}));
        m_pane->SerchList()->setCurrentRow(0);
        m_pane->ListDel_Click();
    }
}

TEST_F(Form_SerchListTest, SameWordTwiceKeepsTheSelection)
{
    Load({{1, "WORD"}});
    m_pane->SerchList()->setCurrentRow(0);
    EXPECT_TRUE(m_pane->ListDel()->isEnabled());
    Type(QStringLiteral("Word"));
    m_pane->ListAdd_Click();
    EXPECT_EQ(m_pane->Words(), (QStringList{"WORD", "WORD"}));
    EXPECT_EQ(m_pane->SerchList()->selectedItems(), QList{m_pane->SerchList()->item(0)});
    EXPECT_TRUE(m_pane->ListDel()->isEnabled());
    EXPECT_EQ(StoredSlots(), Saved({"WORD", "WORD"}));
}

TEST_F(Form_SerchListTest, TenWordLimit)
{
    Load({{1, "W1"}, {2, "W2"}, {3, "W3"}, {4, "W4"}, {5, "W5"}, {6, "W6"}, {7, "W7"}, {8, "W8"},
          {9, "W9"}});
    Type(QStringLiteral("tenth"));
    m_pane->ListAdd_Click();
    EXPECT_EQ(m_pane->Words().size(), 10);
    EXPECT_FALSE(m_pane->ListAdd()->isEnabled());

    // At ten, typing leaves ListAdd disabled and an add does nothing at all.
    Type(QStringLiteral("eleventh"));
    EXPECT_FALSE(m_pane->ListAdd()->isEnabled());
    const Slots before = StoredSlots();
    m_pane->ListAdd_Click();
    EXPECT_EQ(m_pane->Words().size(), 10);
    EXPECT_EQ(m_pane->SerchText()->text(), QStringLiteral("eleventh"));
    EXPECT_EQ(StoredSlots(), before);

    // A deletion while the text remains enables ListAdd again; nothing stays selected.
    m_pane->SerchList()->setCurrentRow(3);
    QTest::mouseClick(m_pane->ListDel(), Qt::LeftButton);
    EXPECT_EQ(m_pane->Words(), (QStringList{"W1", "W2", "W3", "W5", "W6", "W7", "W8", "W9", "TENTH"}));
    EXPECT_TRUE(m_pane->ListAdd()->isEnabled());
    EXPECT_FALSE(m_pane->ListDel()->isEnabled());
    EXPECT_TRUE(m_pane->SerchList()->selectedItems().isEmpty());
    EXPECT_EQ(StoredSlots(), Saved({"W1", "W2", "W3", "W5", "W6", "W7", "W8", "W9", "TENTH"}));
}

TEST_F(Form_SerchListTest, DeletingWithoutSelectionOnlySaves)
{
    Load({{2, "kept"}});
    m_pane->ListDel_Click();
    EXPECT_EQ(m_pane->Words(), QStringList{"kept"});
    EXPECT_FALSE(m_pane->ListDel()->isEnabled());
    EXPECT_TRUE(StartEnabled());
    EXPECT_EQ(StoredSlots(), Saved({"kept"}));
}

TEST_F(Form_SerchListTest, DeletingTheLastWordLeavesTenEmptySlots)
{
    Load({{1, "only"}});
    m_pane->SerchList()->setCurrentRow(0);
    QTest::mouseClick(m_pane->ListDel(), Qt::LeftButton);
    EXPECT_TRUE(m_pane->Words().isEmpty());
    EXPECT_FALSE(m_pane->ListDel()->isEnabled());
    EXPECT_FALSE(m_pane->ListAdd()->isEnabled());
    EXPECT_FALSE(StartEnabled());
    EXPECT_EQ(StoredSlots(), Slots(10, ""));

    Type(QStringLiteral(" "));  // a blank counts as text
    EXPECT_TRUE(m_pane->ListAdd()->isEnabled());
    m_pane->ListAdd_Click();
    EXPECT_TRUE(StartEnabled());
}

TEST_F(Form_SerchListTest, PlacedBelowTheDirectoryPaneAtTheRight)
{
    Load({});
    m_frame->SetOuterSize(9000, 6000);
    m_frame->SerchDirPane()->SetSize();
    m_pane->SetSize();
    const float w = m_frame->OuterWidth(), h = m_frame->OuterHeight();
    const double dpi = textrove::LogicalDpi();
    const textrove::TwipsRect geometry = m_pane->Geometry();
    EXPECT_FLOAT_EQ(geometry.top, 636);
    EXPECT_FLOAT_EQ(geometry.left, w - 1998);
    EXPECT_FLOAT_EQ(geometry.height, h - 1353);
    EXPECT_EQ(m_pane->SerchList()->height(), textrove::TwipsToPixels(h - 1353 - 1252, dpi));
}

}  // namespace
