#include "results/FileOpener.h"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>

#include <unistd.h>

#include <cerrno>

#include <string>

namespace {

QByteArray CurrentDirectory()
{
    // getcwd, not QDir: the directory's name may not be valid UTF-8 either.
    std::string buffer(4096, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (std::size_t{1} << 20)) return QByteArrayLiteral("/");
        buffer.resize(buffer.size() * 2);
    }
    return QByteArray(buffer.c_str());
}

}  // namespace

QUrl FileOpener::UrlForPath(const QByteArray& path)
{
    QByteArray absolute = path;
    if (!absolute.startsWith('/')) {
        QByteArray base = CurrentDirectory();
        if (!base.endsWith('/')) base += '/';
        absolute.prepend(base);
    }
    // Percent-encoded bytes that are not UTF-8 stay encoded inside QUrl and
    // come out of toEncoded() unchanged.
    return QUrl::fromEncoded("file://" + absolute.toPercentEncoding("/"), QUrl::StrictMode);
}

QByteArray FileOpener::FolderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

bool FileOpener::Open(const QUrl& url)
{
    const QString opener = qEnvironmentVariable(kOpenerVariable);
    if (!opener.isEmpty()) return QProcess::startDetached(opener, {QString::fromLatin1(url.toEncoded())});
    return QDesktopServices::openUrl(url);
}
