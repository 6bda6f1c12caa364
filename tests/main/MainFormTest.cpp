// The main window: menu table, start-up geometry, search, file/edit commands.
#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSaveFile>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <tuple>

#include "conditions/Form_SerchDir.h"
#include "main/NumberText.h"
#include "main/StartArguments.h"
#include "support/FrameFixture.h"
#include "ui/TwipsWidget.h"

namespace {

namespace names = textrove::settings;
using textrove::FloatText;
using textrove::testing::ScriptedPrompts;

// Twips of a whole number of pixels, and the outer size a pane area comes out as, on this screen.
float Px(int pixels)
{
    return textrove::PixelsToTwips(pixels, textrove::LogicalDpi());
}
float OuterFor(float area, float extra)
{
    return Px(textrove::TwipsToPixels(area, textrove::LogicalDpi())) + extra;
}

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}
void Write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The text of the next modal message box and whether it is shown as
// written; the box is then answered No. Looks for it for five seconds.
struct ShownBox {
    QString text;
    bool literal = false;
    bool seen = false;
};
void WatchNextBox(ShownBox* shown, int tries = 500)
{
    QTimer::singleShot(10, [shown, tries] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            if (tries > 0) WatchNextBox(shown, tries - 1);
            return;
        }
        if (const auto* label = box->findChild<QLabel*>("qt_msgbox_label")) {
            shown->seen = true;
            shown->text = label->text();
            shown->literal = label->textFormat() == Qt::PlainText
                || (label->textFormat() == Qt::AutoText && !Qt::mightBeRichText(label->text()));
        }
        box->done(QMessageBox::No);
    });
}

const char* const kKeys[] = {names::kKeyTop, names::kKeyLeft, names::kKeyWidth, names::kKeyHeight,
                             names::kKeyMinMaxFlag};

class MainFormTest : public textrove::testing::FrameTest {
protected:
    // Top, Left, Width, Height, MinMaxFlag joined by commas.
    static void StoreAll(const std::string& values)
    {
        QStringList parts = QString::fromStdString(values).split(',');
        for (int i = 0; i < 5; ++i)
            ASSERT_TRUE(names::WriteProfile(names::kSectionWindowSize, kKeys[i], parts.value(i).toStdString()));
    }
    static std::string StoredAll()
    {
        std::string all;
        for (const char* key : kKeys) all += names::ReadProfile(names::kSectionWindowSize, key, "<missing>") + ",";
        all.pop_back();
        return all;
    }
};

TEST_F(MainFormTest, MenuBarMatchesTheTable)
{
    frame = std::make_unique<MainForm>();
    EXPECT_EQ(frame->windowTitle(), "Textrove");
    // name (a submenu's items indented), caption ("-" separator), enabled.
    const char* const table[][3] = {{"Menu_File", "ﾌｧｲﾙ(&F)", "1"},
                                    {" Menu_File_Clear", "結果クリア(&C)", "0"},
                                    {" Menu_File_Save", "名前を付けて保存(&A)", "0"},
                                    {" Menu_File_01", "-", "1"},
                                    {" Menu_File_End", "終了(&X)", "1"},
                                    {"Menu_Start", "検索実行(&S)", "0"},
                                    {"Menu_Edit", "編集(&E)", "1"},
                                    {" Menu_Edit_Copy", "コピー(&C)", "0"},
                                    {" Menu_Edit_SelectAll", "すべて選択(&A)", "0"},
                                    {"Menu_Help", "ﾍﾙﾌﾟ(&H)", "1"},
                                    {" Menu_Help_Topic", "ﾄﾋﾟｯｸの検索(&H)", "1"},
                                    {" Menu_Help_01", "-", "1"},
                                    {" Menu_Help_Version", "ﾊﾞｰｼﾞｮﾝ情報(&A)", "1"}};
    QList<QAction*> seen;
    for (QAction* top : frame->menuBar()->actions())
        seen << top << (top->menu() ? top->menu()->actions() : QList<QAction*>());
    ASSERT_EQ(seen.size(), int(std::size(table)));
    for (int i = 0; i < seen.size(); ++i) {
        const QString name = QString::fromUtf8(table[i][0]).trimmed(), caption = QString::fromUtf8(table[i][1]);
        SCOPED_TRACE(name.toStdString());
        QAction* a = seen[i];
        EXPECT_EQ(frame->MenuItem(name), a);
        EXPECT_EQ(a->parent() == frame->menuBar() || a->menu(), table[i][0][0] != ' ');
        EXPECT_EQ(a->isSeparator() ? "-" : a->text(), caption);
        EXPECT_EQ(a->isEnabled(), table[i][2][0] == '1');
    }
}

TEST_F(MainFormTest, FirstStartStoresTheDesignSizeSecondRestoresTheBounds)
{
    Start();
    const float w = OuterFor(textrove::kMinAreaWidth, 150), h = OuterFor(textrove::kMinAreaHeight, 716);
    EXPECT_EQ(frame->OuterWidth(), w);
    EXPECT_EQ(frame->OuterHeight(), h);
    EXPECT_EQ(frame->frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(StoredAll(), "0,0," + FloatText(w) + "," + FloatText(h) + ",0");

    frame.reset();
    const std::string stored = FloatText(Px(60)) + "," + FloatText(Px(88)) + "," + FloatText(Px(600) + 150) + ","
        + FloatText(Px(360) + 716) + ",0";
    StoreAll(stored);
    Start();
    EXPECT_EQ(frame->PaneArea()->size(), QSize(600, 360));
    EXPECT_EQ(frame->frameGeometry().topLeft(), QPoint(88, 60));
    EXPECT_EQ(StoredAll(), stored) << "the restored bounds are stored back unchanged";
}

TEST_F(MainFormTest, StoredStateIsRestoredAndOnlyNormalStoresBounds)
{
    const std::tuple<const char*, Qt::WindowState, std::string> rows[] = {
        {"2", Qt::WindowMaximized, "2"},
        {"1", Qt::WindowMinimized, "1"},
        {"0", Qt::WindowNoState, "0"},
        {"2.5", Qt::WindowMaximized, "2"}};  // half to even
    for (const auto& [flag, state, f] : rows) {
        SCOPED_TRACE(flag);
        frame.reset();
        StoreAll(std::string("150,300,9150,6116,") + flag);
        Start();
        EXPECT_EQ(frame->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized), Qt::WindowStates(state));
        EXPECT_EQ(StoredAll(), "150,300,9150,6116," + f);
        StoreAll("m,m,m,m,m");
        frame->WritePrivateProfileSize();
        EXPECT_EQ(StoredAll(), state == Qt::WindowNoState ? "150,300,9150,6116,0" : "m,m,m,m," + f);
    }
}

TEST_F(MainFormTest, ResizeStoresExitDoesNotAndGeometryAppliesOnce)
{
    StoreAll("0,0,9150,6116,0");
    Start();
    // A transition (maximize, restore) arrives as several events: none stores
    // until the window has settled, then the last bounds are stored.
    StoreAll("m,m,m,m,m");
    frame->SetOuterSize(30150, 20716);
    QApplication::processEvents();
    EXPECT_EQ(StoredAll(), "m,m,m,m,m") << "stored mid-transition";
    frame->SetOuterSize(10150, 100);  // height below the minimum
    QApplication::processEvents();
    Settle();
    const QRect f = frame->frameGeometry();
    EXPECT_EQ(StoredAll(),
              FloatText(Px(f.top())) + "," + FloatText(Px(f.left())) + "," + FloatText(OuterFor(10000, 150)) + ","
                  + FloatText(OuterFor(textrove::kMinAreaHeight, 716)) + ",0");

    const QSize area = frame->PaneArea()->size();
    frame->Form_Activate();  // a later activation, e.g. after a dialog closed
    QApplication::processEvents();
    EXPECT_EQ(frame->PaneArea()->size(), area);

    StoreAll("m,m,m,m,m");
    frame->Menu_File_End_Click();
    frame.reset();
    EXPECT_EQ(StoredAll(), "m,m,m,m,m") << "exit stores nothing";
}

TEST_F(MainFormTest, SearchCommandAppendsAndResetsCaretSelectionAndView)
{
    QTemporaryDir tree;
    Write(tree.filePath("a.txt"), "one\nfind ABC here\n");
    ASSERT_TRUE(names::WriteProfile(names::kSectionDefDir, names::kKeyDirectory, tree.path().toStdString()));
    ASSERT_TRUE(names::WriteProfile(names::kSectionDefList, names::ListNameKey(1), "ABC"));
    Start();
    ASSERT_TRUE(Enabled("Menu_Start"));
    Box()->setPlainText("earlier\nlines");
    Box()->moveCursor(QTextCursor::End, QTextCursor::KeepAnchor);
    frame->Menu_Start_Click();  // the dialog searches and closes itself

    EXPECT_TRUE(Enabled("Menu_File_Save"));
    EXPECT_FALSE(Enabled("Menu_Edit_Copy")) << "the selection is gone";
    EXPECT_TRUE(Pane()->Text().startsWith("earlier\r\nlines\r\n") && Pane()->Text().contains("find ABC here"));
    EXPECT_EQ(Box()->textCursor().position(), 0);
    EXPECT_FALSE(Box()->textCursor().hasSelection());
    EXPECT_EQ(Box()->verticalScrollBar()->value(), 0);
}

// ---- file and edit commands ----

class CommandTest : public MainFormTest {
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        ASSERT_TRUE(files.isValid());
        frame = std::make_unique<MainForm>();
        auto owned = std::make_unique<ScriptedPrompts>();
        prompts = owned.get();
        frame->SetPrompts(std::move(owned));
        Append({"header", "", "hit 1"});
        for (const char* name : {"Menu_File_Save", "Menu_File_Clear", "Menu_Edit_SelectAll"})
            frame->MenuItem(name)->setEnabled(true);
    }
    void Save(const QString& path)
    {
        prompts->saveNames.push_back(path);
        frame->Menu_File_Save_Click();
    }
    QTemporaryDir files;
    ScriptedPrompts* prompts = nullptr;
    const QString whole = "\r\nheader\r\n\r\nhit 1";
};

TEST_F(CommandTest, ClearSelectAllAndCopy)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("before");
    frame->Menu_Edit_Copy_Click();
    EXPECT_EQ(clipboard->text(), "before") << "nothing selected";
    Select(1, 3);
    Pane()->SerchAns_KeyUp();
    EXPECT_TRUE(Enabled("Menu_Edit_Copy")) << "the pane's copy state drives the item";
    frame->Menu_Edit_SelectAll_Click();
    EXPECT_TRUE(Enabled("Menu_Edit_Copy"));
    frame->Menu_Edit_Copy_Click();
    EXPECT_EQ(clipboard->text(), whole);

    frame->Menu_File_Clear_Click();
    EXPECT_EQ(Pane()->Text(), "");
    for (const char* name : {"Menu_File_Save", "Menu_File_Clear", "Menu_Edit_SelectAll"})
        EXPECT_FALSE(Enabled(name)) << name;
    EXPECT_TRUE(Enabled("Menu_Edit_Copy")) << "clear leaves Copy alone";

    frame->MenuItem("Menu_Edit_Copy")->setEnabled(false);
    clipboard->setText("before");
    frame->Menu_Edit_SelectAll_Click();
    EXPECT_TRUE(Enabled("Menu_Edit_Copy")) << "even on an empty pane";
    frame->Menu_Edit_Copy_Click();
    EXPECT_EQ(clipboard->text(), "before");
}

TEST_F(CommandTest, SaveWritesTheSelectionInUtf8PlusCrLf)
{
    prompts->saveNames = {QString(), QStringLiteral("  ")};  // cancelled, blank
    frame->Menu_File_Save_Click();
    frame->Menu_File_Save_Click();
    EXPECT_TRUE(QDir(files.path()).isEmpty());

    const QString none = files.filePath("none.txt");
    Save(none);
    EXPECT_EQ(prompts->saveTitles.value(0), "名前を付けて保存");
    EXPECT_EQ(prompts->saveFilters, QStringList({"Text File(*.txt)", "All Files (*.*)"}));
    EXPECT_EQ(Read(none), "\r\n") << "nothing selected";

    Append({"日本 ｶﾅ"});
    frame->Menu_Edit_SelectAll_Click();
    const QString all = files.filePath("all");
    Save(all);
    EXPECT_EQ(Read(all), whole.toUtf8() + "\r\n\xE6\x97\xA5\xE6\x9C\xAC \xEF\xBD\xB6\xEF\xBE\x85\r\n");
    EXPECT_FALSE(QFile::exists(all + ".txt")) << "the name is used as typed";

    Select(2, 10);
    const QString part = files.filePath("part.txt");
    Save(part);
    EXPECT_EQ(Read(part), "eader\r\n\r\nh\r\n");

    EXPECT_EQ(prompts->offeredNames.mid(2), QStringList({"", none, all})) << "last name offered again";
    EXPECT_TRUE(prompts->questions.isEmpty() && prompts->messages.isEmpty());
}

TEST_F(CommandTest, ExistingFilesAreConfirmedHiddenOnesToo)
{
    for (const QString name : {"a.txt", ".hidden"}) {
        SCOPED_TRACE(name.toStdString());
        prompts->questions.clear();
        const QString path = files.filePath(name);
        Write(path, "earlier");
        prompts->answers = {QMessageBox::No};
        Save(path);
        ASSERT_EQ(prompts->questions.size(), 1);
        const auto& q = prompts->questions[0];
        EXPECT_EQ(QStringList({q.title, q.text}),
                  QStringList({"上書き確認", name + "既に存在します。上書きしますか。"}));
        EXPECT_TRUE(q.icon == QMessageBox::Critical && q.buttons == (QMessageBox::Yes | QMessageBox::No)
                    && q.defaultButton == QMessageBox::Yes);
        EXPECT_EQ(Read(path), "earlier") << "No leaves it untouched";
        prompts->answers = {QMessageBox::NoButton};
        Save(path);
        EXPECT_EQ(Read(path), "earlier") << "so does a box closed without an answer";
        prompts->answers = {QMessageBox::Yes};
        Save(path);
        EXPECT_EQ(Read(path), "\r\n");
    }
}

// Every step of a save that can fail: the box names the file and the cause
// in the system's words; the earlier file stays whole, no temporary is left.
TEST_F(CommandTest, FailuresNameTheCauseAndKeepTheEarlierFile)
{
    const QString longName = files.filePath(QString(255, QLatin1Char('n')));
    const QString full = files.filePath("full.txt");
    for (const QString& path : {longName, full, files.filePath("plain")}) Write(path, "earlier");
    ASSERT_TRUE(QDir(files.path()).mkdir("dir"));
    Append({QString(100000, QLatin1Char('x'))});
    struct Row {
        QString path, cause;
        rlim_t sizeLimit;  // RLIM_INFINITY: none; else writes stop there, as on a full disk
        bool selectAll;
    } rows[] = {
        {files.filePath("no/such/out.txt"), qt_error_string(ENOENT), RLIM_INFINITY, false},
        {files.filePath("plain/out.txt"), qt_error_string(ENOTDIR), RLIM_INFINITY, false},
        {files.filePath("dir"), QSaveFile::tr("Filename refers to a directory"), RLIM_INFINITY, false},
        // No room for a temporary name beside it: the final rename fails.
        {longName, qt_error_string(ENAMETOOLONG), RLIM_INFINITY, false},
        // Two bytes, written by the last flush inside Qt's commit, which then renamed anyway.
        {full, qt_error_string(EFBIG), 1, false},
        // A short write, then the refusal: once shown as "Unknown error".
        {full, qt_error_string(EFBIG), 50000, true},
    };
    const int entries = QDir(files.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size();
    prompts->answers = {QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path.toStdString() + " " + std::to_string(row.sizeLimit));
        row.selectAll ? frame->Menu_Edit_SelectAll_Click() : Select(0, 0);
        prompts->messages.clear();
        {
            rlimit old{};
            ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
            auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit limited = old;
            limited.rlim_cur = std::min(row.sizeLimit, old.rlim_max);
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
            Save(row.path);
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        }
        ASSERT_EQ(prompts->messages.size(), 1);
        const auto& m = prompts->messages[0];
        EXPECT_EQ(m.title, "Textrove");
        EXPECT_EQ(m.icon, QMessageBox::Critical);
        EXPECT_FALSE(row.cause.isEmpty());
        EXPECT_TRUE(m.text.startsWith(row.path) && m.text.endsWith("\n" + row.cause)) << m.text.toStdString();
    }
    EXPECT_EQ(Read(longName), "earlier");
    EXPECT_EQ(Read(full), "earlier");
    EXPECT_EQ(QDir(files.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), entries)
        << "no temporary left";
}

// Names and error strings from outside reach the user through the boxes of
// Prompts; each shows its text as written, never as markup.
TEST_F(CommandTest, BoxesShowOutsideTextAsWritten)
{
    const QString texts[] = {
        "<font color=red size=7>RED.txt",  // would show a large red "RED.txt"
        "<b>x</b>",                        // would show a bold x, the tags hidden
        "&amp;",                           // an entity stays as typed, not escaped twice
    };
    Prompts real;
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        ShownBox asked, told;
        WatchNextBox(&asked);
        real.Ask(frame.get(), "上書き確認", text, QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No,
                 QMessageBox::Yes);
        WatchNextBox(&told);
        real.Message(frame.get(), "Textrove", text, QMessageBox::Critical);
        for (const ShownBox& shown : {asked, told}) {
            ASSERT_TRUE(shown.seen);
            EXPECT_EQ(shown.text, text);
            EXPECT_TRUE(shown.literal);
        }
    }

    // The save command's own question over such a file, answered No.
    struct SaveAs : Prompts {
        QString name;
        QString AskSaveFileName(QWidget*, const QString&, const QStringList&, const QString&) override { return name; }
    };
    auto saveAs = std::make_unique<SaveAs>();
    saveAs->name = files.filePath(texts[0]);
    Write(saveAs->name, "earlier");
    frame->SetPrompts(std::move(saveAs));
    prompts = nullptr;
    ShownBox question;
    WatchNextBox(&question);
    frame->Menu_File_Save_Click();
    ASSERT_TRUE(question.seen);
    EXPECT_EQ(question.text, texts[0] + "既に存在します。上書きしますか。");
    EXPECT_TRUE(question.literal);
    EXPECT_EQ(Read(files.filePath(texts[0])), "earlier");
}

// Drops as a file manager makes them (text/uri-list of file:// URLs), on
// the frame and on the text boxes, which take text drops of their own.
TEST_F(MainFormTest, DroppedFolderBecomesTheTargetAsIfTyped)
{
    QTemporaryDir tree;
    ASSERT_TRUE(QDir(tree.path()).mkpath("dir/sub"));
    Write(tree.filePath("dir/f.txt"), "x");
    Write(tree.filePath("dir/g.txt"), "x");
    Write(tree.filePath("other.txt"), "x");
    const QString dir = tree.filePath("dir");
    auto file = [&](const char* relative) { return QUrl::fromLocalFile(tree.filePath(relative)); };
    Start();
    QLineEdit* target = frame->SerchDirPane()->SerchDir();
    QWidget* resultText = Box()->viewport();
    const Qt::DropActions all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    const struct {
        const char* why;
        QWidget* on;
        QList<QUrl> urls;
        Qt::DropActions actions;
        QString folder;  // empty: refused
    } rows[] = {
        {"a folder", frame.get(), {file("dir")}, all, dir},
        {"a file gives its folder", frame.get(), {file("dir/f.txt")}, all, dir},
        {"on the result text, with a trailing slash",
         resultText,
         {QUrl::fromLocalFile(dir + "/sub/")},
         all,
         dir + "/sub"},
        {"on the directory box: replaces its text", target, {file("dir/sub")}, Qt::CopyAction, dir + "/sub"},
        {"several files of one folder", frame.get(), {file("dir/f.txt"), file("dir/g.txt")}, all, dir},
        {"several URLs, two folders", frame.get(), {file("dir/f.txt"), file("other.txt")}, all, {}},
        {"not a file URL", target, {QUrl("https://example.org/dir")}, all, {}},
        {"a file that is not there", frame.get(), {file("dir/missing.txt")}, all, {}},
        {"only a move is offered (the source would delete what it dragged)",
         frame.get(),
         {file("dir")},
         Qt::MoveAction,
         {}},
        {"no URL at all", frame.get(), {}, all, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        target->setText("/start");
        Box()->setPlainText("result");
        QMimeData data;
        if (row.urls.isEmpty())
            data.setText(dir);
        else
            data.setUrls(row.urls);
        const QPoint at = row.on->rect().center();
        QDragEnterEvent enter(at, row.actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(row.on, &enter);
        EXPECT_EQ(enter.isAccepted(), !row.folder.isEmpty());
        if (enter.isAccepted()) EXPECT_NE(enter.dropAction(), Qt::MoveAction);
        QDropEvent drop(at, row.actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(row.on, &drop);
        const QString expected = row.folder.isEmpty() ? QStringLiteral("/start") : row.folder;
        EXPECT_EQ(target->text(), expected);
        EXPECT_EQ(names::ReadProfile(names::kSectionDefDir, names::kKeyDirectory, ""), expected.toStdString())
            << "stored at once";
        EXPECT_EQ(Pane()->Text(), "result");
    }
}

TEST(StartArgumentsTest, DirectoryOnTheCommandLine)
{
    QTemporaryDir tree;
    ASSERT_TRUE(QDir(tree.path()).mkpath("dir"));
    Write(tree.filePath("dir/f.txt"), "x");
    using Action = StartArguments::Action;
    const struct {
        const char* why;
        QStringList arguments;
        Action action;
        QString directory;
    } rows[] = {
        {"none", {}, Action::Run, {}},
        {"an absolute path is kept as given, existing or not", {"/no/such/フォルダ"}, Action::Run, "/no/such/フォルダ"},
        {"relative to the current directory", {"dir"}, Action::Run, tree.filePath("dir")},
        {"a file gives its folder (a desktop passes what was dropped on it)",
         {"dir/f.txt"},
         Action::Run,
         tree.filePath("dir")},
        {"after -- a name may start with -", {"--", "-x"}, Action::Run, tree.filePath("-x")},
        {"help", {"--help"}, Action::Help, {}},
        {"an unknown option", {"-x"}, Action::UsageError, {}},
        {"two directories", {"/a", "/b"}, Action::UsageError, {}},
        {"an empty directory", {""}, Action::UsageError, {}},
    };
    for (const auto& row : rows) {
        const StartArguments parsed = StartArguments::Parse(row.arguments, tree.path());
        EXPECT_EQ(parsed.action, row.action) << row.why;
        EXPECT_EQ(parsed.directory, row.directory) << row.why;
    }
    const char* const help[] = {"textrove", "/dir", "-h"};
    const char* const literal[] = {"textrove", "--", "--help"};
    EXPECT_TRUE(StartArguments::AsksForHelp(3, help));
    EXPECT_FALSE(StartArguments::AsksForHelp(3, literal));
}

}  // namespace
