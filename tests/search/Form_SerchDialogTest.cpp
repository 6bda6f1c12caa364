// The search dialog driven as the user drives it: through the search command
// or on its own, on temp trees, offscreen.
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QTextDocument>
#include <QWindow>

#include <QMenu>
#include <QTextBlock>

#include <unistd.h>

#include <fstream>
#include <optional>

#include "results/FileOpener.h"
#include "results/ResultContextMenu.h"
#include "results/ResultFileBlocks.h"
#include "search/Form_SerchDialog.h"
#include "support/GuiFixture.h"

namespace guitest {
namespace {

const QString kAbortRecord = QStringLiteral("***** 中断しました。 *****");

class SearchDialogTest : public FrameFixture {
protected:
    // Files at five depths, so the walk order is fixed: one plain hit, one
    // word split over a line break, a Shift-JIS file ("全文検索"), a UTF-16LE
    // and an EUC-JP file ("検索です"), shown decoded.
    QStringList MakeSmallTree()
    {
        WriteFile(Root(), "a.txt", "first line\nhas abc here\nnothing\n");
        WriteFile(Root(), "sub/b.txt", "xx ab\nc yy\n");
        WriteFile(Root(), "sub/deeper/c.txt", "\x91\x53\x95\xb6\x8c\x9f\x8d\xf5\r\n");
        WriteFile(Root(), "sub/deeper/d/d.txt", QByteArray("\xFF\xFE\x1C\x69\x22\x7D\x67\x30\x59\x30\r\0\n\0", 14));
        WriteFile(Root(), "sub/deeper/d/e/e.txt", "\xB8\xA1\xBA\xF7\xA4\xC7\xA4\xB9\n");
        AddWords({"abc", "検索"});
        SetTarget(Root());
        return {QStringLiteral("検索文字は、  ABC  検索"),
                QString(),
                Banner(Root() + "/a.txt"),
                QStringLiteral("ABC :has abc here"),
                QString(),
                Banner(Root() + "/sub/b.txt"),
                QStringLiteral("ABC :c yy"),
                QString(),
                Banner(Root() + "/sub/deeper/c.txt"),
                QStringLiteral("検索 :全文検索"),
                QString(),
                Banner(Root() + "/sub/deeper/d/d.txt"),
                QStringLiteral("検索 :検索です"),
                QString(),
                Banner(Root() + "/sub/deeper/d/e/e.txt"),
                QStringLiteral("検索 :検索です")};
    }
    Form_SerchDialog* OpenDialog() const { return m_frame->findChild<Form_SerchDialog*>(); }
};

TEST_F(SearchDialogTest, SearchCommandFillsPaneAppendsAndRestoresFrame)
{
    const QString once = Records(MakeSmallTree());
    // Posted before the command, so it runs inside the dialog's modal loop.
    bool sawDialog = false;
    QTimer::singleShot(0, m_frame.get(), [&] {
        Form_SerchDialog* dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        sawDialog = true;
        EXPECT_TRUE(dialog->isVisible() && dialog->isModal());
        EXPECT_FALSE(dialog->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint));
        EXPECT_EQ(m_frame->cursor().shape(), Qt::BusyCursor);
    });
    RunSearchCommand();
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(OpenDialog(), nullptr) << "the dialog is gone once the command returns";
    EXPECT_EQ(Pane().Text(), once);
    for (const char* name : {"Menu_File_Save", "Menu_File_Clear", "Menu_Edit_SelectAll"})
        EXPECT_TRUE(Item(name)->isEnabled()) << name;
    EXPECT_EQ(m_frame->cursor().shape(), Qt::ArrowCursor);

    RunSearchCommand();
    EXPECT_EQ(Pane().Text(), once + once) << "a second search appends";
    SetTarget(Root() + "/missing");
    RunSearchCommand();
    EXPECT_EQ(Pane().Text(), once + once + Records({QStringLiteral("検索文字は、  ABC  検索")}))
        << "no hits: the header alone";
    EXPECT_TRUE(m_prompts->messages.empty());
}

// Enter, a close request and Escape during a long search; then the same dialog runs again.
TEST_F(SearchDialogTest, EscapeCancelsWithoutClosingAndNextRunStartsCleared)
{
    constexpr int kFiles = 2000;
    WriteFile(Root(), "first.txt", "abc first\n");
    QByteArray body;
    for (int line = 0; line < 40; ++line)
        body += "filler line without the word, number " + QByteArray::number(line) + "\n";
    body += "ABC at the end\n";
    for (int i = 0; i < kFiles; ++i) WriteFile(Root(), QStringLiteral("many/f%1.txt").arg(i), body);

    Form_SerchDialog dialog(m_frame.get(), RequestFor(Root() + "/", {"abc"}), Pane(), *m_prompts);
    auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("Cancel"));
    auto* progress = dialog.findChild<QPlainTextEdit*>(QStringLiteral("SerchingFile"));
    ASSERT_TRUE(cancel && progress);
    EXPECT_FALSE(cancel->isEnabled()) << "disabled until the search starts";
    bool pressed = false;
    // Cancel once first.txt's block is in the pane, while the many files still wait.
    QObject::connect(Pane().SerchAns()->document(), &QTextDocument::contentsChanged, &dialog, [&] {
        if (pressed || !Pane().Text().contains(QStringLiteral("ABC :abc first"))) return;
        pressed = true;
        // Sent to the button, as if it had the focus; what it ignores goes on to the dialog.
        QTest::keyClick(cancel, Qt::Key_Return);
        EXPECT_EQ(dialog.CancelFlagRef().load(), 0) << "Enter does not press Cancel";
        dialog.windowHandle()->close();  // as a window manager's close command (Alt+F4)
        EXPECT_EQ(dialog.CancelFlagRef().load(), 0) << "a close request neither cancels";
        EXPECT_TRUE(dialog.isVisible()) << "nor closes";
        QTest::keyClick(cancel, Qt::Key_Escape);
        EXPECT_EQ(dialog.CancelFlagRef().load(), 255);
        EXPECT_TRUE(dialog.isVisible()) << "Escape must not close the dialog";
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    ASSERT_TRUE(pressed);

    const QString text = Pane().Text();
    EXPECT_TRUE(text.startsWith(Records({QStringLiteral("検索文字は、  ABC"), QString(), Banner(Root() + "/first.txt"),
                                         QStringLiteral("ABC :abc first")})));
    // The flag is seen before the next file, unless the worker had already
    // walked every file by the time the key arrived (it is that fast).
    if (text.count(QStringLiteral("----- ファイル名 : ")) < kFiles + 1) {
        EXPECT_TRUE(text.endsWith(QStringLiteral("\r\nABC :ABC at the end\r\n") + kAbortRecord)
                    || text.endsWith(QStringLiteral("ABC :abc first\r\n") + kAbortRecord))
            << "the abort record follows a complete file block";
        EXPECT_EQ(text.count(kAbortRecord), 1);
    } else {
        EXPECT_EQ(text.count(kAbortRecord), 0) << "no abort record after a completed walk";
    }

    // The same dialog shown again runs a full search from a cleared flag;
    // the target was taken as typed (no second slash in the banners).
    QObject::disconnect(Pane().SerchAns()->document(), nullptr, &dialog, nullptr);
    Pane().Clear();
    ASSERT_TRUE(QDir(Root() + "/many").removeRecursively());
    WriteFile(Root(), "again/one.txt", "abc\n");
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(progress->toPlainText(), Root() + "/again/one.txt") << "the last file scanned is shown";
    EXPECT_EQ(Pane().Text(),
              Records({QStringLiteral("検索文字は、  ABC"), QString(), Banner(Root() + "/first.txt"),
                       QStringLiteral("ABC :abc first"), QString(), Banner(Root() + "/again/one.txt"),
                       QStringLiteral("ABC :abc")}));
}

// A full pane: the record that does not fit is refused on the worker, its
// message box goes through the frame's Prompts, and the search ends.
TEST_F(SearchDialogTest, FullPaneReportsAndEndsSearch)
{
    WriteFile(Root(), "a.txt", "abc one\nline\n");
    WriteFile(Root(), "sub/b.txt", "two abc\n");
    AddWords({"abc"});
    SetTarget(Root());
    const QString header = QStringLiteral("検索文字は、  ABC");
    const QStringList all = {header,
                             QString(),
                             Banner(Root() + "/a.txt"),
                             QStringLiteral("ABC :abc one"),
                             QString(),
                             Banner(Root() + "/sub/b.txt"),
                             QStringLiteral("ABC :two abc")};
    const qsizetype fullSize = Records(all).size();  // all BMP: one unit per character

    const struct {
        const char* why;
        QString typed;   // the user's text in the pane before the search
        qsizetype room;  // characters the search may add
        int lastRecord;  // records [0, lastRecord) of `all` get in
        int failures;    // -1: at least one
    } rows[] = {
        {"the very last record is one character too long", {}, fullSize - 1, 6, 1},
        {"exactly full is not a failure", {}, fullSize, 7, 0},
        {"the count starts from the text already in the pane", "typed\ntext", Records({header}).size() - 1, 0, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        Pane().SerchAns()->setPlainText(row.typed);
        const QString before = Pane().Text();
        Pane().SetCapacity(Pane().CharacterCount() + row.room);
        m_prompts->messages.clear();
        QStringList shown;
        m_prompts->onMessage = [&] { shown << Pane().Text(); };

        RunSearchCommand();

        const QString expected = before + Records(all.mid(0, row.lastRecord));
        EXPECT_EQ(Pane().Text(), expected);
        if (row.failures >= 0)
            EXPECT_EQ(int(m_prompts->messages.size()), row.failures);
        else
            EXPECT_GE(m_prompts->messages.size(), 1u);
        for (const RecordingPrompts::Box& message : m_prompts->messages) {
            EXPECT_EQ(message.text, QStringLiteral("結果表示領域がいっぱいです。"));
            EXPECT_EQ(message.icon, QMessageBox::Critical);
        }
        if (!shown.isEmpty()) EXPECT_EQ(shown.first(), expected) << "records before the failure are shown first";
    }
}

// A hit on a line longer than the engine holds reaches the pane in parts,
// as one line; at the capacity it is cut there, with the full pane's message.
TEST_F(SearchDialogTest, LongHitLineFillsThePaneUpToItsCapacity)
{
    // Past two blocks, so its end is not in the block where it passes the
    // hold limit (a line that ends there is held whole). Three parts.
    const QByteArray line = QByteArray((2 << 20) + 100000, 'x') + "abc";
    WriteFile(Root(), "long.txt", "before\n" + line + "\nafter\n");
    AddWords({"abc"});
    SetTarget(Root());
    const QString all = Records({QStringLiteral("検索文字は、  ABC"), QString(), Banner(Root() + "/long.txt"),
                                 "ABC :" + QString::fromLatin1(line)});
    for (const qsizetype room : {all.size(), all.size() - 50000}) {
        Pane().Clear();
        Pane().SetCapacity(room);
        m_prompts->messages.clear();

        RunSearchCommand();

        EXPECT_EQ(Pane().Text(), all.left(room));
        EXPECT_EQ(Pane().CharacterCount(), room);
        ASSERT_EQ(m_prompts->messages.size(), room < all.size() ? 1u : 0u);
        if (room < all.size()) {
            EXPECT_EQ(m_prompts->messages[0].text, QStringLiteral("結果表示領域がいっぱいです。"));
        }
    }
}

// What the pane shows is what textrove-search writes, and saving or copying
// it gives those bytes back: characters the text widget would take for line
// breaks show as U+FFFD in both, all others stay as they are.
TEST_F(SearchDialogTest, SavedAndCopiedResultIsTheCompanionOutput)
{
    const QByteArray kFffd = "\xEF\xBF\xBD";
    const struct {
        const char* name;
        QByteArray after;  // what follows "needle" on the hit line
        QByteArray shown;  // how the companion shows it
    } rows[] = {
        {"ls.txt", "\xE2\x80\xA8ls", kFffd + "ls"},  // U+2028: a break inside the widget's line
        {"ps.txt", "\xE2\x80\xA9ps", kFffd + "ps"},  // U+2029: a new block
        {"fdd0.txt",
         "\xEF\xB7\x90"
         "f",
         kFffd + "f"},                                                // U+FDD0: the widget's frame mark, a new block
        {"kept.txt", QByteArray("\xC2\x85\x0B\x0C\xC2\xA0\x00k", 9),  // NEL, VT, FF, no-break space, NUL
         QByteArray("\xC2\x85\x0B\x0C\xC2\xA0\x00k", 9)},
        {"cr\nlf.txt", " in a file named with LF", " in a file named with LF"},
    };
    for (const auto& row : rows) WriteFile(Root(), QString::fromUtf8(row.name), "line\nneedle" + row.after + "\nend\n");
    AddWords({"needle"});
    SetTarget(Root());

    // The window's search runs first: ThreadSanitizer does not let a
    // process start threads once it has forked while it had some.
    RunSearchCommand();
    QProcess companion;
    companion.start(QStringLiteral(TEXTROVE_SEARCH_EXE), {Root(), QStringLiteral("needle")});
    ASSERT_TRUE(companion.waitForFinished(30000));
    ASSERT_EQ(companion.exitCode(), 0);
    const QByteArray expected = companion.readAllStandardOutput();
    for (const auto& row : rows)
        EXPECT_TRUE((expected + "\r\n").contains("NEEDLE :needle" + row.shown + "\r\n")) << row.name;
    EXPECT_TRUE(expected.contains("/cr" + kFffd + "lf.txt -----")) << "a file name's LF too";

    m_frame->Menu_Edit_SelectAll_Click();
    const QString saved = m_tree.filePath("saved.txt");
    m_prompts->saveNames = {saved};
    m_frame->Menu_File_Save_Click();
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), expected + "\r\n");

    QClipboard* clipboard = QGuiApplication::clipboard();
    m_frame->Menu_Edit_Copy_Click();
    EXPECT_EQ(clipboard->text().toUtf8(), expected) << "the Copy command";
    clipboard->clear();
    Pane().SerchAns()->copy();
    EXPECT_EQ(clipboard->text().toUtf8(), expected) << "the box's own copy (Ctrl+C)";
    EXPECT_TRUE(m_prompts->messages.empty());
}

// Destroying the dialog mid-search joins the worker; nothing arrives later.
TEST_F(SearchDialogTest, DestroyingDialogStopsWorker)
{
    for (int i = 0; i < 300; ++i) WriteFile(Root(), QStringLiteral("d%1/f%2.txt").arg(i % 40).arg(i), "abc\nabc\n");

    auto* dialog = new Form_SerchDialog(m_frame.get(), RequestFor(Root(), {"abc"}), Pane(), *m_prompts);
    QPointer<Form_SerchDialog> guard(dialog);
    dialog->show();
    EXPECT_TRUE(dialog->SearchRunning());
    delete dialog;
    EXPECT_TRUE(guard.isNull());
    const QString atDestruction = Pane().Text();
    QTest::qWait(200);
    EXPECT_EQ(Pane().Text(), atDestruction) << "no record arrives after the dialog is gone";
}

// Records what it is asked to open instead of asking the desktop.
class RecordingOpener : public FileOpener {
public:
    RecordingOpener(QList<QUrl>& urls, bool succeeds) : m_urls(urls), m_succeeds(succeeds) { }
    bool Open(const QUrl& url) override
    {
        m_urls << url;
        return m_succeeds;
    }

private:
    QList<QUrl>& m_urls;
    bool m_succeeds;
};

// The bytes of the path the desktop's opener gets from a URL.
QByteArray OpenedPath(const QUrl& url)
{
    const QByteArray encoded = url.toEncoded();
    EXPECT_TRUE(url.isLocalFile() && encoded.startsWith("file:///")) << encoded.toStdString();
    return QByteArray::fromPercentEncoding(encoded.mid(7));
}

TEST_F(SearchDialogTest, OpenCommandsActOnTheFileBlockUnderTheMouse)
{
    // A name with a space, Japanese and a byte that is not UTF-8: shown with
    // U+FFFD, so the text alone cannot tell which file it is.
    const QByteArray odd = QFile::encodeName(Root()) + "/sub dir/a b 日本\xff.txt";
    ASSERT_TRUE(QDir(Root()).mkpath(QStringLiteral("sub dir")));
    struct Unlink {  // QTemporaryDir cannot remove a name that is not UTF-8
        QByteArray path;
        ~Unlink() { ::unlink(path.constData()); }
    } cleanup{odd};
    std::ofstream(odd.toStdString(), std::ios::binary) << "abc one\nx ab\nc two\n";
    WriteFile(Root(), "plain.txt", "abc\n");
    AddWords({"abc"});
    SetTarget(Root());
    RunSearchCommand();
    RunSearchCommand();  // its header comes right below the last hit line
    ASSERT_TRUE(Pane().AppendRecords({kAbortRecord}, nullptr));
    const QByteArray plain = QFile::encodeName(Root()) + "/plain.txt";
    const QString header = QStringLiteral("検索文字は、  ABC");
    const QStringList once = {QString(),
                              Banner(Root() + "/plain.txt"),
                              QStringLiteral("ABC :abc"),
                              QString(),
                              Banner(Root() + QStringLiteral("/sub dir/a b 日本\uFFFD.txt")),
                              QStringLiteral("ABC :abc one"),
                              QStringLiteral("ABC :c two")};
    ASSERT_EQ(Pane().Text(),
              Records(QStringList{header} + once + QStringList{header} + once + QStringList{kAbortRecord}));

    // Line by line: the header, empty lines and the abort record belong to no file.
    const QList<std::optional<QByteArray>> owner = {std::nullopt, std::nullopt, std::nullopt, plain, plain,
                                                    std::nullopt, odd,          odd,          odd};
    QList<std::optional<QByteArray>> expected = owner + owner.mid(1);
    expected << std::nullopt;
    QTextBlock block = Pane().SerchAns()->document()->begin();
    for (int i = 0; i < expected.size(); ++i, block = block.next())
        EXPECT_EQ(ResultFileBlocks::PathAt(block), expected[i]) << "line " << i;

    // Through the menu, at a hit line of the odd file and at the header.
    QList<QUrl> opened;
    ResultContextMenu& menus = *Pane().ContextMenu();
    menus.SetOpener(std::make_unique<RecordingOpener>(opened, true));
    auto pointOf = [&](int line) {
        return Pane()
            .SerchAns()
            ->cursorRect(QTextCursor(Pane().SerchAns()->document()->findBlockByNumber(line)))
            .center();
    };
    auto action = [](QMenu& menu, const char* name) { return menu.findChild<QAction*>(QString::fromLatin1(name)); };
    {
        const std::unique_ptr<QMenu> menu(menus.CreateMenu(pointOf(7)));
        ASSERT_TRUE(action(*menu, "edit-copy") && action(*menu, "select-all")) << "Qt's own entries stay";
        QAction* openFile = action(*menu, "SerchAns_OpenFile");
        QAction* openFolder = action(*menu, "SerchAns_OpenFolder");
        ASSERT_TRUE(openFile && openFolder);
        EXPECT_EQ(QStringList({openFile->text(), openFolder->text()}),
                  QStringList({QStringLiteral("ファイルを開く(&O)"), QStringLiteral("フォルダを開く(&F)")}));
        ASSERT_TRUE(openFile->isEnabled() && openFolder->isEnabled());
        openFile->trigger();
        openFolder->trigger();
    }
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(OpenedPath(opened[0]), odd);
    EXPECT_EQ(OpenedPath(opened[1]), QFile::encodeName(Root()) + "/sub dir");
    {
        const std::unique_ptr<QMenu> menu(menus.CreateMenu(pointOf(1)));
        EXPECT_FALSE(action(*menu, "SerchAns_OpenFile")->isEnabled()
                     || action(*menu, "SerchAns_OpenFolder")->isEnabled())
            << "the header line";
    }

    // A desktop that cannot open it: said in a message box, as plain text.
    menus.SetOpener(std::make_unique<RecordingOpener>(opened, false));
    menus.SerchAns_OpenFile(odd);
    ASSERT_EQ(m_prompts->messages.size(), 1u);
    EXPECT_EQ(m_prompts->messages[0].text,
              QStringLiteral("開けませんでした: ") + Root() + QStringLiteral("/sub dir/a b 日本\uFFFD.txt"));
    EXPECT_EQ(m_prompts->messages[0].icon, QMessageBox::Critical);

    // The user edits the first odd banner: its block no longer says which
    // file it is, and nothing guesses; a hit line edited keeps its file.
    QTextCursor edit(Pane().SerchAns()->document()->findBlockByNumber(6));
    edit.movePosition(QTextCursor::EndOfBlock);
    edit.insertText(QStringLiteral("x"));
    QTextCursor(Pane().SerchAns()->document()->findBlockByNumber(12)).insertText(QStringLiteral("typed "));
    block = Pane().SerchAns()->document()->findBlockByNumber(6);
    EXPECT_EQ(QList<std::optional<QByteArray>>(
                  {ResultFileBlocks::PathAt(block), ResultFileBlocks::PathAt(block.next()),
                   ResultFileBlocks::PathAt(Pane().SerchAns()->document()->findBlockByNumber(12))}),
              QList<std::optional<QByteArray>>({std::nullopt, std::nullopt, plain}));
}

}  // namespace
}  // namespace guitest
