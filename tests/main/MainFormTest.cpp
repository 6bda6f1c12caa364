// The main window: menu table, restored geometry, file/edit commands, drops; the command line.
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QUrl>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <tuple>

#include "main/NumberText.h"
#include "main/StartArguments.h"
#include "support/WindowFixture.h"
#include "ui/TwipsWidget.h"

namespace {

using namespace testsupport;
namespace names = textrove::settings;
using textrove::FloatText;

// Twips of a whole number of pixels on this screen.
float Px(int pixels)
{
    return textrove::PixelsToTwips(pixels, textrove::LogicalDpi());
}

const char* const kKeys[] = {names::kKeyTop, names::kKeyLeft, names::kKeyWidth, names::kKeyHeight,
                             names::kKeyMinMaxFlag};

class MainFormTest : public WindowFixture {
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
    MainForm form;
    // A line per item: its name (a submenu's items indented), caption ("-" a separator), enabled.
    QString menus;
    for (QAction* top : form.menuBar()->actions()) {
        for (QAction* a : QList<QAction*>{top} + (top->menu() ? top->menu()->actions() : QList<QAction*>())) {
            EXPECT_EQ(form.MenuItem(a->objectName()), a);
            menus += QStringLiteral("%1%2 %3 %4\n")
                         .arg(a == top ? "" : " ", a->objectName(), a->isSeparator() ? "-" : a->text())
                         .arg(a->isEnabled());
        }
    }
    EXPECT_EQ(menus,
              "Menu_File ﾌｧｲﾙ(&F) 1\n"
              " Menu_File_Clear 結果クリア(&C) 0\n"
              " Menu_File_Save 名前を付けて保存(&A) 0\n"
              " Menu_File_01 - 1\n"
              " Menu_File_End 終了(&X) 1\n"
              "Menu_Start 検索実行(&S) 0\n"
              "Menu_Edit 編集(&E) 1\n"
              " Menu_Edit_Copy コピー(&C) 0\n"
              " Menu_Edit_SelectAll すべて選択(&A) 0\n"
              "Menu_Help ﾍﾙﾌﾟ(&H) 1\n"
              " Menu_Help_Topic ﾄﾋﾟｯｸの検索(&H) 1\n"
              " Menu_Help_01 - 1\n"
              " Menu_Help_Version ﾊﾞｰｼﾞｮﾝ情報(&A) 1\n");
}

TEST_F(MainFormTest, GeometryIsRestoredAndStoredBackOnlyInTheNormalState)
{
    // The first start is left to the end-to-end flows. Top 60 px, Left 88 px, a pane area of 600 x 360 px.
    const std::string bounds = FloatText(Px(60)) + "," + FloatText(Px(88)) + "," + FloatText(Px(600) + 150) + ","
        + FloatText(Px(360) + 716) + ",";
    const std::tuple<const char*, Qt::WindowState, std::string> rows[] = {{"2", Qt::WindowMaximized, "2"},
                                                                          {"1", Qt::WindowMinimized, "1"},
                                                                          {"0", Qt::WindowNoState, "0"}};
    for (const auto& [flag, state, stored] : rows) {
        SCOPED_TRACE(flag);
        m_frame.reset();
        StoreAll(bounds + flag);
        Start();
        EXPECT_EQ(m_frame->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized), Qt::WindowStates(state));
        EXPECT_EQ(StoredAll(), bounds + stored) << "the restored bounds are stored back unchanged";
        StoreAll("m,m,m,m,m");
        m_frame->WritePrivateProfileSize();
        EXPECT_EQ(StoredAll(), state == Qt::WindowNoState ? bounds + "0" : "m,m,m,m," + stored)
            << "only the normal state stores the bounds";
    }
    EXPECT_EQ(m_frame->PaneArea()->size(), QSize(600, 360));
    EXPECT_EQ(m_frame->frameGeometry().topLeft(), QPoint(88, 60));
}

class CommandTest : public MainFormTest {
protected:
    void SetUp() override
    {
        Start();
        Append({"header", "", "hit 1"});
        for (const char* name : {"Menu_File_Save", "Menu_File_Clear", "Menu_Edit_SelectAll"})
            Item(name)->setEnabled(true);
    }
    void Save(const QString& path)
    {
        m_prompts->saveNames.push_back(path);
        m_frame->Menu_File_Save_Click();
    }
    const QString whole = "\r\nheader\r\n\r\nhit 1";
};

TEST_F(CommandTest, ClearSelectAllAndCopy)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    Select(1, 3);
    Results()->SerchAns_KeyUp();
    EXPECT_TRUE(Item("Menu_Edit_Copy")->isEnabled()) << "the pane's copy state drives the item";
    m_frame->Menu_Edit_SelectAll_Click();
    m_frame->Menu_Edit_Copy_Click();
    EXPECT_EQ(clipboard->text(), whole);

    m_frame->Menu_File_Clear_Click();
    EXPECT_EQ(Results()->Text(), "");
    for (const char* name : {"Menu_File_Save", "Menu_File_Clear", "Menu_Edit_SelectAll"})
        EXPECT_FALSE(Item(name)->isEnabled()) << name;
    EXPECT_TRUE(Item("Menu_Edit_Copy")->isEnabled()) << "clear leaves Copy alone";

    Item("Menu_Edit_Copy")->setEnabled(false);
    clipboard->setText("before");
    m_frame->Menu_Edit_SelectAll_Click();
    EXPECT_TRUE(Item("Menu_Edit_Copy")->isEnabled()) << "even on an empty pane";
    m_frame->Menu_Edit_Copy_Click();
    EXPECT_EQ(clipboard->text(), "before") << "nothing selected, nothing copied";
}

// The selection in UTF-8 plus CR LF, under the name as typed; an existing
// file, a hidden one too, is replaced only on Yes.
TEST_F(CommandTest, SaveWritesTheSelectionInUtf8PlusCrLfAndOverwritesOnlyOnYes)
{
    m_prompts->saveNames = {QString(), QStringLiteral("  ")};  // cancelled, blank
    m_frame->Menu_File_Save_Click();
    m_frame->Menu_File_Save_Click();
    EXPECT_TRUE(QDir(Root()).isEmpty());
    Append({"日本 ｶﾅ"});
    m_frame->Menu_Edit_SelectAll_Click();
    const QString all = m_tree.filePath("all");
    Save(all);
    EXPECT_EQ(ReadFile(all), whole.toUtf8() + "\r\n\xE6\x97\xA5\xE6\x9C\xAC \xEF\xBD\xB6\xEF\xBE\x85\r\n");
    EXPECT_FALSE(QFile::exists(all + ".txt")) << "the name is used as typed";
    Select(2, 10);
    Save(m_tree.filePath("part.txt"));
    EXPECT_EQ(ReadFile(m_tree.filePath("part.txt")), "eader\r\n\r\nh\r\n");
    EXPECT_EQ(m_prompts->offeredNames.mid(2), QStringList({"", all})) << "the last name is offered again";
    EXPECT_TRUE(m_prompts->questions.isEmpty() && m_prompts->messages.isEmpty());

    Select(0, 0);
    for (const QString name : {"a.txt", ".hidden"}) {
        SCOPED_TRACE(name.toStdString());
        WriteFile(Root(), name, "earlier");
        m_prompts->questions.clear();
        // The second box is closed without an answer.
        m_prompts->answers = {QMessageBox::No, QMessageBox::NoButton, QMessageBox::Yes};
        for (const QByteArray after : {"earlier", "earlier", "\r\n"}) {
            Save(m_tree.filePath(name));
            EXPECT_EQ(ReadFile(m_tree.filePath(name)), after);
        }
        ASSERT_EQ(m_prompts->questions.size(), 3);
        const auto& q = m_prompts->questions[0];
        EXPECT_EQ(QStringList({q.title, q.text}),
                  QStringList({"上書き確認", name + "既に存在します。上書きしますか。"}));
        EXPECT_TRUE(q.icon == QMessageBox::Critical && q.buttons == (QMessageBox::Yes | QMessageBox::No)
                    && q.defaultButton == QMessageBox::Yes);
    }
}

// Every step of a save that can fail: the box names the file and the cause
// in the system's words; the earlier file stays whole, no temporary is left.
TEST_F(CommandTest, FailuresNameTheCauseAndKeepTheEarlierFile)
{
    const QString longName = m_tree.filePath(QString(255, QLatin1Char('n'))), full = m_tree.filePath("full.txt");
    for (const QString& path : {longName, full}) WriteFile(Root(), QFileInfo(path).fileName(), "earlier");
    Append({QString(100000, QLatin1Char('x'))});
    struct Row {
        QString path, cause;
        rlim_t sizeLimit;  // RLIM_INFINITY: none; else writes stop there, as on a full disk
        bool selectAll;
    } rows[] = {
        {m_tree.filePath("no/such/out.txt"), qt_error_string(ENOENT), RLIM_INFINITY, false},
        // No room for a temporary name beside it: the final rename fails.
        {longName, qt_error_string(ENAMETOOLONG), RLIM_INFINITY, false},
        // Two bytes, written by the last flush inside Qt's commit, which then renamed anyway.
        {full, qt_error_string(EFBIG), 1, false},
        // A short write, then the refusal: once shown as "Unknown error".
        {full, qt_error_string(EFBIG), 50000, true},
    };
    const auto entries = [&] { return QDir(Root()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); };
    const QStringList before = entries();
    m_prompts->answers = {QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path.toStdString() + " " + std::to_string(row.sizeLimit));
        row.selectAll ? m_frame->Menu_Edit_SelectAll_Click() : Select(0, 0);
        m_prompts->messages.clear();
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = old;
        limited.rlim_cur = std::min(row.sizeLimit, old.rlim_max);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        Save(row.path);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        ASSERT_EQ(m_prompts->messages.size(), 1);
        const auto& m = m_prompts->messages[0];
        EXPECT_EQ(std::make_pair(m.title, m.icon), std::make_pair(QStringLiteral("Textrove"), QMessageBox::Critical));
        EXPECT_TRUE(m.text.startsWith(row.path) && m.text.endsWith("\n" + row.cause)) << m.text.toStdString();
    }
    EXPECT_EQ(QList<QByteArray>({ReadFile(longName), ReadFile(full)}), QList<QByteArray>({"earlier", "earlier"}));
    EXPECT_EQ(entries(), before) << "no temporary left";
}

// Names and error strings from outside reach the user through the boxes of
// Prompts; each shows its text as written, never as markup.
TEST_F(CommandTest, RealBoxesShowOutsideTextAsWritten)
{
    Prompts real;
    // A tag, and an entity that must not be escaped twice.
    const QString text = QStringLiteral("<font color=red size=7>RED</font>&amp;.txt");
    // The text of the next modal box if it is shown as written; the box is
    // then answered No. Looks for it for five seconds.
    QStringList shown;
    std::function<void(int)> watch = [&](int tries) {
        QTimer::singleShot(10, [&, tries] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return tries > 0 ? watch(tries - 1) : void();
            const auto* label = box->findChild<QLabel*>("qt_msgbox_label");
            const Qt::TextFormat format = label ? label->textFormat() : Qt::RichText;
            if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(label->text())))
                shown << label->text();
            box->done(QMessageBox::No);
        });
    };
    watch(500);
    real.Ask(m_frame.get(), "上書き確認", text, QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No,
             QMessageBox::Yes);
    watch(500);
    real.Message(m_frame.get(), "Textrove", text, QMessageBox::Critical);
    EXPECT_EQ(shown, QStringList({text, text})) << "the question and the message, each literally";
}

// Drops as a file manager makes them (text/uri-list of file:// URLs), on
// the frame and on the text boxes, which take text drops of their own.
TEST_F(MainFormTest, DroppedFolderBecomesTheTargetAsIfTyped)
{
    for (const char* name : {"dir/f.txt", "dir/g.txt", "other.txt", "dir/sub/h.txt"}) WriteFile(Root(), name, "x");
    const QString dir = m_tree.filePath("dir");
    auto file = [&](const char* relative) { return QUrl::fromLocalFile(m_tree.filePath(relative)); };
    Start();
    QLineEdit* target = m_frame->SerchDirPane()->SerchDir();
    QWidget *frame = m_frame.get(), *resultText = Box()->viewport();
    const Qt::DropActions all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    const struct {
        const char* why;
        QWidget* on;
        QList<QUrl> urls;
        Qt::DropActions actions;
        QString folder;  // empty: refused
    } rows[] = {
        {"a folder, a trailing slash", frame, {QUrl::fromLocalFile(dir + "/sub/")}, all, dir + "/sub"},
        {"on the result text, files of one folder", resultText, {file("dir/f.txt"), file("dir/g.txt")}, all, dir},
        {"on the directory box: replaces its text", target, {file("dir")}, Qt::CopyAction, dir},
        {"two folders", frame, {file("dir/f.txt"), file("other.txt")}, all, {}},
        {"not a file URL", target, {QUrl("https://example.org/dir")}, all, {}},
        {"only a move is offered (the source would delete what it dragged)", frame, {file("dir")}, Qt::MoveAction, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        target->setText("/start");
        Box()->setPlainText("result");
        QMimeData data;
        data.setUrls(row.urls);
        const QPoint at = row.on->rect().center();
        QDragEnterEvent enter(at, row.actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(row.on, &enter);
        EXPECT_EQ(enter.isAccepted(), !row.folder.isEmpty());
        EXPECT_FALSE(enter.isAccepted() && enter.dropAction() == Qt::MoveAction);
        QDropEvent drop(at, row.actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(row.on, &drop);
        const QString expected = row.folder.isEmpty() ? QStringLiteral("/start") : row.folder;
        EXPECT_EQ(target->text(), expected);
        EXPECT_EQ(names::ReadProfile(names::kSectionDefDir, names::kKeyDirectory, ""), expected.toStdString())
            << "stored at once";
        EXPECT_EQ(Results()->Text(), "result");
    }
}

TEST(StartArgumentsTest, DirectoryOnTheCommandLine)
{
    QTemporaryDir tree;
    WriteFile(tree.path(), "dir/f.txt", "x");
    using Action = StartArguments::Action;
    const std::tuple<QStringList, Action, QString> rows[] = {
        {{"/no/such/フォルダ"}, Action::Run, "/no/such/フォルダ"},  // absolute: as given, existing or not
        {{"dir"}, Action::Run, tree.filePath("dir")},               // relative to the current directory
        {{"dir/f.txt"}, Action::Run, tree.filePath("dir")},         // a file (a desktop passes drops): its folder
        {{"--", "-x"}, Action::Run, tree.filePath("-x")},
        {{"--help"}, Action::Help, {}},
        {{"-x"}, Action::UsageError, {}},
        {{"/a", "/b"}, Action::UsageError, {}},
        {{""}, Action::UsageError, {}},
    };
    for (const auto& [arguments, action, directory] : rows) {
        const StartArguments parsed = StartArguments::Parse(arguments, tree.path());
        EXPECT_EQ(std::make_pair(parsed.action, parsed.directory), std::make_pair(action, directory))
            << arguments.join(' ').toStdString();
    }
    const char* const help[] = {"textrove", "/dir", "-h"};
    const char* const literal[] = {"textrove", "--", "--help"};
    EXPECT_TRUE(StartArguments::AsksForHelp(3, help) && !StartArguments::AsksForHelp(3, literal));
}

}  // namespace
