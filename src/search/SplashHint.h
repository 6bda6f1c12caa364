// How the search dialog shows itself to the window manager.
#pragma once

class QWidget;

// Window managers give a dialog a close command (Alt+F4) and buttons whatever
// its Motif hints ask; a splash window gets neither, and no caption bar
// either. Only the window manager's view changes: Qt still treats the window
// as a modal dialog. Set before the window is mapped; X11 only.
void ShowAsSplashToWindowManager(QWidget& window);
