// What a pane of the main window asks of the window that holds it. The main
// window implements it; a test gives a pane a small fake instead. State the
// pane reports back (start possible, copy possible) goes out as its signals.
#pragma once

class Prompts;
class QWidget;

class PaneHost {
public:
    // The widget the panes are placed in.
    virtual QWidget* PaneArea() const = 0;
    // The frame's outer size in twips, as the pane layout sees it.
    virtual float OuterWidth() const = 0;
    virtual float OuterHeight() const = 0;
    // Panes laid out earlier, in twips: the directory pane's height and the
    // word list's width (0 while that pane does not exist).
    virtual float SerchDirHeight() const = 0;
    virtual float SerchListWidth() const = 0;
    // The modal dialogs of the panes go through this object.
    virtual Prompts& PromptsRef() const = 0;

protected:
    ~PaneHost() = default;
};
