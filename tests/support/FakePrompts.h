// Prompts that answer from queues instead of showing dialogs, and record what
// was asked and shown.
#pragma once

#include <QList>
#include <QStringList>

#include <functional>

#include "ui/Prompts.h"

namespace testsupport {

class FakePrompts : public Prompts {
public:
    struct Box {
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons = {};
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    };
    QStringList saveNames;                       // answers of the save dialog, in order; "" once they run out
    QList<QMessageBox::StandardButton> answers;  // answers of questions; the default button once they run out
    QStringList offeredNames;
    QList<Box> questions, messages;
    std::function<void()> onMessage;  // runs while a message "box" is up

    QString AskSaveFileName(QWidget*, const QString&, const QStringList&, const QString& initialName) override
    {
        offeredNames << initialName;
        return saveNames.isEmpty() ? QString() : saveNames.takeFirst();
    }
    QMessageBox::StandardButton Ask(QWidget*, const QString& title, const QString& text, QMessageBox::Icon icon,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton) override
    {
        questions << Box{title, text, icon, buttons, defaultButton};
        return answers.isEmpty() ? defaultButton : answers.takeFirst();
    }
    void Message(QWidget*, const QString& title, const QString& text, QMessageBox::Icon icon) override
    {
        messages << Box{title, text, icon};
        if (onMessage) onMessage();
    }
};

}  // namespace testsupport
