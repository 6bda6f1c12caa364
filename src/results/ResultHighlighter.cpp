#include "results/ResultHighlighter.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <optional>

#include "search/engine/SearchEngine.h"
#include "text/TextCodec.h"

namespace {

constexpr qsizetype kWholeLine = 4096;  // longer lines are read in parts
constexpr qsizetype kEdge = 128;        // units read at each end of a long line, and beyond the view
constexpr int kMaxLines = 1000;         // lines looked at, whatever the view's height

// Upper-cased as the search compares: code point by code point. The simple
// mapping never moves a code point between the BMP and the planes above it,
// so positions stay; a mapping that would is not applied.
QString Upper(QStringView text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar* o = out.data();
    for (qsizetype i = 0; i < text.size();) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(text[i], text[i + 1]) : text[i].unicode();
        char32_t u = textrove::text::ToUpper(c);
        if ((u > 0xFFFF) != pair) u = c;
        if (pair) {
            o[i] = QChar(QChar::highSurrogate(u));
            o[i + 1] = QChar(QChar::lowSurrogate(u));
        } else {
            o[i] = QChar(char16_t(u));
        }
        i += pair ? 2 : 1;
    }
    return out;
}

using Line = ResultHighlighter::Line;
using Piece = ResultHighlighter::Piece;
using Span = ResultHighlighter::Span;

// The text of [from, from + count) of a line when one piece holds all of it.
std::optional<QStringView> Slice(const QList<Piece>& pieces, qsizetype from, qsizetype count)
{
    if (from < 0 || count < 0) return std::nullopt;
    for (const Piece& piece : pieces) {
        if (piece.start <= from && from + count <= piece.start + piece.text.size())
            return QStringView(piece.text).mid(from - piece.start, count);
    }
    return std::nullopt;
}

struct Parsed {
    QList<Piece> upper;
    qsizetype length = 0;
    int word = -1;       // the record's word, -1 when not a hit line
    qsizetype body = 0;  // where the line's text starts, after "WORD :"
    bool whole = false;  // one piece holds the whole line
};

QList<Span> Merge(QList<Span> spans)
{
    std::sort(spans.begin(), spans.end(),
              [](const Span& a, const Span& b) { return a.line != b.line ? a.line < b.line : a.start < b.start; });
    QList<Span> merged;
    for (const Span& s : spans) {
        if (!merged.isEmpty() && merged.last().line == s.line
            && s.start <= merged.last().start + merged.last().length) {
            Span& m = merged.last();
            m.length = std::max(m.start + m.length, s.start + s.length) - m.start;
        } else {
            merged << s;
        }
    }
    return merged;
}

}  // namespace

QList<Span> ResultHighlighter::FindSpans(const QStringList& lines, const QStringList& words)
{
    QList<Line> whole;
    whole.reserve(lines.size());
    for (const QString& text : lines) whole << Line{{Piece{0, text}}, text.size()};
    return FindSpans(whole, words);
}

QList<Span> ResultHighlighter::FindSpans(const QList<Line>& lines, const QStringList& words)
{
    QList<int> order;  // longest word first, so "AB :" is not taken for a record of "A"
    for (int w = 0; w < words.size(); ++w)
        if (!words[w].isEmpty()) order << w;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return words[a].size() > words[b].size(); });

    QList<Parsed> parsed(lines.size());
    for (int i = 0; i < lines.size(); ++i) {
        Parsed& p = parsed[i];
        p.length = lines[i].length;
        p.whole = lines[i].pieces.size() == 1 && lines[i].pieces.front().start == 0
            && lines[i].pieces.front().text.size() == p.length;
        for (int w : order) {
            const QString prefix = words[w] + QStringLiteral(" :");
            if (Slice(lines[i].pieces, 0, prefix.size()) == QStringView(prefix)) {
                p.word = w;
                p.body = prefix.size();
                break;
            }
        }
        if (p.word < 0) continue;
        for (const Piece& piece : lines[i].pieces) p.upper << Piece{piece.start, Upper(piece.text)};
    }

    QList<Span> spans;
    for (int i = 0; i < parsed.size(); ++i) {
        const Parsed& line = parsed[i];
        if (line.word < 0) continue;
        bool recordWordInside = false;
        for (const Piece& piece : line.upper) {
            for (int w : order) {
                const QString& word = words[w];
                for (qsizetype at = piece.text.indexOf(word); at >= 0; at = piece.text.indexOf(word, at + 1)) {
                    if (piece.start + at < line.body) continue;
                    spans << Span{i, piece.start + at, word.size()};
                    recordWordInside = recordWordInside || w == line.word;
                }
            }
        }

        // The split-word check, as the search made it for this record's word.
        const QString& word = words[line.word];
        const qsizetype n = word.size();
        const Parsed* above = i > 0 && parsed[i - 1].word >= 0 ? &parsed[i - 1] : nullptr;
        if (above && above->whole && line.whole && above->length - above->body == line.length - line.body
            && above->upper.front().text.mid(above->body) == line.upper.front().text.mid(line.body))
            above = nullptr;  // another record of the same line, not the line before it
        bool split = false;
        for (qsizetype k = n - 1; above && k >= 1 && !split; --k) {
            const qsizetype tailAt = above->length - (n - k);
            if (tailAt < above->body) continue;
            if (Slice(line.upper, line.body, k) == QStringView(word).right(k)
                && Slice(above->upper, tailAt, n - k) == QStringView(word).left(n - k)) {
                spans << Span{i, line.body, k} << Span{i - 1, tailAt, n - k};
                split = true;
            }
        }
        for (qsizetype k = n - 1; !split && !recordWordInside && k >= 1; --k) {
            if (Slice(line.upper, line.body, k) == QStringView(word).right(k)) {
                spans << Span{i, line.body, k};
                split = true;
            }
        }
    }
    return Merge(std::move(spans));
}

ResultHighlighter::ResultHighlighter(QPlainTextEdit& box) : QObject(&box), m_box(box)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kDelayMs);
    connect(&m_timer, &QTimer::timeout, this, &ResultHighlighter::Refresh);
    connect(box.document(), &QTextDocument::contentsChange, this, &ResultHighlighter::Schedule);
    connect(box.verticalScrollBar(), &QScrollBar::valueChanged, this, &ResultHighlighter::Schedule);
    connect(box.horizontalScrollBar(), &QScrollBar::valueChanged, this, &ResultHighlighter::Schedule);
    box.viewport()->installEventFilter(this);
}

void ResultHighlighter::SetWords(const QStringList& words)
{
    QStringList upper;
    for (const QString& word : words) {
        if (word.isEmpty() || upper.size() >= textrove::search::kMaxWords) continue;
        const QByteArray utf8 = word.toUtf8();
        upper << QString::fromStdString(
            textrove::text::ToUpperUtf8(std::string_view(utf8.constData(), size_t(utf8.size()))));
    }
    m_words = upper;
    Schedule();
}

void ResultHighlighter::Schedule()
{
    if (m_words.isEmpty() && m_box.extraSelections().isEmpty()) return;
    if (!m_timer.isActive()) m_timer.start();
}

bool ResultHighlighter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && watched == m_box.viewport()) Schedule();
    return QObject::eventFilter(watched, event);
}

namespace {

QString BlockSlice(const QTextBlock& block, qsizetype from, qsizetype to)
{
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + int(from));
    cursor.setPosition(block.position() + int(to), QTextCursor::KeepAnchor);
    return cursor.selectedText();
}

// A line as FindSpans reads it: whole, or for a long line its head, the
// part in view (with a margin) and its tail.
Line ReadLine(const QTextBlock& block, const QPlainTextEdit& box)
{
    Line line;
    line.length = block.length() - 1;
    if (line.length <= kWholeLine) {
        line.pieces << Piece{0, block.text()};
        return line;
    }
    qsizetype from = 0, to = kWholeLine;
    if (const QTextLayout* layout = block.layout(); layout && layout->lineCount() > 0) {
        const QTextLine first = layout->lineAt(0);
        const qreal left = box.horizontalScrollBar()->value();
        from = first.xToCursor(left);
        to = first.xToCursor(left + box.viewport()->width());
    }
    from = std::clamp<qsizetype>(from - kEdge, 0, line.length);
    to = std::clamp<qsizetype>(to + kEdge, from, line.length);
    line.pieces << Piece{0, BlockSlice(block, 0, kEdge)} << Piece{from, BlockSlice(block, from, to)}
                << Piece{line.length - kEdge, BlockSlice(block, line.length - kEdge, line.length)};
    return line;
}

}  // namespace

void ResultHighlighter::Refresh()
{
    m_timer.stop();
    QList<QTextEdit::ExtraSelection> marks;
    if (!m_words.isEmpty()) {
        const QTextBlock first = m_box.cursorForPosition(QPoint(0, 0)).block();
        const QTextBlock last = m_box.cursorForPosition(QPoint(0, m_box.viewport()->height() - 1)).block();
        // The line above the view takes part in the split-word check only.
        QTextBlock block = first.previous().isValid() ? first.previous() : first;
        const int firstShown = block == first ? 0 : 1;
        QList<Line> lines;
        QList<int> positions;
        for (; block.isValid() && lines.size() < kMaxLines; block = block.next()) {
            lines << ReadLine(block, m_box);
            positions << block.position();
            if (block == last) break;
        }
        QTextCharFormat format;
        format.setBackground(QColor(0xFF, 0xE0, 0x40));
        format.setForeground(QColor(Qt::black));
        for (const Span& span : FindSpans(lines, m_words)) {
            if (span.line < firstShown) continue;
            QTextEdit::ExtraSelection mark;
            mark.cursor = QTextCursor(m_box.document());
            mark.cursor.setPosition(positions[span.line] + int(span.start));
            mark.cursor.setPosition(positions[span.line] + int(span.start + span.length), QTextCursor::KeepAnchor);
            mark.format = format;
            marks << mark;
        }
    }
    // Unchanged marks are not set again: that would repaint the view.
    const QList<QTextEdit::ExtraSelection> shown = m_box.extraSelections();
    const bool same = shown.size() == marks.size()
        && std::equal(shown.begin(), shown.end(), marks.begin(),
                      [](const QTextEdit::ExtraSelection& a, const QTextEdit::ExtraSelection& b) {
                          return a.cursor.anchor() == b.cursor.anchor() && a.cursor.position() == b.cursor.position();
                      });
    if (!same) m_box.setExtraSelections(marks);
}
