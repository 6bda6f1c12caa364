// Marks the words of the last search where they occur in the hit lines on
// screen. Only the lines in view are looked at, on a short timer after a
// scroll, a resize or a change of the text, so appending costs nothing more.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class QPlainTextEdit;

class ResultHighlighter : public QObject {
    Q_OBJECT
public:
    static constexpr int kDelayMs = 30;

    // A highlighted run of a line, in UTF-16 positions of the line's text.
    struct Span {
        int line = 0;
        qsizetype start = 0;
        qsizetype length = 0;
        friend bool operator==(const Span&, const Span&) = default;
    };
    // Parts of one line's text: a whole line is one piece at 0; of a very
    // long line only its head, the part in view and its tail are read.
    struct Piece {
        qsizetype start = 0;
        QString text;
    };
    struct Line {
        QList<Piece> pieces;
        qsizetype length = 0;
    };

    // A hit line is a record "WORD :text" of one of `words` (upper-cased as
    // the search wrote them). In its text every occurrence of every word is
    // marked, compared upper-cased as the search compares. A word split over
    // the break between two hit lines shown one above the other, the lower
    // one being that word's record, is marked as the upper line's tail and
    // the lower line's head; when the upper part is not shown (or the line
    // above is another record of the same text), a record of a word that
    // does not occur in its text has the head alone marked. Spans on one
    // line are merged and sorted.
    static QList<Span> FindSpans(const QList<Line>& lines, const QStringList& words);
    static QList<Span> FindSpans(const QStringList& lines, const QStringList& words);

    explicit ResultHighlighter(QPlainTextEdit& box);

    // The words of the search that has just begun, as the word list holds them.
    void SetWords(const QStringList& words);
    QStringList Words() const { return m_words; }
    // Recomputes the marks now (the timer does it after a change).
    void Refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Schedule();

    QPlainTextEdit& m_box;
    QTimer m_timer;
    QStringList m_words;  // upper-cased, longest first
};
