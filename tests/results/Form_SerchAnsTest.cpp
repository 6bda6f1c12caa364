// The result pane inside a main window: text, counting, capacity, copy state.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

#include <memory>

#include "conditions/Form_SerchDir.h"
#include "conditions/Form_SerchList.h"
#include "main/FrameTestSupport.h"
#include "main/MainForm.h"
#include "main/TwipsWidget.h"
#include "results/Form_SerchAns.h"

namespace {

class SerchAnsPaneTest : public textrove::testing::SettingsSandbox {
protected:
    void SetUp() override
    {
        SettingsSandbox::SetUp();
        frame = std::make_unique<MainForm>();
        pane = frame->SerchAnsPane();
        ASSERT_NE(pane, nullptr);
        box = pane->SerchAns();
    }
    void TearDown() override
    {
        frame.reset();
        SettingsSandbox::TearDown();
    }
    void ShowAndFocus()
    {
        frame->show();
        frame->Form_Activate();
        QApplication::setActiveWindow(frame.get());
        box->setFocus();
        QApplication::processEvents();
    }
    bool CopyEnabled() const { return frame->MenuItem("Menu_Edit_Copy")->isEnabled(); }
    void Select(int from, int to)
    {
        QTextCursor c = box->textCursor();
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        box->setTextCursor(c);
    }
    void Append(const QStringList& records)
    {
        QString error;
        ASSERT_TRUE(pane->AppendRecords(records, &error)) << error.toStdString();
    }

    std::unique_ptr<MainForm> frame;
    Form_SerchAns* pane = nullptr;
    QPlainTextEdit* box = nullptr;
};

TEST_F(SerchAnsPaneTest, BoxSettings)
{
    EXPECT_EQ(box->objectName(), "SerchAns");
    EXPECT_EQ(pane->findChild<QLabel*>("Label1")->text(), "検索結果");
    EXPECT_FALSE(box->isReadOnly());
    EXPECT_EQ(box->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    // The selection is not shown without the focus.
    const QPalette p = box->palette();
    EXPECT_EQ(p.color(QPalette::Inactive, QPalette::Highlight), p.color(QPalette::Inactive, QPalette::Base));
}

TEST_F(SerchAnsPaneTest, TextUsesCrLfAndCountTracksEveryChange)
{
    Append({"ABC", "", "日本語"});
    EXPECT_EQ(pane->Text(), "\r\nABC\r\n\r\n日本語");
    EXPECT_EQ(pane->CharacterCount(), 2 + 3 + 2 + 2 + 3);
    Select(2, 5);  // "BC", break
    EXPECT_EQ(pane->SelectedText(), "BC\r\n");

    // A code point outside the BMP is one character.
    Append({QString::fromUcs4(U"\U0001F600a")});
    EXPECT_EQ(pane->CharacterCount(), 12 + 2 + 2);
    // Typing (here a line break) is counted from the document.
    Select(2, 4);
    box->textCursor().insertText(QStringLiteral("1\n2"));
    EXPECT_EQ(pane->Text(), QString("\r\nA1\r\n2\r\n\r\n日本語\r\n") + QString::fromUcs4(U"\U0001F600a"));
    EXPECT_EQ(pane->CharacterCount(), 18);
    box->setPlainText(QString());
    EXPECT_EQ(pane->CharacterCount(), 0);
}

TEST_F(SerchAnsPaneTest, CapacityRefusesTheWholeBatchAndKeepsText)
{
    pane->SetCapacity(12);
    Append({"12345"});  // 7
    QString error;
    EXPECT_FALSE(pane->AppendRecords({"1", "2345"}, &error)) << "3 + 6 would make 16";
    EXPECT_EQ(error, "結果表示領域がいっぱいです。");
    EXPECT_EQ(pane->Text(), "\r\n12345");
    Append({"123"});  // exactly 12 fits
    EXPECT_FALSE(pane->AppendRecords({""}, &error)) << "an empty record still needs its break";
    EXPECT_EQ(pane->CharacterCount(), 12);
}

TEST_F(SerchAnsPaneTest, ManyBatchesKeepOrderAndCount)
{
    // 200k records: a cost per append that grew with the text would crawl.
    qsizetype expected = 0;
    for (int batch = 0, n = 0; batch < 200; ++batch) {
        QStringList records;
        for (int i = 0; i < 1000; ++i, ++n) {
            records << QStringLiteral("record %1").arg(n);
            expected += 2 + records.back().size();
        }
        Append(records);
    }
    EXPECT_EQ(pane->CharacterCount(), expected);
    const QString text = pane->Text();
    EXPECT_EQ(text.size(), expected);
    EXPECT_TRUE(text.startsWith("\r\nrecord 0\r\nrecord 1\r\n"));
    EXPECT_TRUE(text.endsWith("\r\nrecord 199998\r\nrecord 199999"));
}

TEST_F(SerchAnsPaneTest, AppendLeavesCaretSelectionAndViewAlone)
{
    ShowAndFocus();
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << QString(300, QLatin1Char('w'));
    Append(lines);
    QApplication::processEvents();
    Select(10, 20);
    box->verticalScrollBar()->setValue(5);
    box->horizontalScrollBar()->setValue(3);
    Append({"more"});
    EXPECT_EQ(box->textCursor().anchor(), 10);
    EXPECT_EQ(box->textCursor().position(), 20);
    EXPECT_EQ(box->verticalScrollBar()->value(), 5);
    EXPECT_EQ(box->horizontalScrollBar()->value(), 3);
    // A caret at the very end does not ride along with the growing text.
    const int end = box->document()->characterCount() - 1;
    Select(end, end);
    Append({"tail"});
    EXPECT_EQ(box->textCursor().position(), end);
}

TEST_F(SerchAnsPaneTest, KeyReleaseSetsCopyState)
{
    Append({"ABCDEF"});
    ShowAndFocus();
    Select(1, 1);
    QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_TRUE(CopyEnabled()) << "shift+arrow selected a character";
    QTest::keyClick(box, Qt::Key_Right);
    EXPECT_FALSE(CopyEnabled()) << "a plain arrow dropped the selection";
    Select(1, 4);
    frame->MenuItem("Menu_Edit_Copy")->setEnabled(false);
    QTest::keyClick(box, Qt::Key_Shift);
    EXPECT_TRUE(CopyEnabled()) << "any release counts";
    QTest::keyClick(box, Qt::Key_X);
    EXPECT_FALSE(CopyEnabled()) << "typing replaced the selection";
    EXPECT_EQ(pane->Text(), "\r\nxDEF");
}

TEST_F(SerchAnsPaneTest, MouseReleaseSetsCopyStateAfterTheClickIsHandled)
{
    Append({"alpha beta gamma"});
    ShowAndFocus();
    QWidget* viewport = box->viewport();
    const QRect line = box->cursorRect(QTextCursor(box->document()->findBlockByNumber(1)));
    const QPoint onWord(line.left() + 10, line.center().y());
    // A double click as the window system delivers it.
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, onWord);
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, onWord);
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, onWord);
    ASSERT_TRUE(box->textCursor().hasSelection());
    EXPECT_TRUE(CopyEnabled());
    // A click inside a selection clears it only at the release, and the
    // handler must see that. (Waiting keeps it from being a triple click.)
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, onWord);
    EXPECT_FALSE(box->textCursor().hasSelection());
    EXPECT_FALSE(CopyEnabled());
}

TEST_F(SerchAnsPaneTest, SetSizeFollowsTheFrame)
{
    frame->show();
    frame->Form_Activate();
    frame->SetOuterSize(9150, 6116);
    QApplication::processEvents();
    ASSERT_EQ(frame->OuterHeight(), 6116.0f);
    const float dir = frame->SerchDirPane()->Geometry().height;
    const float list = frame->SerchListPane()->Geometry().width;
    const textrove::TwipsRect p = pane->Geometry();
    EXPECT_EQ(p.top, dir);
    EXPECT_EQ(p.width, 9150 - list - 151);
    EXPECT_EQ(p.height, 6116 - dir - 716);
    EXPECT_EQ(pane->TextBoxGeometry().height, p.height - 502);
    EXPECT_EQ(box->width(), textrove::TwipsToPixels(p.width - 201, textrove::LogicalDpi()));
}

}  // namespace
