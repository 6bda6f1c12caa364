// The result pane's view keeps up with appended text: the scroll bar reaches
// the last record, and a run of appends costs the view one update.
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <memory>

#include "main/FrameTestSupport.h"
#include "main/MainForm.h"
#include "results/Form_SerchAns.h"

namespace {

class SerchAnsViewTest : public textrove::testing::SettingsSandbox {
protected:
    void SetUp() override
    {
        SettingsSandbox::SetUp();
        frame = std::make_unique<MainForm>();
        frame->show();
        frame->Form_Activate();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        pane = frame->SerchAnsPane();
        box = pane->SerchAns();
    }
    void TearDown() override
    {
        frame.reset();
        SettingsSandbox::TearDown();
    }

    static QStringList Lines(int first, int count)
    {
        QStringList lines;
        for (int i = first; i < first + count; ++i)
            lines << QStringLiteral("ABC :行 %1 of the result, 東京都 ﾃｷｽﾄ").arg(i);
        return lines;
    }
    void Append(const QStringList& records)
    {
        QString error;
        ASSERT_TRUE(pane->AppendRecords(records, &error)) << error.toStdString();
    }
    // The block shown at the bottom of the view.
    QTextBlock BottomBlock() const
    {
        return box->cursorForPosition(QPoint(1, box->viewport()->height() - 1)).block();
    }

    std::unique_ptr<MainForm> frame;
    Form_SerchAns* pane = nullptr;
    QPlainTextEdit* box = nullptr;
};

TEST_F(SerchAnsViewTest, ScrollBarReachesTheLastRecordAfterTheEventLoopRuns)
{
    struct Row {
        const char* why;
        int shownBefore;  // records in view before the appends
        int batches;
        int perBatch;
    };
    const Row rows[] = {
        {"one large batch", 0, 1, 3000},
        {"many small batches, as files come in", 0, 600, 5},
        {"a single record", 0, 1, 1},
        // Painting the lines already laid out changes nothing, so only the
        // appends themselves can tell the scroll bar about the new lines.
        {"appended below text already shown", 200, 40, 10},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        box->setPlainText(QString());
        QApplication::processEvents();
        if (row.shownBefore > 0) {
            Append(Lines(0, row.shownBefore));
            QApplication::processEvents();
            box->viewport()->repaint();
        }
        for (int b = 0; b < row.batches; ++b)
            Append(Lines(row.shownBefore + b * row.perBatch, row.perBatch));
        QApplication::processEvents();

        QScrollBar* bar = box->verticalScrollBar();
        bar->setValue(bar->maximum());
        QApplication::processEvents();
        const int total = row.shownBefore + row.batches * row.perBatch;
        EXPECT_EQ(BottomBlock().blockNumber(), total) << "the last record is in view at the end";
        EXPECT_EQ(BottomBlock().text().toStdString(), Lines(total - 1, 1).first().toStdString());
        bar->setValue(0);
        QApplication::processEvents();
        EXPECT_EQ(box->cursorForPosition(QPoint(1, 1)).blockNumber(), 0) << "back at the first line";
    }
}

TEST_F(SerchAnsViewTest, FlushDocumentSizeBringsTheScrollBarUpToDateAtOnce)
{
    Append(Lines(0, 500));
    pane->FlushDocumentSize();
    QScrollBar* bar = box->verticalScrollBar();
    const int atOnce = bar->maximum();
    EXPECT_GT(atOnce, 400) << "500 records do not fit the view";
    QApplication::processEvents();
    EXPECT_EQ(bar->maximum(), atOnce) << "the event loop finds nothing left to take in";
}

// Each size change of the document makes the box lay out its last page of
// text; a search appends thousands of times, so the changes are gathered.
TEST_F(SerchAnsViewTest, AppendsBetweenTwoTurnsOfTheEventLoopUpdateTheViewOnce)
{
    // Into an empty pane, the first append puts the caret back at the start,
    // which lays out the first line; that is not what is counted here.
    Append(Lines(0, 1));
    QApplication::processEvents();
    QAbstractTextDocumentLayout* layout = box->document()->documentLayout();
    int sizeChanges = 0;
    QObject::connect(layout, &QAbstractTextDocumentLayout::documentSizeChanged, box,
                     [&](const QSizeF&) { ++sizeChanges; });
    for (int b = 0; b < 200; ++b)
        Append(Lines(1 + b * 3, 3));
    EXPECT_EQ(sizeChanges, 0) << "held back while appending";
    QApplication::processEvents();
    EXPECT_GE(sizeChanges, 1) << "given when the event loop ran";
    EXPECT_LE(sizeChanges, 3) << "not once per append";

    // Text set by other means still updates the view at once.
    sizeChanges = 0;
    box->setPlainText(QStringLiteral("1\n2\n3"));
    EXPECT_GE(sizeChanges, 1);
    EXPECT_EQ(box->verticalScrollBar()->maximum(), 0) << "three lines fit; nothing stale is left";
}

}  // namespace
