// The main window: menu bar, the three panes, geometry kept in the settings file.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QString>

#include <memory>

#include "main/FrameGeometry.h"
#include "ui/PaneHost.h"
#include "ui/Prompts.h"

class QAction;
class QTimer;
class Form_SerchDir;
class Form_SerchList;
class Form_SerchAns;

class MainForm : public QMainWindow, public PaneHost {
    Q_OBJECT
public:
    explicit MainForm(QWidget* parent = nullptr);
    ~MainForm() override;

    // Outer size as the layout and the settings file see it, in twips: the
    // area below the menu bar + 150 across and + 716 down.
    float OuterWidth() const override;
    float OuterHeight() const override;

    // A menu item by its program name ("Menu_Start", "Menu_Edit_Copy", ...);
    // nullptr for an unknown name. Its enabled flag is the item's state.
    QAction* MenuItem(const QString& name) const;

    // The panes (nullptr until loaded) and the widget they are placed in.
    Form_SerchDir* SerchDirPane() const;
    Form_SerchList* SerchListPane() const;
    Form_SerchAns* SerchAnsPane() const;
    QWidget* PaneArea() const override;
    float SerchDirHeight() const override;
    float SerchListWidth() const override;

    // Stores MinMaxFlag always, and Top, Left, Width, Height in the normal state.
    void WritePrivateProfileSize();

    // The modal dialogs of this window and its panes go through this object.
    Prompts& PromptsRef() const override;
    // Replaces it (tests answer the dialogs this way); nullptr restores the default.
    void SetPrompts(std::unique_ptr<Prompts> prompts);

    // Values read from the settings file at creation.
    const textrove::SavedGeometry& SavedGeometryValues() const { return m_saved; }
    // The window state as stored: 0 normal, 1 minimized, 2 maximized.
    textrove::WindowState CurrentWindowState() const;
    // Pane area size in twips (the outer size less the fixed extents).
    void SetOuterSize(float outerWidth, float outerHeight);

    // First activation: the saved geometry and state, requested before the
    // window first shows, count as applied, and the restored bounds are
    // stored once the window has settled. Once per run. Runs by itself at the
    // first activation (or right after the first show when the window system
    // never activates the window).
    void Form_Activate();
    bool GeometryApplied() const { return m_geometryApplied; }
    // A store of the geometry waits for the window manager to settle.
    bool StorePending() const;

    // Menu commands.
    void Menu_Start_Click();
    void Menu_File_Clear_Click();
    void Menu_File_Save_Click();
    void Menu_File_End_Click();
    void Menu_Edit_Copy_Click();
    void Menu_Edit_SelectAll_Click();
    void Menu_Help_Topic_Click();
    void Menu_Help_Version_Click();

    // The name chosen in the save dialog last time ("" before the first).
    QString LastSaveName() const { return m_lastSaveName; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void Form_Load();
    void Form_Resize();
    void PlaceFrame();
    void StoreSettled();

    QWidget* m_paneArea = nullptr;
    Form_SerchDir* m_serchDir = nullptr;
    Form_SerchList* m_serchList = nullptr;
    Form_SerchAns* m_serchAns = nullptr;
    QHash<QString, QAction*> m_items;
    QAction* m_menuStart = nullptr;     // driven by the word list's StartPossible
    QAction* m_menuEditCopy = nullptr;  // driven by the result pane's CopyPossible

    textrove::SavedGeometry m_saved;
    bool m_geometryApplied = false;
    bool m_displayed = false;  // the first display has run the resize handling
    bool m_closing = false;    // nothing is stored once closing has begun
    // Restarted by every resize, move and state change: the store runs once
    // the window manager has sent its last event of a transition.
    QTimer* m_storeTimer = nullptr;
    std::unique_ptr<Prompts> m_prompts;
    QString m_lastSaveName;
};
