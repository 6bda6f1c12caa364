// The result pane: the editable result text under the heading "検索結果".
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include "results/ResultFileBlocks.h"
#include "results/ResultLayout.h"
#include "ui/Twips.h"

class PaneHost;
class QLabel;
class QPlainTextEdit;
class ResultContextMenu;
class ResultHighlighter;

class Form_SerchAns : public QWidget {
    Q_OBJECT
public:
    // The pane's capacity in characters (code points; a record's line break counts 2).
    static constexpr qsizetype kCapacity = qsizetype(64) * 1024 * 1024;
    // Description of an append refused for lack of room.
    static constexpr const char* kFullMessage = "結果表示領域がいっぱいです。";

    // A borderless child of the host's pane area.
    explicit Form_SerchAns(PaneHost& host);

    // The pane's load: lays it out once.
    void Form_Load();
    void SetSize();
    textrove::TwipsRect Geometry() const;         // outer rectangle, twips
    textrove::TwipsRect TextBoxGeometry() const;  // SerchAns within the pane, twips
    // The text box itself, for the pane's own parts and for tests; the
    // windows use the verbs below.
    QPlainTextEdit* SerchAns() const;

    // Characters the text holds, counted as the capacity counts them
    // (PaneCharacters).
    qsizetype CharacterCount() const;
    // The caret to the start of the text, the view to its top left corner.
    void ScrollToStart();
    // Empties the text.
    void Clear();
    void SelectAll();
    bool HasSelection() const;

    // Appends records, each as CR LF followed by the record. Costs time in
    // proportion to the records, not to the text already there. Returns false,
    // leaving the text as it was, when the capacity would be exceeded.
    // The caret, the selection and the scroll position stay where they were.
    // The scroll bars take in the new text when the event loop next runs, or
    // at once through FlushDocumentSize. With `continueLast` the first record
    // is the rest of the last line: no line break goes before it.
    // `bannerPaths` gives the file path of banner records (by index), which
    // the pane keeps for opening the file from its block.
    bool AppendRecords(const QStringList& records, QString* error, bool continueLast = false,
                       const ResultFileBlocks::BannerPaths& bannerPaths = {});
    // Brings the scroll bars and the view up to the appended text now.
    void FlushDocumentSize();

    // The text and the selected text with CR LF line breaks.
    QString Text() const;
    QString SelectedText() const;

    // Capacity used by AppendRecords; kCapacity unless a test lowers it.
    qsizetype Capacity() const { return m_capacity; }
    void SetCapacity(qsizetype characters) { m_capacity = characters; }

    // The words of the search that has just begun (as the word list holds
    // them), marked where they occur in the hit lines in view.
    void SetSearchWords(const QStringList& words);
    ResultHighlighter* Highlighter() const { return m_highlighter; }
    // The text box's context menu with the commands that open a hit's file.
    ResultContextMenu* ContextMenu() const { return m_contextMenu; }

    // Copy availability after a key or mouse-button release in SerchAns.
    // Called by SerchAns after it has handled the release.
    void SerchAns_KeyUp();
    void SerchAns_MouseUp();

signals:
    // Whether the text has a selection to copy, sent after each key or
    // mouse-button release in SerchAns.
    void CopyPossible(bool possible);

private:
    void UpdateCopyAvailability();

    PaneHost& m_host;
    QLabel* m_label1 = nullptr;
    QPlainTextEdit* m_serchAns = nullptr;
    textrove::ResultLayout m_layout;
    ResultHighlighter* m_highlighter = nullptr;  // owned by m_serchAns
    ResultContextMenu* m_contextMenu = nullptr;  // owned by m_serchAns

    qsizetype m_capacity = kCapacity;
    // Cached CharacterCount(); invalid after any change not made by AppendRecords.
    mutable qsizetype m_count = 0;
    mutable bool m_countValid = true;
    // Appended text the scroll bars have not yet taken in; see AppendRecords.
    bool m_sizeFlushPending = false;
};
