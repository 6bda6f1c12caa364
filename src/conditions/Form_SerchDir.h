// The target directory pane: a strip across the top of the main window.
#pragma once

#include <QWidget>

#include "ui/Twips.h"

class PaneHost;
class QLabel;
class QLineEdit;
class QPushButton;

class Form_SerchDir : public QWidget {
    Q_OBJECT
public:
    // A borderless child of the host's pane area; Form_Load fills it.
    explicit Form_SerchDir(PaneHost& host);

    // Shows the stored directory (the current directory when none is stored)
    // and lays the pane out. The text is stored again at once.
    void Form_Load();
    void SetSize();
    textrove::TwipsRect Geometry() const;  // outer rectangle, twips
    QLineEdit* SerchDir() const;           // the target directory text

    // The browse button and its handler.
    QPushButton* 参照Button() const { return m_参照; }
    void 参照_Click();

    // Every change of the text, typed or set, is stored at once.
    void SerchDir_Change();

private:
    PaneHost& m_host;
    textrove::TwipsRect m_pane;
    QLabel* m_label1 = nullptr;
    QLineEdit* m_serchDir = nullptr;
    QPushButton* m_参照 = nullptr;
};
