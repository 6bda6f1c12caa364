// Textrove: finds text in the files of a directory tree.
// `textrove [DIRECTORY]` starts with DIRECTORY as the target directory.
#include <QApplication>
#include <QDir>
#include <QLineEdit>

#include <cstdio>

#include "conditions/Form_SerchDir.h"
#include "main/MainForm.h"
#include "main/QtTranslations.h"
#include "main/StartArguments.h"

int main(int argc, char** argv)
{
    if (StartArguments::AsksForHelp(argc, argv)) {
        std::fputs(StartArguments::kUsage, stdout);
        return 0;
    }
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
    // Qt has taken its own options out of the arguments by now.
    const StartArguments start = StartArguments::Parse(QApplication::arguments().mid(1), QDir::currentPath());
    if (start.action != StartArguments::Action::Run) {
        std::fputs(StartArguments::kUsage, start.action == StartArguments::Action::Help ? stdout : stderr);
        return start.action == StartArguments::Action::Help ? 0 : 2;
    }
    // Without the catalogue Qt's texts stay English; the program works the same.
    textrove::InstallQtTranslations(app);
    MainForm frame;
    // As if typed: the change is stored at once.
    if (!start.directory.isEmpty()) frame.SerchDirPane()->SerchDir()->setText(start.directory);
    frame.show();
    return app.exec();
}
