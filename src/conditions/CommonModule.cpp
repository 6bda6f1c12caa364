#include "conditions/CommonModule.h"

#include <QByteArray>
#include <QFile>

#include <dirent.h>
#include <sys/stat.h>

#include <optional>

#include "conditions/Directory参照.h"

namespace CommonModule {

QString SelectedPath;

QString SelectDirectory(const QString& startPath, QWidget* parent, Prompts* prompts)
{
    Directory参照 dialog(parent, prompts);
    if (CheckDirectory(startPath)) dialog.Preset(startPath);
    dialog.exec();
    SelectedPath = dialog.Answer();
    return SelectedPath;
}

bool CheckDirectory(const QString& path)
{
    if (path.toUcs4().size() < 2) return false;
    QString trimmed = path;
    if (trimmed.endsWith(QLatin1Char('/'))) trimmed.chop(1);
    const QByteArray bytes = QFile::encodeName(trimmed);

    struct stat info { };
    if (::stat(bytes.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;

    const qsizetype slash = bytes.lastIndexOf('/');
    const QByteArray parent = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : bytes.left(slash);
    const QByteArray name = slash < 0 ? bytes : bytes.mid(slash + 1);
    if (name.isEmpty()) return trimmed.count(QLatin1Char('/')) == trimmed.size();  // only the root has no name
    if (name == "." || name == "..") return true;                                  // listed by every directory

    DIR* dir = ::opendir(parent.constData());
    if (!dir) return false;
    // An exact name settles it; otherwise a name that differs only in letter
    // case (a case-insensitive file system) is the name as stored.
    std::optional<QByteArray> stored;
    const QString wanted = QFile::decodeName(name);
    while (const dirent* entry = ::readdir(dir)) {
        if (name == entry->d_name) {
            stored = name;
            break;
        }
        if (!stored && QFile::decodeName(entry->d_name).compare(wanted, Qt::CaseInsensitive) == 0)
            stored = QByteArray(entry->d_name);
    }
    ::closedir(dir);
    return stored && bytes.contains(*stored);
}

}  // namespace CommonModule
