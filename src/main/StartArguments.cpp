#include "main/StartArguments.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>

bool StartArguments::AsksForHelp(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return false;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    }
    return false;
}

StartArguments StartArguments::Parse(const QStringList& arguments, const QString& currentDirectory)
{
    StartArguments result;
    QStringList operands;
    bool options = true;
    for (const QString& argument : arguments) {
        if (options && argument == QLatin1String("--")) {
            options = false;
        } else if (options && (argument == QLatin1String("--help") || argument == QLatin1String("-h"))) {
            result.action = Action::Help;
            return result;
        } else if (options && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            result.action = Action::UsageError;
            return result;
        } else {
            operands << argument;
        }
    }
    if (operands.size() > 1 || (operands.size() == 1 && operands.front().isEmpty())) {
        result.action = Action::UsageError;
        return result;
    }
    if (operands.isEmpty()) return result;
    QString path = operands.front();
    if (QDir::isRelativePath(path)) path = QDir::cleanPath(currentDirectory + QLatin1Char('/') + path);
    const QFileInfo info(path);
    result.directory = info.exists() && !info.isDir() ? info.absolutePath() : path;
    return result;
}
