// The save command's writing: a file replaced whole or not at all.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class Prompts;
class QWidget;

// Writes `bytes` beside `path` and renames them into place, so the earlier
// file stays whole unless the whole save succeeds. On failure `cause` is
// the reason in the system's words.
bool WriteThroughTemporary(const QString& path, const QByteArray& bytes, QString* cause);

// Saves to the chosen `path`: asks before replacing an existing file, takes
// the bytes only then, writes them through a temporary file and reports a
// failure in a message box.
void SaveToChosenFile(QWidget* parent, Prompts& prompts, const QString& path, const std::function<QByteArray()>& bytes);
