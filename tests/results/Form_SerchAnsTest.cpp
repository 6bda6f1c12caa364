// The result pane: counting, capacity, appending, the copy state, the marks.
#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>

#include "results/PaneCharacters.h"
#include "results/ResultHighlighter.h"
#include "support/WindowFixture.h"

namespace {

class SerchAnsPaneTest : public testsupport::WindowFixture {
protected:
    void SetUp() override
    {
        Start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame.get()));
        QApplication::setActiveWindow(m_frame.get());
        Box()->setFocus();
        QApplication::processEvents();
    }
    bool CopyEnabled() const { return Item("Menu_Edit_Copy")->isEnabled(); }
    static QStringList Lines(int first, int count)
    {
        QStringList lines;
        for (int i = first; i < first + count; ++i)
            lines << QStringLiteral("ABC :行 %1 of the result, 東京都 ﾃｷｽﾄ").arg(i);
        return lines;
    }
};

TEST_F(SerchAnsPaneTest, CountIsInCharactersAndABatchThatDoesNotFitIsRefusedWhole)
{
    const QString emoji = QString::fromUcs4(U"\U0001F600a");
    Append({"ABC", "", emoji});
    EXPECT_EQ(Results()->CharacterCount(), 11) << "a code point outside the BMP is one character";
    Select(2, 4);
    Box()->textCursor().insertText(QStringLiteral("1\n2"));  // typing is counted too
    Results()->SetCapacity(20);
    QString error;
    EXPECT_FALSE(Results()->AppendRecords({"1", "2345"}, &error)) << "13 + 3 + 6 would make 22";
    EXPECT_EQ(error, "結果表示領域がいっぱいです。");
    Append({"12345"});  // exactly 20 fits
    EXPECT_FALSE(Results()->AppendRecords({""}, &error)) << "an empty record still needs its break";
    EXPECT_EQ(Results()->Text(), "\r\nA1\r\n2\r\n\r\n" + emoji + "\r\n12345");
}

// A size change of the document lays out the box's last page, so the changes of
// many appends are given once the event loop runs; the scroll bar still reaches
// the last record. The caret, the selection and the view stay.
TEST_F(SerchAnsPaneTest, ManyAppendsKeepOrderCountSelectionAndViewAndUpdateTheViewOnce)
{
    Append(QStringList(300, QString(300, QLatin1Char('w'))));
    QApplication::processEvents();
    Select(10, 20);
    Box()->verticalScrollBar()->setValue(5);
    Box()->horizontalScrollBar()->setValue(3);
    Box()->viewport()->repaint();  // lines already laid out tell the scroll bar nothing
    int sizeChanges = 0;
    const QMetaObject::Connection counter =
        QObject::connect(Box()->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, Box(),
                         [&](const QSizeF&) { ++sizeChanges; });
    // 200k records: a cost per append that grew with the text would crawl.
    qsizetype expected = Results()->CharacterCount();
    for (int batch = 0; batch < 200; ++batch) {
        const QStringList records = Lines(batch * 1000, 1000);
        for (const QString& r : records) expected += 2 + r.size();
        Append(records);
    }
    EXPECT_EQ(sizeChanges, 0) << "held back while appending";
    QApplication::processEvents();
    QObject::disconnect(counter);
    EXPECT_GE(sizeChanges, 1) << "given when the event loop ran";
    EXPECT_LE(sizeChanges, 3) << "not once per append";
    const QString text = Results()->Text();
    EXPECT_EQ(QList<qsizetype>({Results()->CharacterCount(), text.size()}), QList<qsizetype>({expected, expected}));
    EXPECT_TRUE(text.contains("w\r\n" + Lines(0, 2).join("\r\n") + "\r\n"));
    EXPECT_TRUE(text.endsWith("\r\n" + Lines(199998, 2).join("\r\n")));
    QScrollBar* bar = Box()->verticalScrollBar();
    EXPECT_EQ(QList<int>({Box()->textCursor().anchor(), Box()->textCursor().position(), bar->value(),
                          Box()->horizontalScrollBar()->value()}),
              QList<int>({10, 20, 5, 3}))
        << "selection and view stay";
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    const QTextBlock bottom = Box()->cursorForPosition(QPoint(1, Box()->viewport()->height() - 1)).block();
    EXPECT_EQ(bottom.blockNumber(), 300 + 200000) << "the last record is in view at the end";
    EXPECT_EQ(bottom.text(), Lines(199999, 1).first());

    const int end = Box()->document()->characterCount() - 1;
    Select(end, end);
    Append({"tail"});
    EXPECT_EQ(Box()->textCursor().position(), end) << "a caret at the end does not ride along";
    Box()->setPlainText(QStringLiteral("1\n2\n3"));
    EXPECT_EQ(bar->maximum(), 0) << "text set otherwise updates the view at once";
}

TEST_F(SerchAnsPaneTest, CopyFollowsTheSelectionAfterEachKeyOrButtonRelease)
{
    Append({"alpha beta gamma"});
    Select(2, 2);
    QTest::keyClick(Box(), Qt::Key_End, Qt::ShiftModifier);
    EXPECT_TRUE(CopyEnabled()) << "shift+End selected to the end of the line";
    // A click inside a selection clears it only at the release; the handler must see that.
    const QRect line = Box()->cursorRect(QTextCursor(Box()->document()->findBlockByNumber(1)));
    QTest::mouseClick(Box()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(line.left() + 40, line.center().y()));
    EXPECT_FALSE(Box()->textCursor().hasSelection());
    EXPECT_FALSE(CopyEnabled());
}

// The worker cuts a long line where the pane's own count says it is full.
TEST(PaneCharacters, PrefixesEndOnWholeCharacters)
{
    const QString text = QString::fromUcs4(U"a\U0001F600\u2029b");  // counts 1 + 1 + 2 + 1
    EXPECT_EQ(textrove::PaneCharacters(text), 5);
    // characters allowed -> UTF-16 units kept: never half a pair, never half a break
    const std::pair<int, int> rows[] = {{0, 0}, {1, 1}, {2, 3}, {3, 3}, {4, 4}, {5, 5}, {9, 5}};
    for (const auto& [characters, units] : rows)
        EXPECT_EQ(textrove::PanePrefixWithin(text, characters), units) << characters;
}

// "line:start+length" of each marked run.
QString SpansText(const QStringList& lines, const QStringList& words)
{
    QStringList out;
    for (const ResultHighlighter::Span& s : ResultHighlighter::FindSpans(lines, words))
        out << QStringLiteral("%1:%2+%3").arg(s.line).arg(s.start).arg(s.length);
    return out.join(' ');
}

TEST(ResultHighlighterSpans, WordsAreMarkedInHitLinesAsTheSearchMatchedThem)
{
    const struct {
        const char* why;
        QStringList lines, words;
        const char* spans;
    } rows[] = {
        {"every occurrence in the line's text, any letter case", {"ABC :x abc y Abc"}, {"ABC"}, "0:7+3 0:13+3"},
        {"not in the header, an empty line, a banner or a record of another search's word",
         {"検索文字は、  ABC", "", "----- ファイル名 : /abc -----", "XYZ :abc", "ABC :abc"},
         {"ABC"},
         "4:5+3"},
        {"a word split over two hit lines: the upper line's tail, the lower line's head",
         {"ABC :x ab", "ABC :c y"},
         {"ABC"},
         "0:7+2 1:5+1"},
        {"no line above: the head alone", {"ABC :c y"}, {"ABC"}, "0:5+1"},
        {"the line above does not end with the word's start: the head alone", {"ABC :x", "ABC :c y"}, {"ABC"}, "1:5+1"},
        {"the word inside the line and no upper line: no head guessed", {"ABC :c abc"}, {"ABC"}, "0:7+3"},
        {"the line above is another record of the same line, not the line before it",
         {"C :c ab", "ABC :c ab"},
         {"C", "ABC"},
         "0:3+1 1:5+1"},
        {"a letter outside the BMP upper-cased, positions kept", {"\U00010400 :x\U00010428"}, {"\U00010400"}, "0:5+2"},
        {"overlapping occurrences make one run", {"AA :aaa"}, {"AA"}, "0:4+3"},
    };
    for (const auto& row : rows) EXPECT_EQ(SpansText(row.lines, row.words), QString::fromUtf8(row.spans)) << row.why;
}

}  // namespace
