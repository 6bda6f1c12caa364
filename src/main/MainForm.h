// The main window: menu bar, the three panes, geometry kept in the settings file.
#pragma once

#include <QMainWindow>
#include <QString>

class QAction;
class Form_SerchDir;
class Form_SerchList;
class Form_SerchAns;

class MainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit MainForm(QWidget* parent = nullptr);
    ~MainForm() override;

    // Outer size as the layout and the settings file see it, in twips: the
    // area below the menu bar + 150 across and + 716 down.
    float OuterWidth() const;
    float OuterHeight() const;

    // A menu item by its program name ("Menu_Start", "Menu_Edit_Copy", ...);
    // nullptr for an unknown name. Its enabled flag is the item's state.
    QAction* MenuItem(const QString& name) const;

    // The panes (nullptr until loaded) and the widget they are placed in.
    Form_SerchDir* SerchDirPane() const;
    Form_SerchList* SerchListPane() const;
    Form_SerchAns* SerchAnsPane() const;
    QWidget* PaneArea() const;

    // Stores MinMaxFlag always, and Top, Left, Width, Height in the normal state.
    void WritePrivateProfileSize();
};
