// The about box "バージョン情報": the program's name and version. Created
// for each opening and shown modally; it keeps nothing between openings.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class Version : public QDialog {
    Q_OBJECT
public:
    explicit Version(QWidget* parent = nullptr);

    void Ok_Click();

protected:
    void showEvent(QShowEvent* event) override;
    // Ok answers Enter (it is the default button); Escape does nothing.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* m_label1 = nullptr;
    QLabel* m_label2 = nullptr;
    QPushButton* m_ok = nullptr;
};
