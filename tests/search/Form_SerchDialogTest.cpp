// The search dialog driven as the user drives it: through the search command
// or on its own, on temp trees, offscreen.
#include <QClipboard>
#include <QMenu>
#include <QProcess>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include <unistd.h>

#include <fstream>
#include <optional>

#include "results/FileOpener.h"
#include "results/ResultContextMenu.h"
#include "results/ResultFileBlocks.h"
#include "search/Form_SerchDialog.h"
#include "support/WindowFixture.h"

namespace {

using namespace testsupport;

const QString kHeader = QStringLiteral("検索文字は、  ABC");

class SearchDialogTest : public WindowFixture {
protected:
    void SetUp() override { Start(); }
};

// Destroyed mid-search, a dialog joins its worker: nothing arrives later.
TEST_F(SearchDialogTest, DestroyedMidSearchJoinsItsWorker)
{
    for (int i = 0; i < 2000; ++i) WriteFile(Root(), QStringLiteral("many/f%1.txt").arg(i), "abc\n");
    auto* doomed = new Form_SerchDialog(m_frame.get(), RequestFor(Root(), {"abc"}), *Results(), *m_prompts);
    doomed->show();
    EXPECT_TRUE(doomed->SearchRunning());
    delete doomed;
    const QString atDestruction = Results()->Text();
    QTest::qWait(200);
    EXPECT_EQ(Results()->Text(), atDestruction) << "no record arrives after the dialog is gone";
}

// The capacity is checked on the worker, record by record (a long line part
// by part), so the pane never refuses what it was sent; the message box goes
// through the frame's Prompts and the search ends.
TEST_F(SearchDialogTest, FullPaneReportsAndEndsSearch)
{
    // Past two blocks, so the line is handed over in three parts.
    const QByteArray line = QByteArray((2 << 20) + 100000, 'x') + "abc";
    WriteFile(Root(), "a.txt", "abc one\nline\n");
    WriteFile(Root(), "sub/b.txt", "two abc\n");
    WriteFile(Root(), "sub/deeper/long.txt", "before\n" + line + "\nafter\n");
    AddWords({"abc"});
    SetTarget(Root());
    QStringList all = {kHeader, {}, Banner(Root() + "/a.txt"), "ABC :abc one", {}, Banner(Root() + "/sub/b.txt")};
    all << "ABC :two abc" << QString() << Banner(Root() + "/sub/deeper/long.txt")
        << "ABC :" + QString::fromLatin1(line);
    const QString whole = Records(all);  // all BMP: one unit per character
    const qsizetype upToB = Records(all.mid(0, 7)).size();
    const struct {
        const char* why;
        QString typed;     // the user's text in the pane before the search
        qsizetype room;    // characters the search may add
        QString expected;  // what it adds
        int failures;      // message boxes
    } rows[] = {
        // Refused whole, line break included; so is the abort record before the next file.
        {"a record one character too long", {}, upToB - 1, Records(all.mid(0, 6)), 2},
        {"exactly full is not a failure", {}, whole.size(), whole, 0},
        {"a long line is cut at the capacity", {}, whole.size() - 50000, whole.left(whole.size() - 50000), 1},
        {"the count starts from the text already in the pane", "typed\ntext", Records({kHeader}).size() - 1, {}, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        Box()->setPlainText(row.typed);
        const QString expected = Results()->Text() + row.expected;
        Results()->SetCapacity(Results()->CharacterCount() + row.room);
        m_prompts->messages.clear();
        QStringList shown;
        m_prompts->onMessage = [&] { shown << Results()->Text(); };
        RunSearchCommand();
        EXPECT_EQ(Results()->Text(), expected);
        EXPECT_EQ(Results()->CharacterCount(), expected.size());
        EXPECT_EQ(int(m_prompts->messages.size()), row.failures);
        for (const FakePrompts::Box& m : m_prompts->messages)
            EXPECT_EQ(std::make_pair(m.text, m.icon),
                      std::make_pair(QStringLiteral("結果表示領域がいっぱいです。"), QMessageBox::Critical));
        EXPECT_EQ(shown.value(0, expected), expected) << "records before the failure are shown first";
    }
}

// The search command appends what textrove-search writes, and saving or
// copying it gives those bytes back: characters the text widget would take
// for line breaks show as U+FFFD in both, all others stay as they are.
TEST_F(SearchDialogTest, SearchCommandAppendsTheCompanionOutputResetsTheViewAndSavesItBack)
{
    const QByteArray kFffd = "\xEF\xBF\xBD";
    const struct {
        const char* name;
        QByteArray after;  // what follows "needle" on the hit line
        QByteArray shown;  // how the companion shows it
    } rows[] = {
        {"ls.txt", "\xE2\x80\xA8ls", kFffd + "ls"},                   // U+2028: a break inside the widget's line
        {"kept.txt", QByteArray("\xC2\x85\x0B\x0C\xC2\xA0\x00k", 9),  // NEL, VT, FF, no-break space, NUL
         QByteArray("\xC2\x85\x0B\x0C\xC2\xA0\x00k", 9)},
        {"cr\nlf.txt", " in a file named with LF", " in a file named with LF"},
    };
    for (const auto& row : rows) WriteFile(Root(), QString::fromUtf8(row.name), "line\nneedle" + row.after + "\nend\n");
    AddWords({"needle"});
    SetTarget(Root());
    Box()->setPlainText(QStringLiteral("earlier\n").repeated(100) + "lines");
    const QByteArray earlier = QByteArray("earlier\r\n").repeated(100) + "lines";
    Box()->moveCursor(QTextCursor::End, QTextCursor::KeepAnchor);
    Results()->SerchAns_KeyUp();
    QApplication::processEvents();
    ASSERT_TRUE(Item("Menu_Edit_Copy")->isEnabled() && Box()->verticalScrollBar()->value() > 0);

    // The window's searches run first: ThreadSanitizer does not let a
    // process start threads once it has forked while it had some.
    RunSearchCommand();
    EXPECT_EQ(m_frame->findChild<Form_SerchDialog*>(), nullptr) << "the dialog is gone once the command returns";
    for (const char* name : {"Menu_File_Save", "Menu_File_Clear", "Menu_Edit_SelectAll"})
        EXPECT_TRUE(Item(name)->isEnabled()) << name;
    EXPECT_TRUE(Item("Menu_Edit_Copy")->isEnabled()) << "kept: a search does not re-evaluate it";
    EXPECT_EQ(
        QList<int>({Box()->textCursor().anchor(), Box()->textCursor().position(), Box()->verticalScrollBar()->value()}),
        QList<int>({0, 0, 0}));
    const QString searched = Results()->Text();
    SetTarget(Root() + "/missing");
    RunSearchCommand();
    const QString header = Records({"検索文字は、  NEEDLE"});
    EXPECT_EQ(Results()->Text(), searched + header) << "no hits: the header alone";
    EXPECT_TRUE(m_prompts->messages.empty());

    QProcess companion;
    companion.start(QStringLiteral(TEXTROVE_SEARCH_EXE), {Root(), QStringLiteral("needle")});
    ASSERT_TRUE(companion.waitForFinished(30000));
    ASSERT_EQ(companion.exitCode(), 0);
    const QByteArray expected = earlier + companion.readAllStandardOutput();
    for (const auto& row : rows)
        EXPECT_TRUE((expected + "\r\n").contains("NEEDLE :needle" + row.shown + "\r\n")) << row.name;
    EXPECT_TRUE(expected.contains("/cr" + kFffd + "lf.txt -----")) << "a file name's LF too";
    EXPECT_EQ(searched, QString::fromUtf8(expected));

    m_frame->Menu_Edit_SelectAll_Click();
    m_prompts->saveNames = {m_tree.filePath("saved.txt")};
    m_frame->Menu_File_Save_Click();
    EXPECT_EQ(ReadFile(m_tree.filePath("saved.txt")), expected + header.toUtf8() + "\r\n");
    m_frame->Menu_Edit_Copy_Click();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toUtf8(), expected + header.toUtf8()) << "the Copy command";
}

// A desktop that cannot open anything.
struct FailingOpener : FileOpener {
    bool Open(const QUrl&) override { return false; }
};

// Which file a line belongs to comes from the banner's bytes, not its text
// (opening them with the desktop is an end-to-end flow).
TEST_F(SearchDialogTest, OpenCommandsActOnTheFileBlockUnderTheMouse)
{
    // Not UTF-8: shown with U+FFFD, so the text alone cannot tell which file it is.
    const QByteArray odd = QFile::encodeName(Root()) + "/z b 日本\xff.txt";
    const QString oddShown = Root() + QStringLiteral("/z b 日本\uFFFD.txt");
    struct Unlink {  // QTemporaryDir cannot remove a name that is not UTF-8
        QByteArray path;
        ~Unlink() { ::unlink(path.constData()); }
    } cleanup{odd};
    std::ofstream(odd.toStdString(), std::ios::binary) << "abc one\nabc two\n";
    WriteFile(Root(), "plain.txt", "abc\n");
    AddWords({"abc"});
    SetTarget(Root());
    RunSearchCommand();
    RunSearchCommand();  // its header comes right below the last hit line
    Append({QStringLiteral("***** 中断しました。 *****")});
    // The file of each line: p plain.txt, o the odd file, - none.
    const QByteArray plain = QFile::encodeName(Root()) + "/plain.txt";
    auto owners = [&] {
        QString all;
        for (QTextBlock block = Box()->document()->begin(); block.isValid(); block = block.next()) {
            const std::optional<QByteArray> path = ResultFileBlocks::PathAt(block);
            all += !path ? '-' : *path == odd ? 'o' : *path == plain ? 'p' : '?';
        }
        return all;
    };
    EXPECT_EQ(owners(), "---pp-ooo--pp-ooo-") << "the header, empty lines and the abort record belong to no file";
    EXPECT_EQ(Box()->document()->findBlockByNumber(6).text(), Banner(oddShown));

    // The menu at a hit line of the odd file and at the header below it.
    ResultContextMenu& menus = *Results()->ContextMenu();
    for (const int line : {8, 9}) {
        const QPoint at = Box()->cursorRect(QTextCursor(Box()->document()->findBlockByNumber(line))).center();
        const std::unique_ptr<QMenu> menu(menus.CreateMenu(at));
        for (const char* name : {"SerchAns_OpenFile", "SerchAns_OpenFolder"}) {
            auto* entry = menu->findChild<QAction*>(QString::fromLatin1(name));
            ASSERT_NE(entry, nullptr) << name;
            EXPECT_EQ(entry->isEnabled(), line == 8) << name << " at line " << line;
        }
    }
    menus.SetOpener(std::make_unique<FailingOpener>());
    menus.SerchAns_OpenFile(odd);
    ASSERT_EQ(m_prompts->messages.size(), 1u);
    EXPECT_EQ(m_prompts->messages[0].text, QStringLiteral("開けませんでした: ") + oddShown);

    // An edited banner no longer says which file it is, and nothing guesses;
    // an edited hit line keeps its file.
    QTextCursor(Box()->document()->findBlockByNumber(6)).insertText(QStringLiteral("x"));
    QTextCursor(Box()->document()->findBlockByNumber(12)).insertText(QStringLiteral("typed "));
    EXPECT_EQ(owners(), "---pp------pp-ooo-");
}

}  // namespace
