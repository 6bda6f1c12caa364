#include "main/MainForm.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>

#include <string>
#include <vector>

#include "conditions/Form_SerchDir.h"
#include "conditions/Form_SerchList.h"
#include "main/FolderDrop.h"
#include "main/HelpWindow.h"
#include "main/NumberText.h"
#include "main/SaveText.h"
#include "main/Version.h"
#include "results/Form_SerchAns.h"
#include "search/Form_SerchDialog.h"
#include "search/engine/SearchEngine.h"
#include "settings/Profile.h"
#include "settings/SettingsNames.h"
#include "ui/TwipsWidget.h"

namespace names = textrove::settings;

namespace {

// Quiet time after a window manager's last event before the geometry is
// stored: a maximize or restore arrives as several events.
constexpr int kStoreDelayMs = 200;

}  // namespace

MainForm::MainForm(QWidget* parent) : QMainWindow(parent), m_prompts(std::make_unique<Prompts>())
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Textrove"));

    m_paneArea = new QWidget(this);
    m_paneArea->setObjectName(QStringLiteral("PaneArea"));
    const double dpi = textrove::LogicalDpi();
    m_paneArea->setMinimumSize(textrove::TwipsToPixels(textrove::kMinAreaWidth, dpi),
                               textrove::TwipsToPixels(textrove::kMinAreaHeight, dpi));
    setCentralWidget(m_paneArea);
    BuildMenus();
    SetOuterSize(textrove::OuterWidthForArea(textrove::kMinAreaWidth),
                 textrove::OuterHeightForArea(textrove::kMinAreaHeight));

    // Creation: the values the first activation restores.
    auto read = [](const char* key) { return names::ReadProfile(names::kSectionWindowSize, key, ""); };
    const std::string top = read(names::kKeyTop);
    const std::string left = read(names::kKeyLeft);
    const std::string width = read(names::kKeyWidth);
    const std::string height = read(names::kKeyHeight);
    const std::string flag = read(names::kKeyMinMaxFlag);
    m_saved = textrove::ParseSavedGeometry(top, left, width, height, flag);

    m_storeTimer = new QTimer(this);
    m_storeTimer->setSingleShot(true);
    m_storeTimer->setInterval(kStoreDelayMs);
    connect(m_storeTimer, &QTimer::timeout, this, &MainForm::StoreSettled);

    Form_Load();
    // A folder dropped anywhere on the window becomes the target directory.
    new FolderDrop(*this, *m_serchDir->SerchDir());
    PlaceFrame();
}

MainForm::~MainForm()
{
    // Tearing down the panes must not store anything.
    m_closing = true;
}

void MainForm::BuildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MenuBar"));

    auto item = [this](QMenu* menu, const char* name, const QString& caption, bool enabled,
                       void (MainForm::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, handler);
        m_items.insert(action->objectName(), action);
        return action;
    };
    auto separator = [this](QMenu* menu, const char* name) {
        QAction* action = menu->addSeparator();
        action->setObjectName(QString::fromLatin1(name));
        m_items.insert(action->objectName(), action);
    };
    auto submenu = [this, bar](const char* name, const QString& caption) {
        QMenu* menu = bar->addMenu(caption);
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        m_items.insert(menu->objectName(), menu->menuAction());
        return menu;
    };

    QMenu* file = submenu("Menu_File", QStringLiteral("ﾌｧｲﾙ(&F)"));
    item(file, "Menu_File_Clear", QStringLiteral("結果クリア(&C)"), false, &MainForm::Menu_File_Clear_Click);
    item(file, "Menu_File_Save", QStringLiteral("名前を付けて保存(&A)"), false, &MainForm::Menu_File_Save_Click);
    separator(file, "Menu_File_01");
    item(file, "Menu_File_End", QStringLiteral("終了(&X)"), true, &MainForm::Menu_File_End_Click);

    QAction* start = m_menuStart = bar->addAction(QStringLiteral("検索実行(&S)"));
    start->setObjectName(QStringLiteral("Menu_Start"));
    start->setEnabled(false);
    connect(start, &QAction::triggered, this, &MainForm::Menu_Start_Click);
    m_items.insert(start->objectName(), start);

    QMenu* edit = submenu("Menu_Edit", QStringLiteral("編集(&E)"));
    m_menuEditCopy = item(edit, "Menu_Edit_Copy", QStringLiteral("コピー(&C)"), false, &MainForm::Menu_Edit_Copy_Click);
    item(edit, "Menu_Edit_SelectAll", QStringLiteral("すべて選択(&A)"), false, &MainForm::Menu_Edit_SelectAll_Click);

    QMenu* help = submenu("Menu_Help", QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    item(help, "Menu_Help_Topic", QStringLiteral("ﾄﾋﾟｯｸの検索(&H)"), true, &MainForm::Menu_Help_Topic_Click);
    separator(help, "Menu_Help_01");
    item(help, "Menu_Help_Version", QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)"), true, &MainForm::Menu_Help_Version_Click);
}

// Load: the panes in layout order; each pane's load restores its settings
// and places itself.
void MainForm::Form_Load()
{
    m_serchDir = new Form_SerchDir(*this);
    if (m_serchDir->parentWidget() != m_paneArea) m_serchDir->setParent(m_paneArea);
    m_serchDir->Form_Load();
    m_serchDir->show();

    // The panes' states drive the menu items. Direct connections: pane and
    // menu live on this thread, and an item follows its pane's handler
    // before that returns. Connected before the load, which sends the first.
    m_serchList = new Form_SerchList(*this);
    if (m_serchList->parentWidget() != m_paneArea) m_serchList->setParent(m_paneArea);
    connect(m_serchList, &Form_SerchList::StartPossible, m_menuStart, &QAction::setEnabled, Qt::DirectConnection);
    m_serchList->Form_Load();
    m_serchList->show();

    m_serchAns = new Form_SerchAns(*this);
    connect(m_serchAns, &Form_SerchAns::CopyPossible, m_menuEditCopy, &QAction::setEnabled, Qt::DirectConnection);
    m_serchAns->Form_Load();
    m_serchAns->show();
}

float MainForm::OuterWidth() const
{
    return textrove::OuterWidthForArea(textrove::PixelsToTwips(m_paneArea->width(), textrove::LogicalDpi()));
}

float MainForm::OuterHeight() const
{
    return textrove::OuterHeightForArea(textrove::PixelsToTwips(m_paneArea->height(), textrove::LogicalDpi()));
}

void MainForm::SetOuterSize(float outerWidth, float outerHeight)
{
    const textrove::AreaSize area = textrove::AreaForOuter(outerWidth, outerHeight);
    const double dpi = textrove::LogicalDpi();
    const int areaWidth = textrove::TwipsToPixels(area.width, dpi);
    const int areaHeight = textrove::TwipsToPixels(area.height, dpi);
    // The frame is sized so that the area below the menu bar gets exactly this
    // size; the menu bar adds its own height.
    int menuHeight = menuBar()->heightForWidth(areaWidth);
    if (menuHeight < 0) menuHeight = menuBar()->sizeHint().height();
    m_paneArea->resize(areaWidth, areaHeight);
    resize(areaWidth, areaHeight + menuHeight);
}

QAction* MainForm::MenuItem(const QString& name) const
{
    return m_items.value(name, nullptr);
}

Form_SerchDir* MainForm::SerchDirPane() const
{
    return m_serchDir;
}
Form_SerchList* MainForm::SerchListPane() const
{
    return m_serchList;
}
Form_SerchAns* MainForm::SerchAnsPane() const
{
    return m_serchAns;
}
QWidget* MainForm::PaneArea() const
{
    return m_paneArea;
}
float MainForm::SerchDirHeight() const
{
    return m_serchDir ? m_serchDir->Geometry().height : 0.0f;
}
float MainForm::SerchListWidth() const
{
    return m_serchList ? m_serchList->Geometry().width : 0.0f;
}

Prompts& MainForm::PromptsRef() const
{
    return *m_prompts;
}

void MainForm::SetPrompts(std::unique_ptr<Prompts> prompts)
{
    m_prompts = prompts ? std::move(prompts) : std::make_unique<Prompts>();
}

textrove::WindowState MainForm::CurrentWindowState() const
{
    const Qt::WindowStates state = windowState();
    if (state & Qt::WindowMinimized) return textrove::WindowState::Minimized;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) return textrove::WindowState::Maximized;
    return textrove::WindowState::Normal;
}

void MainForm::WritePrivateProfileSize()
{
    // Write results are not examined: a failed store only loses the value.
    names::WriteProfile(names::kSectionWindowSize, names::kKeyMinMaxFlag,
                        std::to_string(static_cast<int>(CurrentWindowState())));
    if (CurrentWindowState() != textrove::WindowState::Normal) return;
    const double dpi = textrove::LogicalDpi();
    const QRect frame = frameGeometry();
    names::WriteProfile(names::kSectionWindowSize, names::kKeyTop,
                        textrove::FloatText(textrove::PixelsToTwips(frame.top(), dpi)));
    names::WriteProfile(names::kSectionWindowSize, names::kKeyLeft,
                        textrove::FloatText(textrove::PixelsToTwips(frame.left(), dpi)));
    names::WriteProfile(names::kSectionWindowSize, names::kKeyWidth, textrove::FloatText(OuterWidth()));
    names::WriteProfile(names::kSectionWindowSize, names::kKeyHeight, textrove::FloatText(OuterHeight()));
}

// Resize handling: the panes in layout order (the word list reads the
// directory pane's height, the result pane reads both), then the store once
// the window has settled.
void MainForm::Form_Resize()
{
    if (m_closing) return;
    if (m_serchDir) m_serchDir->SetSize();
    if (m_serchList) m_serchList->SetSize();
    if (m_serchAns) m_serchAns->SetSize();
    m_storeTimer->start();
}

bool MainForm::StorePending() const
{
    return m_storeTimer->isActive();
}

// The saved bounds and state, requested before the window exists: a window
// manager then places the frame's corner at Left/Top (a position given before
// creation counts the frame in) and maps it straight in the saved state, so
// the normal bounds underneath are the saved ones and no transient size or
// state reaches the file.
void MainForm::PlaceFrame()
{
    SetOuterSize(m_saved.width, m_saved.height);
    const double dpi = textrove::LogicalDpi();
    auto twips = [dpi](const QRect& r) {
        return textrove::TwipsRect{textrove::PixelsToTwips(r.left(), dpi), textrove::PixelsToTwips(r.top(), dpi),
                                   textrove::PixelsToTwips(r.width(), dpi), textrove::PixelsToTwips(r.height(), dpi)};
    };
    std::vector<textrove::TwipsRect> screens;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        screens.push_back(twips(primary->availableGeometry()));
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen()) screens.push_back(twips(screen->availableGeometry()));
    }
    const textrove::TwipsRect frame = textrove::OntoScreens(
        {textrove::ClampCoordinate(m_saved.left), textrove::ClampCoordinate(m_saved.top), OuterWidth(), OuterHeight()},
        screens);
    // Asked for explicitly even at 0,0, or the window manager places the window itself.
    move(textrove::TwipsToPixels(frame.left, dpi), textrove::TwipsToPixels(frame.top, dpi));
    switch (m_saved.state) {
    case textrove::WindowState::Minimized:
        setWindowState(Qt::WindowMinimized);
        break;
    case textrove::WindowState::Maximized:
        setWindowState(Qt::WindowMaximized);
        break;
    case textrove::WindowState::Normal:
        break;
    }
}

// Stores what the window shows once no event has come for a while. A normal
// window is stored only once it is on the screen: before that its frame is
// not known.
void MainForm::StoreSettled()
{
    if (m_closing || !isVisible()) return;
    if (CurrentWindowState() == textrove::WindowState::Normal && !(windowHandle() && windowHandle()->isExposed())) {
        m_storeTimer->start();
        return;
    }
    WritePrivateProfileSize();
}

void MainForm::Form_Activate()
{
    if (m_geometryApplied || m_closing) return;
    m_geometryApplied = true;
    m_storeTimer->start();
}

void MainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (event->spontaneous() || m_displayed) return;
    // First display: one layout pass with the saved geometry.
    m_displayed = true;
    Form_Resize();
    if (isActiveWindow())
        Form_Activate();
    else
        // Some window systems never activate the window (no window manager,
        // offscreen); the first activation runs anyway.
        QTimer::singleShot(0, this, &MainForm::Form_Activate);
}

void MainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_displayed) Form_Resize();
}

void MainForm::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    // A move alone stores nothing, but one within a transition (a restore
    // moves and resizes) pushes the pending store past it.
    if (m_storeTimer->isActive()) m_storeTimer->start();
}

void MainForm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        if (m_displayed) Form_Resize();
    } else if (event->type() == QEvent::ActivationChange) {
        if (m_displayed && isActiveWindow()) Form_Activate();
    }
}

void MainForm::closeEvent(QCloseEvent* event)
{
    // Closing ends the program without storing anything, also a store still
    // waiting for the window to settle.
    m_closing = true;
    m_storeTimer->stop();
    QMainWindow::closeEvent(event);
}

void MainForm::Menu_Start_Click()
{
    for (const char* name : {"Menu_File_Save", "Menu_File_Clear", "Menu_Edit_SelectAll"})
        MenuItem(QString::fromLatin1(name))->setEnabled(true);
    WritePrivateProfileSize();
    setCursor(Qt::BusyCursor);
    textrove::search::SearchRequest request;
    request.targetDirectory = m_serchDir->SerchDir()->text().toStdString();
    for (const QString& word : m_serchList->Words()) request.words.push_back(word.toStdString());
    {
        Form_SerchDialog dlg(this, std::move(request), *m_serchAns, *m_prompts);
        dlg.exec();
    }
    unsetCursor();
    m_serchAns->ScrollToStart();
}

void MainForm::Menu_File_End_Click()
{
    close();
}

void MainForm::Menu_File_Clear_Click()
{
    m_serchAns->Clear();
    for (const char* name : {"Menu_File_Save", "Menu_File_Clear", "Menu_Edit_SelectAll"})
        MenuItem(QString::fromLatin1(name))->setEnabled(false);
}

void MainForm::Menu_File_Save_Click()
{
    const QString path = m_prompts->AskSaveFileName(
        this, QStringLiteral("名前を付けて保存"),
        {QStringLiteral("Text File(*.txt)"), QStringLiteral("All Files (*.*)")}, m_lastSaveName);
    if (path.trimmed().isEmpty()) return;
    m_lastSaveName = path;

    SaveToChosenFile(this, *m_prompts, path, [this] { return m_serchAns->SelectedText().toUtf8() + "\r\n"; });
}

void MainForm::Menu_Edit_Copy_Click()
{
    if (!m_serchAns->HasSelection()) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(m_serchAns->SelectedText());
}

void MainForm::Menu_Edit_SelectAll_Click()
{
    m_serchAns->SelectAll();
    m_menuEditCopy->setEnabled(true);
}

void MainForm::Menu_Help_Topic_Click()
{
    HelpWindow::ShowContents(this, *m_prompts);
}

void MainForm::Menu_Help_Version_Click()
{
    Version dlg(this);
    dlg.exec();
}
