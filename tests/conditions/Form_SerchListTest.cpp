// The search word list pane in a real main window, driven a step at a time; after
// each step the list, the text box, the buttons, Menu_Start, the keys, the focus.
#include <QListWidget>

#include "support/WindowFixture.h"

namespace {

using namespace testsupport;
namespace names = textrove::settings;

enum class Op { Load, Type, Add, AddCall, Enter, Select, Del, DelCall };

// The ten stored keys, "~" for a key not in the file.
QStringList Stored()
{
    QStringList values;
    for (int slot = 1; slot <= names::kListSlots; ++slot)
        values << QString::fromStdString(names::ReadProfile(names::kSectionDefList, names::ListNameKey(slot), "~"));
    return values;
}

class Form_SerchListTest : public WindowFixture {
protected:
    void SetUp() override { Start(); }
    Form_SerchList* List() const { return m_frame->SerchListPane(); }
    void Do(Op op, const QString& arg)
    {
        if (op == Op::Load) {
            for (int slot = 0; slot < names::kListSlots; ++slot)
                if (arg.split('|')[slot] != "~")
                    ASSERT_TRUE(names::WriteProfile(names::kSectionDefList, names::ListNameKey(slot + 1),
                                                    arg.split('|')[slot].toStdString()));
            Start();
        } else if (op == Op::Select) {
            List()->SerchList()->setCurrentRow(arg.toInt());
        } else if (op == Op::Del) {
            QTest::mouseClick(List()->ListDel(), Qt::LeftButton);
        } else if (op == Op::DelCall) {
            List()->ListDel_Click();
        } else {
            List()->SerchText()->setText(arg);
            if (op == Op::Add) QTest::mouseClick(List()->ListAdd(), Qt::LeftButton);
            if (op == Op::AddCall) List()->ListAdd_Click();
            if (op == Op::Enter)
                for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(List()->SerchText(), key);
        }
    }
};

TEST_F(Form_SerchListTest, EachStepLeavesListButtonsStartAndStoredKeysRight)
{
    const struct {
        const char* why;
        Op op;
        const char* arg;    // the text typed first; Load: the ten keys ("~": none); Select: the row
        const char* words;  // the list after the step, '|' between words
        const char* text;   // the text box after the step
        const char* state;  // enabled: 追加↓, 削除, Menu_Start
    } steps[] = {
        {"nothing stored: no search, nothing written", Op::Load, "~|~|~|~|~|~|~|~|~|~", "", "", "000"},
        {"empty slots skipped, words as stored", Op::Load, "~|abc||~|12345678901|~|~|~|~|ｶﾅ", "abc|12345678901|ｶﾅ", "",
         "001"},
        {"a delete without a selection saves without gaps", Op::DelCall, "", "abc|12345678901|ｶﾅ", "", "001"},
        {"all slots empty", Op::Load, "|||||||||", "", "", "000"},
        {"an empty text adds nothing, also without the button", Op::AddCall, "", "", "", "000"},
        {"upper-cased and cut to ten", Op::Add, "abcdefghijklm", "ABCDEFGHIJ", "", "001"},
        {"a selection enables 削除", Op::Select, "0", "ABCDEFGHIJ", "", "011"},
        {"Enter adds; the same word twice; the selection stays", Op::Enter, "abcdefghijXYZ", "ABCDEFGHIJ|ABCDEFGHIJ",
         "", "011"},
        {"deleted; with no text 追加↓ stays disabled", Op::Del, "", "ABCDEFGHIJ", "", "001"},
        {"a blank is text", Op::Type, " ", "ABCDEFGHIJ", " ", "101"},
        {"select the last word", Op::Select, "0", "ABCDEFGHIJ", " ", "111"},
        {"the last word deleted: no search, ten empty keys", Op::Del, "", "", " ", "100"},
        {"a blank word is a word", Op::Add, " ", " ", "", "001"},
        {"ten characters, not bytes or UTF-16 units", Op::Add, "😀あいうえおかきくけこ", " |😀あいうえおかきくけ", "",
         "001"},
        {"nine words", Op::Load, "1|2|3|4|5|6|7|8|9|", "1|2|3|4|5|6|7|8|9", "", "001"},
        {"the tenth word", Op::Add, "tenth", "1|2|3|4|5|6|7|8|9|TENTH", "", "001"},
        {"at ten typing leaves 追加↓ disabled", Op::Type, "eleventh", "1|2|3|4|5|6|7|8|9|TENTH", "eleventh", "001"},
        {"a full list takes no word, also without the button", Op::AddCall, "eleventh", "1|2|3|4|5|6|7|8|9|TENTH",
         "eleventh", "001"},
        {"select a word", Op::Select, "3", "1|2|3|4|5|6|7|8|9|TENTH", "eleventh", "011"},
        {"a delete with text left enables 追加↓, selects nothing", Op::Del, "", "1|2|3|5|6|7|8|9|TENTH", "eleventh",
         "101"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.why);
        Box()->setFocus();  // the buttons must bring the focus back
        const QString arg = QString::fromUtf8(step.arg);
        Do(step.op, arg);
        const QStringList words = QString::fromUtf8(step.words).split('|', Qt::SkipEmptyParts);
        EXPECT_EQ(List()->Words(), words);
        EXPECT_EQ(List()->SerchText()->text(), QString::fromUtf8(step.text));
        const bool state[] = {List()->ListAdd()->isEnabled(), List()->ListDel()->isEnabled(),
                              Item("Menu_Start")->isEnabled()};
        for (int i = 0; i < 3; ++i) EXPECT_EQ(state[i], step.state[i] == '1') << "state " << i << " of " << step.state;
        QStringList saved = words;
        while (saved.size() < names::kListSlots) saved << QString();
        EXPECT_EQ(Stored(), step.op == Op::Load ? arg.split('|') : saved) << "the ten keys (a load writes none)";
        const bool refocus = step.op != Op::Load && step.op != Op::Type && step.op != Op::Select;
        EXPECT_TRUE(!refocus || m_frame->focusWidget() == List()->SerchText()) << "the focus is back in the text box";
    }
}

}  // namespace
