// The search word list pane: a column at the right below the directory pane.
#pragma once

#include <QStringList>
#include <QWidget>

#include "main/Twips.h"

class MainForm;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class Form_SerchList : public QWidget {
    Q_OBJECT
public:
    explicit Form_SerchList(MainForm& frame);

    void Form_Load();
    void SetSize();
    void ChangePrivateFile();
    TwipsRect Geometry() const;     // outer rectangle, twips
    QListWidget* SerchList() const;
    QStringList Words() const;      // the list's words in order
};
