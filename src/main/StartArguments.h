// The program's command line: `textrove [DIRECTORY]`.
#pragma once

#include <QString>
#include <QStringList>

struct StartArguments {
    static constexpr const char* kUsage = "usage: textrove [DIRECTORY]\n"
                                          "Opens the Textrove window, with DIRECTORY (or the folder of a file) as the\n"
                                          "target directory when it is given.\n";

    enum class Action { Run, Help, UsageError };
    Action action = Action::Run;
    // The target directory to start with; empty when none was given.
    QString directory;

    // True when the raw arguments ask for the usage text (looked at before
    // the window system is needed).
    static bool AsksForHelp(int argc, const char* const* argv);

    // `arguments` without the program name and without Qt's own options. A
    // relative DIRECTORY is taken from `currentDirectory`; an existing
    // file gives the folder that holds it; anything else is kept as given,
    // as the target text takes any text.
    static StartArguments Parse(const QStringList& arguments, const QString& currentDirectory);
};
