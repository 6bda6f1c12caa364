// The search word list pane: a column at the right below the directory pane.
#pragma once

#include <QStringList>
#include <QWidget>

#include "ui/Twips.h"

class PaneHost;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class Form_SerchList : public QWidget {
    Q_OBJECT
public:
    // A borderless child of the host's pane area; Form_Load fills it.
    explicit Form_SerchList(PaneHost& host);

    // Loads the stored words (empty slots skipped), reports StartPossible, lays out.
    void Form_Load();
    // Below the directory pane at the frame's right edge; each guarded value
    // stays as it is when its guard fails. Needs the directory pane laid out.
    void SetSize();
    // Writes the whole list: exactly ten writes, the words then empty slots.
    void ChangePrivateFile();
    textrove::TwipsRect Geometry() const;  // outer rectangle, twips
    QListWidget* SerchList() const;
    QStringList Words() const;  // the list's words in order

    QLineEdit* SerchText() const { return m_serchText; }
    QPushButton* ListAdd() const { return m_listAdd; }
    QPushButton* ListDel() const { return m_listDel; }

    void ListAdd_Click();
    void ListDel_Click();
    void SerchList_Click();
    void SerchText_Change();
    // Enter in the word text box: what ListAdd does, only while it is enabled.
    void SerchText_ReturnPressed();

signals:
    // Whether a search can start: the list holds a word. Sent at load and
    // whenever an add or a delete changes that.
    void StartPossible(bool possible);

private:
    void SetMenuStart(bool enabled);

    PaneHost& m_host;
    textrove::TwipsRect m_pane;
    float m_serchListHeight;
    QLabel* m_label1 = nullptr;
    QLineEdit* m_serchText = nullptr;
    QListWidget* m_serchList = nullptr;
    QPushButton* m_listAdd = nullptr;
    QPushButton* m_listDel = nullptr;
};
