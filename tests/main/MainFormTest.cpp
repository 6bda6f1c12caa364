// The main window: menu table, start-up geometry, search, file/edit commands.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "main/FrameGeometry.h"
#include "main/FrameTestSupport.h"
#include "main/HelpWindow.h"
#include "main/MainForm.h"
#include "main/NumberText.h"
#include "main/TwipsWidget.h"
#include "main/Version.h"
#include "results/Form_SerchAns.h"

namespace {

namespace names = textrove::settings;
using textrove::FloatText;
using textrove::testing::ScriptedPrompts;

// Twips of a whole number of pixels on this screen.
float Px(int pixels) { return textrove::PixelsToTwips(pixels, textrove::LogicalDpi()); }
// The outer size a pane area (twips) comes out as on this screen.
float OuterFor(float areaTwips, float extra)
{
    return Px(textrove::TwipsToPixels(areaTwips, textrove::LogicalDpi())) + extra;
}

class MainFormTest : public textrove::testing::SettingsSandbox {
protected:
    void TearDown() override
    {
        frame.reset();
        SettingsSandbox::TearDown();
    }
    // Creation, load, first display and first activation.
    void Start()
    {
        frame = std::make_unique<MainForm>();
        frame->show();
        frame->Form_Activate();
        QApplication::processEvents();
    }
    void StoreAll(const std::string& top, const std::string& left, const std::string& width,
                  const std::string& height, const std::string& flag)
    {
        Store(names::kKeyTop, top);
        Store(names::kKeyLeft, left);
        Store(names::kKeyWidth, width);
        Store(names::kKeyHeight, height);
        Store(names::kKeyMinMaxFlag, flag);
    }
    std::string StoredAll()
    {
        return Stored(names::kKeyTop) + "," + Stored(names::kKeyLeft) + "," + Stored(names::kKeyWidth)
            + "," + Stored(names::kKeyHeight) + "," + Stored(names::kKeyMinMaxFlag);
    }
    bool Enabled(const char* name) const { return frame->MenuItem(name)->isEnabled(); }

    std::unique_ptr<MainForm> frame;
};

TEST_F(MainFormTest, MenuBarMatchesTheTable)
{
    frame = std::make_unique<MainForm>();
    EXPECT_EQ(frame->windowTitle(), "Textrove");
    // name, caption ("-" separator), enabled; a submenu's items follow it indented.
    const char* const table[][3] = {
        {"Menu_File", "ﾌｧｲﾙ(&F)", "1"},
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
    for (QAction* top : frame->menuBar()->actions()) {
        seen << top;
        if (top->menu())
            seen << top->menu()->actions();
    }
    ASSERT_EQ(seen.size(), int(std::size(table)));
    for (int i = 0; i < seen.size(); ++i) {
        const QString name = QString::fromUtf8(table[i][0]).trimmed();
        SCOPED_TRACE(name.toStdString());
        QAction* a = seen[i];
        EXPECT_EQ(a->objectName(), name);
        EXPECT_EQ(frame->MenuItem(name), a);
        EXPECT_EQ(a->parent() == frame->menuBar() || a->menu(), table[i][0][0] != ' ');
        EXPECT_EQ(a->isSeparator(), QString::fromUtf8(table[i][1]) == "-");
        if (!a->isSeparator()) {
            EXPECT_EQ(a->text(), QString::fromUtf8(table[i][1]));
        }
        EXPECT_EQ(a->isEnabled(), table[i][2][0] == '1');
        EXPECT_TRUE(a->shortcut().isEmpty());
        EXPECT_FALSE(a->isCheckable());
    }
    EXPECT_EQ(frame->MenuItem("Menu_Start")->menu(), nullptr) << "a command on the bar itself";
    EXPECT_EQ(frame->MenuItem("Menu_Nothing"), nullptr);
}

TEST_F(MainFormTest, FirstStartOpensAtTheDesignSizeAndStoresIt)
{
    Start();
    const float w = OuterFor(textrove::kMinAreaWidth, 150), h = OuterFor(textrove::kMinAreaHeight, 716);
    EXPECT_EQ(frame->OuterWidth(), w);
    EXPECT_EQ(frame->OuterHeight(), h);
    EXPECT_EQ(frame->frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(StoredAll(), "0,0," + FloatText(w) + "," + FloatText(h) + ",0");
}

TEST_F(MainFormTest, SecondStartRestoresStoredBounds)
{
    const std::string w = FloatText(Px(600) + 150), h = FloatText(Px(360) + 716);
    StoreAll(FloatText(Px(60)), FloatText(Px(88)), w, h, "0");
    const std::string stored = StoredAll();
    Start();
    EXPECT_EQ(frame->PaneArea()->size(), QSize(600, 360));
    EXPECT_EQ(frame->frameGeometry().topLeft(), QPoint(88, 60));
    EXPECT_EQ(StoredAll(), stored) << "the restored bounds are stored back unchanged";
}

struct StateRow {
    const char* flag;
    Qt::WindowState expected;
    const char* stored;  // MinMaxFlag after start-up
};
class StoredStateRows : public MainFormTest, public ::testing::WithParamInterface<StateRow> {};

TEST_P(StoredStateRows, StartsInTheStateAndKeepsNormalBounds)
{
    StoreAll("150", "300", "9150", "6116", GetParam().flag);
    Start();
    EXPECT_EQ(frame->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized),
              Qt::WindowStates(GetParam().expected));
    EXPECT_EQ(StoredAll(), std::string("150,300,9150,6116,") + GetParam().stored);
    // Minimized or maximized, only the state is stored; normal stores all five.
    StoreAll("m", "m", "m", "m", "m");
    frame->WritePrivateProfileSize();
    const bool normal = GetParam().expected == Qt::WindowNoState;
    EXPECT_EQ(Stored(names::kKeyMinMaxFlag), GetParam().stored);
    EXPECT_EQ(Stored(names::kKeyWidth) == "m", !normal);
}

INSTANTIATE_TEST_SUITE_P(Rows, StoredStateRows,
                         ::testing::Values(StateRow{"2", Qt::WindowMaximized, "2"},
                                           StateRow{"1", Qt::WindowMinimized, "1"},
                                           StateRow{"0", Qt::WindowNoState, "0"},
                                           StateRow{"2.5", Qt::WindowMaximized, "2"},
                                           StateRow{"3", Qt::WindowNoState, "0"}));

TEST_F(MainFormTest, ResizeStoresMoveDoesNotAndGeometryAppliesOnce)
{
    StoreAll("0", "0", "9150", "6116", "0");
    Start();
    StoreAll("m", "m", "m", "m", "m");
    frame->move(frame->pos() + QPoint(30, 15));
    QApplication::processEvents();
    EXPECT_EQ(StoredAll(), "m,m,m,m,m") << "a pure move stores nothing";

    frame->SetOuterSize(10150, 100);  // height below the minimum
    QApplication::processEvents();
    const QRect f = frame->frameGeometry();
    EXPECT_EQ(StoredAll(), FloatText(Px(f.top())) + "," + FloatText(Px(f.left())) + ","
                  + FloatText(OuterFor(10000, 150)) + ","
                  + FloatText(OuterFor(textrove::kMinAreaHeight, 716)) + ",0");

    const QSize area = frame->PaneArea()->size();
    frame->Form_Activate();  // a later activation, e.g. after a dialog closed
    QApplication::processEvents();
    EXPECT_EQ(frame->PaneArea()->size(), area);
}

TEST_F(MainFormTest, ExitStoresNothing)
{
    Start();
    StoreAll("m", "m", "m", "m", "m");
    frame->Menu_File_End_Click();
    frame.reset();
    EXPECT_EQ(StoredAll(), "m,m,m,m,m");
}

TEST_F(MainFormTest, SearchCommandEnablesResultCommandsAndResetsTheView)
{
    QTemporaryDir tree;
    QFile file(tree.filePath("a.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("one\nfind ABC here\n");
    file.close();
    ASSERT_TRUE(names::WriteProfile(names::kSectionDefDir, names::kKeyDirectory, tree.path().toStdString()));
    ASSERT_TRUE(names::WriteProfile(names::kSectionDefList, names::ListNameKey(1), "ABC"));
    Start();
    ASSERT_TRUE(Enabled("Menu_Start"));
    QPlainTextEdit* box = frame->SerchAnsPane()->SerchAns();
    box->setPlainText("earlier\nlines");
    box->moveCursor(QTextCursor::End, QTextCursor::KeepAnchor);
    StoreAll("m", "m", "m", "m", "m");

    frame->Menu_Start_Click();  // the dialog searches and closes itself

    for (const char* name : {"Menu_File_Save", "Menu_File_Clear", "Menu_Edit_SelectAll"})
        EXPECT_TRUE(Enabled(name)) << name;
    EXPECT_FALSE(Enabled("Menu_Edit_Copy"));
    EXPECT_NE(Stored(names::kKeyWidth), "m") << "geometry stored first";
    EXPECT_TRUE(frame->SerchAnsPane()->Text().startsWith("earlier\r\nlines\r\n"));
    EXPECT_TRUE(frame->SerchAnsPane()->Text().contains("find ABC here"));
    EXPECT_EQ(box->textCursor().position(), 0);
    EXPECT_FALSE(box->textCursor().hasSelection());
    EXPECT_EQ(box->verticalScrollBar()->value(), 0);
    EXPECT_EQ(frame->cursor().shape(), Qt::ArrowCursor) << "busy pointer removed";
}

// ---- file, edit and help commands ----

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
        pane = frame->SerchAnsPane();
        QString error;
        ASSERT_TRUE(pane->AppendRecords({"header", "", "hit 1"}, &error));
        for (const char* name : {"Menu_File_Save", "Menu_File_Clear", "Menu_Edit_SelectAll"})
            frame->MenuItem(name)->setEnabled(true);
    }
    static QByteArray Read(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    static void Write(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void Save(const QString& path)
    {
        prompts->saveNames.push_back(path);
        frame->Menu_File_Save_Click();
    }

    QTemporaryDir files;
    ScriptedPrompts* prompts = nullptr;
    Form_SerchAns* pane = nullptr;
    const QString whole = "\r\nheader\r\n\r\nhit 1";
};

TEST_F(CommandTest, ClearSelectAllAndCopy)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("before");
    frame->Menu_Edit_Copy_Click();
    EXPECT_EQ(clipboard->text(), "before") << "nothing selected";
    frame->Menu_Edit_SelectAll_Click();
    EXPECT_TRUE(Enabled("Menu_Edit_Copy"));
    frame->Menu_Edit_Copy_Click();
    EXPECT_EQ(clipboard->text(), whole);

    frame->Menu_File_Clear_Click();
    EXPECT_EQ(pane->Text(), "");
    EXPECT_FALSE(Enabled("Menu_File_Save"));
    EXPECT_FALSE(Enabled("Menu_File_Clear"));
    EXPECT_FALSE(Enabled("Menu_Edit_SelectAll"));
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
    const QString none = files.filePath("none.txt");
    Save(none);
    EXPECT_EQ(prompts->saveTitles.value(0), "名前を付けて保存");
    EXPECT_EQ(prompts->saveFilters.value(0), QStringList({"Text File(*.txt)", "All Files (*.*)"}));
    EXPECT_EQ(Read(none), "\r\n") << "nothing selected";

    QString error;
    ASSERT_TRUE(pane->AppendRecords({"日本 ｶﾅ"}, &error));
    frame->Menu_Edit_SelectAll_Click();
    const QString all = files.filePath("all");
    Save(all);
    EXPECT_EQ(Read(all), whole.toUtf8() + "\r\n\xE6\x97\xA5\xE6\x9C\xAC \xEF\xBD\xB6\xEF\xBE\x85\r\n");
    EXPECT_FALSE(QFile::exists(all + ".txt")) << "the name is used as typed";

    QTextCursor c = pane->SerchAns()->textCursor();
    c.setPosition(2);
    c.setPosition(10, QTextCursor::KeepAnchor);
    pane->SerchAns()->setTextCursor(c);
    const QString part = files.filePath("part.txt");
    Save(part);
    EXPECT_EQ(Read(part), "eader\r\n\r\nh\r\n");

    EXPECT_EQ(prompts->offeredNames, QStringList({"", none, all})) << "last name offered again";
    EXPECT_TRUE(prompts->questions.isEmpty());
    EXPECT_TRUE(prompts->messages.isEmpty());
}

TEST_F(CommandTest, BlankOrCancelledNameWritesNothing)
{
    prompts->saveNames = {QString(), QStringLiteral("  ")};
    frame->Menu_File_Save_Click();
    frame->Menu_File_Save_Click();
    EXPECT_EQ(prompts->saveTitles.size(), 2);
    EXPECT_TRUE(prompts->questions.isEmpty() && prompts->messages.isEmpty());
    EXPECT_TRUE(QDir(files.path()).isEmpty());
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
        EXPECT_EQ(q.text, name + "既に存在します。上書きしますか。");
        EXPECT_EQ(q.title, "上書き確認");
        EXPECT_EQ(q.icon, QMessageBox::Critical);
        EXPECT_EQ(q.buttons, QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(q.defaultButton, QMessageBox::Yes);
        EXPECT_EQ(Read(path), "earlier") << "No leaves it untouched";
        prompts->answers = {QMessageBox::Yes};
        Save(path);
        EXPECT_EQ(Read(path), "\r\n");
    }
}

TEST_F(CommandTest, FailuresAreReportedAndKeepTheEarlierFile)
{
    // A directory of that name, a missing directory, and a name at the length
    // limit where no temporary file can be made beside it (fails even as root).
    const QString dir = files.filePath("dir.txt");
    ASSERT_TRUE(QDir().mkdir(dir));
    const QString longName = files.filePath(QString(255, QLatin1Char('n')));
    Write(longName, "earlier");
    prompts->answers = {QMessageBox::Yes};
    for (const QString& path : {dir, files.filePath("no/such/out.txt"), longName}) {
        SCOPED_TRACE(path.toStdString());
        prompts->messages.clear();
        Save(path);
        ASSERT_EQ(prompts->messages.size(), 1);
        EXPECT_EQ(prompts->messages[0].title, "Textrove");
        EXPECT_EQ(prompts->messages[0].icon, QMessageBox::Critical);
        EXPECT_FALSE(prompts->messages[0].text.isEmpty());
    }
    EXPECT_EQ(prompts->questions.size(), 1) << "only the existing file is confirmed";
    EXPECT_TRUE(QFileInfo(dir).isDir());
    EXPECT_EQ(Read(longName), "earlier");
    EXPECT_EQ(QDir(files.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no temporary left";
}

TEST_F(CommandTest, HelpAndAboutOpenThroughTheFrame)
{
    HelpWindow::SetDocumentPath(files.filePath("missing.hlp"));
    frame->Menu_Help_Topic_Click();
    HelpWindow::SetDocumentPath(QString());
    EXPECT_EQ(prompts->messages.size(), 1) << "a missing document is reported through the frame";

    bool sawVersion = false;
    QTimer::singleShot(0, [&sawVersion] {
        if (auto* box = qobject_cast<Version*>(QApplication::activeModalWidget())) {
            sawVersion = true;
            box->done(QDialog::Accepted);
        }
    });
    frame->Menu_Help_Version_Click();
    EXPECT_TRUE(sawVersion) << "the about box was shown modally";
}

}  // namespace
