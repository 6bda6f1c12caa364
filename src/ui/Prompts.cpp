#include "ui/Prompts.h"

#include <QFileDialog>

QString Prompts::AskSaveFileName(QWidget* parent, const QString& title, const QStringList& filters,
                                 const QString& initialName)
{
    QFileDialog dialog(parent, title);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty()) dialog.selectNameFilter(filters.first());
    dialog.setDefaultSuffix(QString());
    if (!initialName.isEmpty()) dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted) return QString();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

QMessageBox::StandardButton Prompts::Ask(QWidget* parent, const QString& title, const QString& text,
                                         QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);  // file names and error strings are never markup
    box.setDefaultButton(defaultButton);
    const int answer = box.exec();
    if (!(buttons & QMessageBox::StandardButton(answer))) return QMessageBox::NoButton;
    return QMessageBox::StandardButton(answer);
}

void Prompts::Message(QWidget* parent, const QString& title, const QString& text, QMessageBox::Icon icon)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QString Prompts::AskDirectory(QWidget* parent, const QString& title, const QString& initialDir)
{
    QFileDialog dialog(parent, title, initialDir);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setFileMode(QFileDialog::Directory);
    if (dialog.exec() != QDialog::Accepted) return QString();
    const QStringList dirs = dialog.selectedFiles();
    return dirs.isEmpty() ? QString() : dirs.first();
}
