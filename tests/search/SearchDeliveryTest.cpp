// How the dialog hands a search's records to the result pane: complete, in
// walk order, in few batches however many files have hits.
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextDocument>

#include <string>

#include "search/Form_SerchDialog.h"
#include "search/engine/SearchEngine.h"
#include "support/GuiFixture.h"

namespace guitest {
namespace {

// The same search without windows: the text an empty pane should end with.
QString EngineText(const QString& root, const QStringList& words)
{
    struct : textrove::search::ResultSink {
        bool Append(std::string_view record, std::string&) override { return text.append("\r\n").append(record), true; }
        std::string text;
    } sink;
    textrove::search::CancelFlag cancel{0};
    textrove::search::SearchEngine(sink, cancel).SearchCharacter(RequestFor(root, words));
    return QString::fromStdString(sink.text);
}

class SearchDeliveryTest : public FrameFixture { };

// Every delivery makes the pane lay out its view again; one per file would
// keep the window's thread busy for the whole search.
TEST_F(SearchDeliveryTest, ManyFilesWithHitsArriveInFewBatchesAndInWalkOrder)
{
    QByteArray body = "abc at the start\n";
    for (int line = 0; line < 400; ++line)
        body += "filler line without the word, number " + QByteArray::number(line) + "\n";
    body += "xyz and ABC at the end\n";
    constexpr int kFiles = 1200;
    for (int i = 0; i < kFiles; ++i) WriteFile(Root(), QStringLiteral("d%1/f%2.txt").arg(i % 24).arg(i), body);
    const QStringList words = {"abc", "xyz"};
    AddWords(words);
    SetTarget(Root());

    int deliveries = 0;
    QObject::connect(Pane().SerchAns()->document(), &QTextDocument::contentsChange, m_frame.get(),
                     [&](int, int, int added) { deliveries += added > 0; });
    QElapsedTimer clock;
    clock.start();
    RunSearchCommand();
    const qint64 elapsed = clock.elapsed();

    // Scrollable over the whole result when the command returns, before the
    // event loop runs again.
    QScrollBar* bar = Pane().SerchAns()->verticalScrollBar();
    const int maximumAtClose = bar->maximum();
    QApplication::processEvents();
    EXPECT_EQ(bar->maximum(), maximumAtClose);
    EXPECT_GT(maximumAtClose, 3 * kFiles);

    EXPECT_EQ(Pane().Text(), EngineText(Root(), words)) << "every record, in walk order";
    EXPECT_EQ(Pane().Text().count(QStringLiteral("----- ファイル名 : ")), kFiles);
    // At most one delivery per interval from finished files, one per interval
    // from the timer, and the last one at the end.
    const qint64 intervals = elapsed / Form_SerchDialog::kDeliveryIntervalMs + 1;
    EXPECT_LE(deliveries, 2 * intervals + 1) << deliveries << " deliveries in " << elapsed << " ms";
    EXPECT_TRUE(m_prompts->messages.empty());
}

}  // namespace
}  // namespace guitest
