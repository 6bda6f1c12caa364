// Textrove: finds text in the files of a directory tree. Takes no arguments.
#include <QApplication>

#include <cstdio>

#include "main/MainForm.h"
#include "main/QtTranslations.h"

int main(int argc, char** argv)
{
    // Without a display Qt would abort with a page of plugin errors; say it
    // in one line instead.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs("textrove: no display available: set DISPLAY (X11) or WAYLAND_DISPLAY, "
                   "or QT_QPA_PLATFORM\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    // Without the catalogue Qt's texts stay English; the program works the same.
    textrove::InstallQtTranslations(app);
    MainForm frame;
    frame.show();
    return app.exec();
}
