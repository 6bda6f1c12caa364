// The result pane inside a main window: text, counting, capacity, copy state,
// and a view that keeps up with appended text.
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include "conditions/Form_SerchDir.h"
#include "conditions/Form_SerchList.h"
#include "main/FrameTestSupport.h"
#include "main/TwipsWidget.h"

namespace {

class SerchAnsPaneTest : public textrove::testing::FrameTest {
protected:
    void SetUp() override
    {
        FrameTest::SetUp();
        Start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        QApplication::setActiveWindow(frame.get());
        Box()->setFocus();
        QApplication::processEvents();
    }
    static QStringList Lines(int first, int count)
    {
        QStringList lines;
        for (int i = first; i < first + count; ++i)
            lines << QStringLiteral("ABC :行 %1 of the result, 東京都 ﾃｷｽﾄ").arg(i);
        return lines;
    }
};

TEST_F(SerchAnsPaneTest, TextUsesCrLfAndCountTracksEveryChange)
{
    Append({"ABC", "", "日本語"});
    EXPECT_EQ(Pane()->Text(), "\r\nABC\r\n\r\n日本語");
    EXPECT_EQ(Pane()->CharacterCount(), 12);
    Select(2, 5);  // "BC", break
    EXPECT_EQ(Pane()->SelectedText(), "BC\r\n");

    Append({QString::fromUcs4(U"\U0001F600a")});
    EXPECT_EQ(Pane()->CharacterCount(), 16) << "a code point outside the BMP is one character";
    Select(2, 4);
    Box()->textCursor().insertText(QStringLiteral("1\n2"));  // typing is counted too
    EXPECT_EQ(Pane()->Text(), QString("\r\nA1\r\n2\r\n\r\n日本語\r\n") + QString::fromUcs4(U"\U0001F600a"));
    EXPECT_EQ(Pane()->CharacterCount(), 18);
    Box()->setPlainText(QString());
    EXPECT_EQ(Pane()->CharacterCount(), 0);
}

TEST_F(SerchAnsPaneTest, CapacityRefusesTheWholeBatchAndKeepsText)
{
    Pane()->SetCapacity(12);
    Append({"12345"});  // 7
    QString error;
    EXPECT_FALSE(Pane()->AppendRecords({"1", "2345"}, &error)) << "3 + 6 would make 16";
    EXPECT_EQ(error, "結果表示領域がいっぱいです。");
    EXPECT_EQ(Pane()->Text(), "\r\n12345");
    Append({"123"});  // exactly 12 fits
    EXPECT_FALSE(Pane()->AppendRecords({""}, &error)) << "an empty record still needs its break";
    EXPECT_EQ(Pane()->CharacterCount(), 12);
}

TEST_F(SerchAnsPaneTest, ManyAppendsKeepOrderCountCaretSelectionAndView)
{
    Append(QStringList(300, QString(300, QLatin1Char('w'))));
    QApplication::processEvents();
    Select(10, 20);
    Box()->verticalScrollBar()->setValue(5);
    Box()->horizontalScrollBar()->setValue(3);
    // 200k records: a cost per append that grew with the text would crawl.
    qsizetype expected = Pane()->CharacterCount();
    for (int batch = 0; batch < 200; ++batch) {
        const QStringList records = Lines(batch * 1000, 1000);
        for (const QString& r : records)
            expected += 2 + r.size();
        Append(records);
    }
    EXPECT_EQ(Pane()->CharacterCount(), expected);
    const QString text = Pane()->Text();
    EXPECT_EQ(text.size(), expected);
    EXPECT_TRUE(text.contains("w\r\n" + Lines(0, 2).join("\r\n") + "\r\n"));
    EXPECT_TRUE(text.endsWith("\r\n" + Lines(199998, 2).join("\r\n")));
    EXPECT_EQ(QList<int>({Box()->textCursor().anchor(), Box()->textCursor().position(),
                          Box()->verticalScrollBar()->value(), Box()->horizontalScrollBar()->value()}),
              QList<int>({10, 20, 5, 3})) << "selection and view stay";
    const int end = Box()->document()->characterCount() - 1;
    Select(end, end);
    Append({"tail"});
    EXPECT_EQ(Box()->textCursor().position(), end) << "a caret at the end does not ride along";
}

TEST_F(SerchAnsPaneTest, KeyReleaseSetsCopyState)
{
    Append({"ABCDEF"});
    Select(1, 1);
    QTest::keyClick(Box(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_TRUE(Enabled("Menu_Edit_Copy")) << "shift+arrow selected a character";
    QTest::keyClick(Box(), Qt::Key_Right);
    EXPECT_FALSE(Enabled("Menu_Edit_Copy")) << "a plain arrow dropped the selection";
    Select(1, 4);
    frame->MenuItem("Menu_Edit_Copy")->setEnabled(false);
    QTest::keyClick(Box(), Qt::Key_Shift);
    EXPECT_TRUE(Enabled("Menu_Edit_Copy")) << "any release counts";
    QTest::keyClick(Box(), Qt::Key_X);
    EXPECT_FALSE(Enabled("Menu_Edit_Copy")) << "typing replaced the selection";
    EXPECT_EQ(Pane()->Text(), "\r\nxDEF");
}

TEST_F(SerchAnsPaneTest, MouseReleaseSetsCopyStateAfterTheClickIsHandled)
{
    Append({"alpha beta gamma"});
    QWidget* viewport = Box()->viewport();
    const QRect line = Box()->cursorRect(QTextCursor(Box()->document()->findBlockByNumber(1)));
    const QPoint onWord(line.left() + 10, line.center().y());
    // A double click as the window system delivers it.
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, onWord);
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, onWord);
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, onWord);
    ASSERT_TRUE(Box()->textCursor().hasSelection());
    EXPECT_TRUE(Enabled("Menu_Edit_Copy"));
    // A click inside a selection clears it only at the release, and the
    // handler must see that. Clicking farther than the drag distance from the
    // double click keeps it from counting as a triple click, whatever the load.
    const QPoint inWord(onWord.x() + QApplication::startDragDistance() + 4, onWord.y());
    ASSERT_LT(inWord.x(), Box()->cursorRect(Box()->textCursor()).right()) << "still inside the selected word";
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, inWord);
    EXPECT_FALSE(Box()->textCursor().hasSelection());
    EXPECT_FALSE(Enabled("Menu_Edit_Copy"));
}

TEST_F(SerchAnsPaneTest, SetSizeFollowsTheFrame)
{
    frame->SetOuterSize(9150, 6116);
    QApplication::processEvents();
    const float dir = frame->SerchDirPane()->Geometry().height, list = frame->SerchListPane()->Geometry().width;
    const textrove::TwipsRect p = Pane()->Geometry();
    EXPECT_EQ(QList<float>({p.top, p.width, p.height}), QList<float>({dir, 9150 - list - 151, 6116 - dir - 716}));
    EXPECT_EQ(Box()->width(), textrove::TwipsToPixels(p.width - 201, textrove::LogicalDpi()));
}

TEST_F(SerchAnsPaneTest, ScrollBarReachesTheLastRecordAfterTheEventLoopRuns)
{
    const std::tuple<const char*, int, int, int> rows[] = {
        // why, records in view before, batches, records per batch
        {"one large batch", 0, 1, 3000},
        {"many small batches, as files come in", 0, 600, 5},
        {"a single record", 0, 1, 1},
        // Painting the lines already laid out changes nothing, so only the
        // appends themselves can tell the scroll bar about the new lines.
        {"appended below text already shown", 200, 40, 10}};
    for (const auto& [why, shownBefore, batches, perBatch] : rows) {
        SCOPED_TRACE(why);
        Box()->setPlainText(QString());
        QApplication::processEvents();
        if (shownBefore > 0) {
            Append(Lines(0, shownBefore));
            QApplication::processEvents();
            Box()->viewport()->repaint();
        }
        for (int b = 0; b < batches; ++b)
            Append(Lines(shownBefore + b * perBatch, perBatch));
        QApplication::processEvents();

        QScrollBar* bar = Box()->verticalScrollBar();
        bar->setValue(bar->maximum());
        QApplication::processEvents();
        const int total = shownBefore + batches * perBatch;
        const QTextBlock bottom = Box()->cursorForPosition(QPoint(1, Box()->viewport()->height() - 1)).block();
        EXPECT_EQ(bottom.blockNumber(), total) << "the last record is in view at the end";
        EXPECT_EQ(bottom.text(), Lines(total - 1, 1).first());
    }
}

// Each size change of the document makes the box lay out its last page of
// text; a search appends thousands of times, so the changes are gathered.
TEST_F(SerchAnsPaneTest, AppendsBetweenTwoTurnsOfTheEventLoopUpdateTheViewOnce)
{
    // Into an empty pane, the first append puts the caret back at the start,
    // which lays out the first line; that is not what is counted here.
    Append(Lines(0, 1));
    QApplication::processEvents();
    int sizeChanges = 0;
    QObject::connect(Box()->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged,
                     Box(), [&](const QSizeF&) { ++sizeChanges; });
    for (int b = 0; b < 200; ++b)
        Append(Lines(1 + b * 3, 3));
    EXPECT_EQ(sizeChanges, 0) << "held back while appending";
    QApplication::processEvents();
    EXPECT_GE(sizeChanges, 1) << "given when the event loop ran";
    EXPECT_LE(sizeChanges, 3) << "not once per append";

    // Text set by other means still updates the view at once.
    sizeChanges = 0;
    Box()->setPlainText(QStringLiteral("1\n2\n3"));
    EXPECT_GE(sizeChanges, 1);
    EXPECT_EQ(Box()->verticalScrollBar()->maximum(), 0) << "three lines fit; nothing stale is left";
}

}  // namespace
