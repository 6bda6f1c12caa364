// Opens a file or a folder with the desktop's default application. The path
// is given as bytes and goes into the URL byte for byte, so a name that is
// not valid UTF-8 still reaches the right file.
#pragma once

#include <QByteArray>
#include <QUrl>

class FileOpener {
public:
    // Names a program to run instead of the desktop's opener, with the URL
    // (percent-encoded, as the desktop's opener gets it) as its one argument.
    static constexpr const char* kOpenerVariable = "TEXTROVE_OPENER";

    // file:// URL of a path; a relative path is taken from the current directory.
    static QUrl UrlForPath(const QByteArray& path);
    // The folder holding a path ("/" for a name at the root).
    static QByteArray FolderOf(const QByteArray& path);

    virtual ~FileOpener() = default;
    // Hands the URL to the desktop (or to the program in kOpenerVariable);
    // false when nothing could be started.
    virtual bool Open(const QUrl& url);
};
