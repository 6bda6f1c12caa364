// The search dialog driven as the user drives it: through the search command
// or on its own, on temp trees, offscreen.
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextDocument>
#include <QWindow>

#include "GuiTestSupport.h"
#include "search/Form_SerchDialog.h"

namespace guitest {
namespace {

const QString kAbortRecord = QStringLiteral("***** 中断しました。 *****");

class SearchDialogTest : public FrameFixture {
protected:
    // Three files at three depths, so the walk order is fixed: one plain hit,
    // one word split over a line break, one Shift-JIS file ("全文検索").
    QStringList MakeSmallTree()
    {
        WriteFile(Root(), "a.txt", "first line\nhas abc here\nnothing\n");
        WriteFile(Root(), "sub/b.txt", "xx ab\nc yy\n");
        WriteFile(Root(), "sub/deeper/c.txt", "\x91\x53\x95\xb6\x8c\x9f\x8d\xf5\r\n");
        AddWords({"abc", "検索"});
        SetTarget(Root());
        return {QStringLiteral("検索文字は、  ABC  検索"),
                QString(), Banner(Root() + "/a.txt"), QStringLiteral("ABC :has abc here"),
                QString(), Banner(Root() + "/sub/b.txt"), QStringLiteral("ABC :c yy"),
                QString(), Banner(Root() + "/sub/deeper/c.txt"), QStringLiteral("検索 :全文検索")};
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
    for (int i = 0; i < kFiles; ++i)
        WriteFile(Root(), QStringLiteral("many/f%1.txt").arg(i), body);
    AddWords({"abc"});
    SetTarget(Root());

    Form_SerchDialog dialog(*m_frame);
    auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("Cancel"));
    auto* progress = dialog.findChild<QPlainTextEdit*>(QStringLiteral("SerchingFile"));
    ASSERT_TRUE(cancel && progress);
    EXPECT_FALSE(cancel->isEnabled()) << "disabled until the search starts";
    bool pressed = false;
    // Cancel once first.txt's block is in the pane, while the many files still wait.
    QObject::connect(Pane().SerchAns()->document(), &QTextDocument::contentsChanged, &dialog, [&] {
        if (pressed || !Pane().Text().contains(QStringLiteral("ABC :abc first")))
            return;
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
    EXPECT_TRUE(text.startsWith(Records({QStringLiteral("検索文字は、  ABC"), QString(),
                                         Banner(Root() + "/first.txt"), QStringLiteral("ABC :abc first")})));
    // The flag is seen before the next file, unless the worker had already
    // walked every file by the time the key arrived (it is that fast).
    if (text.count(QStringLiteral("----- ファイル名 : ")) < kFiles + 1) {
        EXPECT_TRUE(text.endsWith(QStringLiteral("\r\nABC :ABC at the end\r\n") + kAbortRecord) ||
                    text.endsWith(QStringLiteral("ABC :abc first\r\n") + kAbortRecord))
            << "the abort record follows a complete file block";
        EXPECT_EQ(text.count(kAbortRecord), 1);
    } else {
        EXPECT_EQ(text.count(kAbortRecord), 0) << "no abort record after a completed walk";
    }

    // The same dialog shown again runs a full search from a cleared flag.
    QObject::disconnect(Pane().SerchAns()->document(), nullptr, &dialog, nullptr);
    Pane().SerchAns()->clear();
    WriteFile(Root(), "again/one.txt", "abc\n");
    SetTarget(Root() + "/again/");  // used as typed: no second slash
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(progress->toPlainText(), Root() + "/again/one.txt") << "the last file scanned is shown";
    EXPECT_EQ(Pane().Text(), Records({QStringLiteral("検索文字は、  ABC"), QString(),
                                      Banner(Root() + "/again/one.txt"), QStringLiteral("ABC :abc")}));
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
    const QStringList all = {header, QString(), Banner(Root() + "/a.txt"), QStringLiteral("ABC :abc one"),
                             QString(), Banner(Root() + "/sub/b.txt"), QStringLiteral("ABC :two abc")};
    const qsizetype fullSize = Records(all).size();  // all BMP: one unit per character

    const struct {
        const char* why;
        QString typed;              // the user's text in the pane before the search
        qsizetype room;             // characters the search may add
        int lastRecord;             // records [0, lastRecord) of `all` get in
        int failures;               // -1: at least one
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
        for (const RecordedMessage& message : m_prompts->messages) {
            EXPECT_EQ(message.text, QStringLiteral("結果表示領域がいっぱいです。"));
            EXPECT_EQ(message.icon, QMessageBox::Critical);
        }
        if (!shown.isEmpty())
            EXPECT_EQ(shown.first(), expected) << "records before the failure are shown first";
    }
}

// Destroying the dialog mid-search joins the worker; nothing arrives later.
TEST_F(SearchDialogTest, DestroyingDialogStopsWorker)
{
    for (int i = 0; i < 300; ++i)
        WriteFile(Root(), QStringLiteral("d%1/f%2.txt").arg(i % 40).arg(i), "abc\nabc\n");
    AddWords({"abc"});
    SetTarget(Root());

    auto* dialog = new Form_SerchDialog(*m_frame);
    QPointer<Form_SerchDialog> guard(dialog);
    dialog->show();
    EXPECT_TRUE(dialog->SearchRunning());
    delete dialog;
    EXPECT_TRUE(guard.isNull());
    const QString atDestruction = Pane().Text();
    QTest::qWait(200);
    EXPECT_EQ(Pane().Text(), atDestruction) << "no record arrives after the dialog is gone";
}

}  // namespace
}  // namespace guitest
