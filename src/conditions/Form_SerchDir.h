// The target directory pane: a strip across the top of the main window.
#pragma once

#include <QWidget>

#include "main/Twips.h"

class MainForm;
class QLabel;
class QLineEdit;
class QPushButton;

class Form_SerchDir : public QWidget {
    Q_OBJECT
public:
    explicit Form_SerchDir(MainForm& frame);

    void Form_Load();
    void SetSize();
    TwipsRect Geometry() const;   // outer rectangle, twips
    QLineEdit* SerchDir() const;  // the target directory text
};
