// The result pane: the editable result text under the heading "検索結果".
#pragma once

#include <QString>
#include <QWidget>

#include "main/Twips.h"

class MainForm;
class QLabel;
class QPlainTextEdit;

class Form_SerchAns : public QWidget {
    Q_OBJECT
public:
    // The pane's capacity in characters (code points; a record's line break counts 2).
    static constexpr qsizetype kCapacity = qsizetype(64) * 1024 * 1024;

    explicit Form_SerchAns(MainForm& frame);

    void SetSize();
    TwipsRect Geometry() const;          // outer rectangle, twips
    QPlainTextEdit* SerchAns() const;

    // Characters the text holds, counted as the capacity counts them.
    qsizetype CharacterCount() const;

    // Appends records, each as CR LF followed by the record. Costs time in
    // proportion to the records, not to the text already there. Returns false,
    // leaving the text as it was, when the capacity would be exceeded.
    bool AppendRecords(const QStringList& records, QString* error);

    // The text and the selected text with CR LF line breaks.
    QString Text() const;
    QString SelectedText() const;
};
