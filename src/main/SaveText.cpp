#include "main/SaveText.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>

#include <cerrno>

#include <unistd.h>

#include "ui/Prompts.h"

namespace {

const char* const kOverwriteQuestion = "既に存在します。上書きしますか。";

}  // namespace

bool WriteThroughTemporary(const QString& path, const QByteArray& bytes, QString* cause)
{
    QSaveFile file(path);
    auto fail = [&](int error) {
        // Qt's description when it has one (a directory of that name), else
        // the system's for the errno of the failing call: Qt describes some
        // failures, such as a failed rename, only as "Unknown error".
        const QString unknown = QCoreApplication::translate("QIODevice", "Unknown error");
        *cause = file.error() != QFileDevice::NoError ? file.errorString() : QString();
        if (cause->isEmpty() || *cause == unknown) *cause = error != 0 ? qt_error_string(error) : unknown;
        file.cancelWriting();
        return false;
    };
    errno = 0;
    // Unbuffered: a write that fails says so at once. Data left in the buffer
    // is only written inside commit(), which (Qt 6.4) renames the file into
    // place and reports success even when that last write failed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail(errno);
    // A short write (the disk filled up) is followed by one that fails with the cause.
    for (qsizetype done = 0; done < bytes.size();) {
        errno = 0;
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) return fail(errno);
        done += written;
    }
    // commit() ignores a failed sync; a write the system only now finds it
    // cannot keep (quota, network file systems, I/O error) must stop the rename.
    if (::fsync(file.handle()) != 0 && errno != EINVAL && errno != ENOTSUP) return fail(errno);
    errno = 0;
    if (!file.commit()) return fail(errno);
    return true;
}

void SaveToChosenFile(QWidget* parent, Prompts& prompts, const QString& path, const std::function<QByteArray()>& bytes)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isDir()) {
        const QMessageBox::StandardButton answer =
            prompts.Ask(parent, QStringLiteral("上書き確認"), info.fileName() + QString::fromUtf8(kOverwriteQuestion),
                        QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        if (answer != QMessageBox::Yes) return;
    }

    QString cause;
    if (!WriteThroughTemporary(path, bytes(), &cause)) {
        prompts.Message(parent, QStringLiteral("Textrove"),
                        QStringLiteral("%1 に保存できませんでした。\n%2").arg(path, cause), QMessageBox::Critical);
    }
}
