// Modal questions and messages, behind one seam so that widget tests can answer
// them without a blocking dialog. MainForm owns the instance in use
// (MainForm::PromptsRef()); the default shows ordinary Qt dialogs. Every box
// shows its text as plain text: callers pass file names and error strings
// as they are, never escaped.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

class Prompts {
public:
    virtual ~Prompts() = default;

    // A save-file dialog: `title`, filter list (the first one selected), the
    // name offered at start. Returns the chosen path, or "" when cancelled.
    // The dialog itself never asks about overwriting.
    virtual QString AskSaveFileName(QWidget* parent, const QString& title, const QStringList& filters,
                                    const QString& initialName);

    // A question box; returns the button pressed, NoButton when the box was
    // closed without a choice among `buttons` (callers treat that as "no").
    virtual QMessageBox::StandardButton Ask(QWidget* parent, const QString& title, const QString& text,
                                            QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton);

    // A message box with an OK button.
    virtual void Message(QWidget* parent, const QString& title, const QString& text, QMessageBox::Icon icon);

    // A folder chooser starting at `initialDir`; "" when cancelled.
    virtual QString AskDirectory(QWidget* parent, const QString& title, const QString& initialDir);
};
