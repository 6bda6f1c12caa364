#include "results/Form_SerchAns.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <functional>

#include "results/PaneCharacters.h"
#include "results/ResultContextMenu.h"
#include "results/ResultHighlighter.h"
#include "ui/PaneHost.h"
#include "ui/TwipsWidget.h"

namespace {

QString WithCrLf(const QString& text);

// SerchAns reports key and button releases after handling them itself, so
// that the selection read by the handlers is the final one (a click inside a
// selection clears it only at the release).
class ResultTextBox : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

    std::function<void()> keyUp;
    std::function<void()> mouseUp;

protected:
    void keyReleaseEvent(QKeyEvent* event) override
    {
        QPlainTextEdit::keyReleaseEvent(event);
        if (keyUp) keyUp();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        QPlainTextEdit::mouseReleaseEvent(event);
        if (mouseUp) mouseUp();
    }
    // The box's own copy (Ctrl+C, its menu) and drag carry what the Copy
    // command copies; Qt's would turn CR LF into LF and U+00A0 into a blank.
    QMimeData* createMimeDataFromSelection() const override
    {
        auto* data = new QMimeData;
        data->setText(WithCrLf(textCursor().selectedText()));
        return data;
    }
};

bool IsLineBreakChar(QChar c)
{
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

// Document text (block and line separators) to CR LF text.
QString WithCrLf(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (const QChar c : text) {
        if (IsLineBreakChar(c))
            out += QLatin1String("\r\n");
        else
            out += c;
    }
    return out;
}

// Blocks a record makes beyond its first when inserted as text: a record
// holds no line end of its own, but a file name or a line may hold
// characters that the text box takes as one.
int ExtraBlocks(const QString& record)
{
    int blocks = 0;
    const qsizetype size = record.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = record[i].unicode();
        if (c == u'\r') {
            if (i + 1 < size && record[i + 1] == u'\n') ++i;
            ++blocks;
        } else if (c == u'\n' || c == QChar::ParagraphSeparator || c == 0xFDD0 || c == 0xFDD1) {
            ++blocks;
        }
    }
    return blocks;
}

// Gives each banner's block its path; `first` is the block of records[0].
// Records are taken as one block each, unless a banner's text is not where
// that puts it: then the blocks are counted. A banner that does not come out
// as one block is left without a path.
void MarkBanners(const QTextBlock& first, const QStringList& records, const ResultFileBlocks::BannerPaths& bannerPaths)
{
    for (const bool counted : {false, true}) {
        QTextBlock block = first;
        qsizetype record = 0;
        bool placed = true;
        for (auto it = bannerPaths.cbegin(); it != bannerPaths.cend() && block.isValid(); ++it) {
            for (; record < it.key() && block.isValid(); ++record) {
                for (int extra = counted ? ExtraBlocks(records[record]) : 0; extra >= 0; --extra) block = block.next();
            }
            if (!block.isValid()) break;
            if (block.text() == records[record])
                ResultFileBlocks::Mark(block, records[record], it.value());
            else
                placed = false;
        }
        if (placed) return;
    }
}

}  // namespace

Form_SerchAns::Form_SerchAns(PaneHost& host) : QWidget(host.PaneArea()), m_host(host)
{
    setObjectName(QStringLiteral("Form_SerchAns"));
    m_layout.pane = {0, 0, textrove::kResultPaneDesignWidth, textrove::kResultPaneDesignHeight};
    m_layout.box = textrove::kResultBoxDesignRect;

    m_label1 = new QLabel(QStringLiteral("検索結果"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    textrove::ApplyTwips(m_label1, textrove::kResultLabelRect);

    auto* box = new ResultTextBox(this);
    box->setObjectName(QStringLiteral("SerchAns"));
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setReadOnly(false);
    // The selection stays, but is not shown while the box lacks the focus.
    QPalette palette = box->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Inactive, QPalette::Base));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, palette.color(QPalette::Inactive, QPalette::Text));
    box->setPalette(palette);
    box->keyUp = [this] { SerchAns_KeyUp(); };
    box->mouseUp = [this] { SerchAns_MouseUp(); };
    m_serchAns = box;
    textrove::ApplyTwips(m_serchAns, m_layout.box);
    textrove::ApplyTwips(this, m_layout.pane);

    // Any change not made by AppendRecords (typing, clearing, replacing)
    // invalidates the cached count; AppendRecords restores it afterwards.
    connect(m_serchAns->document(), &QTextDocument::contentsChange, this,
            [this](int, int, int) { m_countValid = false; });

    m_highlighter = new ResultHighlighter(*m_serchAns);
    m_contextMenu = new ResultContextMenu(*m_serchAns, [this]() -> Prompts& { return m_host.PromptsRef(); });
}

void Form_SerchAns::SetSearchWords(const QStringList& words)
{
    m_highlighter->SetWords(words);
}

void Form_SerchAns::Form_Load()
{
    SetSize();
}

void Form_SerchAns::SetSize()
{
    m_layout = textrove::LayoutResultPane(m_host.OuterWidth(), m_host.OuterHeight(), m_host.SerchDirHeight(),
                                          m_host.SerchListWidth(), m_layout);
    textrove::ApplyTwips(this, m_layout.pane);
    textrove::ApplyTwips(m_serchAns, m_layout.box);
}

textrove::TwipsRect Form_SerchAns::Geometry() const
{
    return m_layout.pane;
}

textrove::TwipsRect Form_SerchAns::TextBoxGeometry() const
{
    return m_layout.box;
}

QPlainTextEdit* Form_SerchAns::SerchAns() const
{
    return m_serchAns;
}

qsizetype Form_SerchAns::CharacterCount() const
{
    if (!m_countValid) {
        const QTextDocument* doc = m_serchAns->document();
        qsizetype count = 0;
        for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
            count += textrove::PaneCharacters(block.text());
        count += textrove::kPaneLineBreak * qsizetype(doc->blockCount() - 1);
        m_count = count;
        m_countValid = true;
    }
    return m_count;
}

void Form_SerchAns::ScrollToStart()
{
    QTextCursor cursor = m_serchAns->textCursor();
    cursor.setPosition(0);
    m_serchAns->setTextCursor(cursor);
    m_serchAns->horizontalScrollBar()->setValue(0);
    m_serchAns->verticalScrollBar()->setValue(0);
}

void Form_SerchAns::Clear()
{
    m_serchAns->setPlainText(QString());
}

void Form_SerchAns::SelectAll()
{
    m_serchAns->selectAll();
}

bool Form_SerchAns::HasSelection() const
{
    return m_serchAns->textCursor().hasSelection();
}

bool Form_SerchAns::AppendRecords(const QStringList& records, QString* error, bool continueLast,
                                  const ResultFileBlocks::BannerPaths& bannerPaths)
{
    if (records.isEmpty()) return true;
    qsizetype added = continueLast ? -textrove::kPaneLineBreak : 0;
    qsizetype units = 0;
    for (const QString& record : records) {
        added += textrove::kPaneLineBreak + textrove::PaneCharacters(record);
        units += 1 + record.size();
    }
    const qsizetype before = CharacterCount();
    if (added > m_capacity - before) {
        if (error) *error = QString::fromUtf8(kFullMessage);
        return false;
    }

    QString batch;
    batch.reserve(units);
    bool lineBreak = !continueLast;
    for (const QString& record : records) {
        if (lineBreak) batch += QChar::ParagraphSeparator;
        lineBreak = true;
        batch += record;
    }

    // The user's caret, selection and view stay as they were, even when the
    // caret sits at the end where the text grows.
    const QTextCursor userCursor = m_serchAns->textCursor();
    const int anchor = userCursor.anchor();
    const int position = userCursor.position();
    const int hScroll = m_serchAns->horizontalScrollBar()->value();
    const int vScroll = m_serchAns->verticalScrollBar()->value();

    QTextDocument* doc = m_serchAns->document();
    {
        // The box answers every size change of the document by laying out the
        // last page of text to size its scroll bar. Held back here and given
        // once when the event loop next runs (FlushDocumentSize), so a run of
        // appends costs one such layout, not one per append.
        const QSignalBlocker quiet(doc->documentLayout());
        // No undo history for appended results: it would double the memory held.
        doc->setUndoRedoEnabled(false);
        // Inside an edit block a cursor does not lay out its line to find its
        // x position; outside, moving and inserting would each do so.
        QTextCursor end(doc);
        end.beginEditBlock();
        end.movePosition(QTextCursor::End);
        const QTextBlock before = doc->lastBlock();
        end.insertText(batch);
        end.endEditBlock();
        if (!bannerPaths.isEmpty()) MarkBanners(continueLast ? before : before.next(), records, bannerPaths);
        doc->setUndoRedoEnabled(true);
    }
    if (!m_sizeFlushPending) {
        m_sizeFlushPending = true;
        QMetaObject::invokeMethod(this, &Form_SerchAns::FlushDocumentSize, Qt::QueuedConnection);
    }

    const QTextCursor now = m_serchAns->textCursor();
    if (now.anchor() != anchor || now.position() != position) {
        QTextCursor restored(doc);
        restored.setPosition(anchor);
        restored.setPosition(position, QTextCursor::KeepAnchor);
        m_serchAns->setTextCursor(restored);
    }
    m_serchAns->horizontalScrollBar()->setValue(hScroll);
    m_serchAns->verticalScrollBar()->setValue(vScroll);

    m_count = before + added;
    m_countValid = true;
    return true;
}

void Form_SerchAns::FlushDocumentSize()
{
    if (!m_sizeFlushPending) return;
    m_sizeFlushPending = false;
    QAbstractTextDocumentLayout* layout = m_serchAns->document()->documentLayout();
    emit layout->documentSizeChanged(layout->documentSize());
    emit layout->update();  // the whole view, as after any change of many lines
}

QString Form_SerchAns::Text() const
{
    return WithCrLf(m_serchAns->document()->toRawText());
}

QString Form_SerchAns::SelectedText() const
{
    return WithCrLf(m_serchAns->textCursor().selectedText());
}

void Form_SerchAns::SerchAns_KeyUp()
{
    UpdateCopyAvailability();
}

void Form_SerchAns::SerchAns_MouseUp()
{
    UpdateCopyAvailability();
}

void Form_SerchAns::UpdateCopyAvailability()
{
    emit CopyPossible(HasSelection());
}
