#include "search/Form_SerchDialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStringList>
#include <QTextOption>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>

#include "results/Form_SerchAns.h"
#include "results/PaneCharacters.h"
#include "search/SplashHint.h"
#include "ui/Prompts.h"
#include "ui/TwipsWidget.h"

using textrove::ApplyTwips;
using textrove::kPaneLineBreak;
using textrove::LogicalDpi;
using textrove::PaneCharacters;
using textrove::TwipsRect;
using textrove::TwipsToPixels;

namespace {

constexpr float kClientWidth = 3708;
constexpr float kClientHeight = 1908;
constexpr std::uint8_t kCancelRequested = 255;

}  // namespace

// State the worker and the UI thread share. Every member is guarded by `mutex`.
class Form_SerchDialog::Channel {
public:
    std::mutex mutex;
    std::condition_variable changed;
    QStringList pending;                         // records not yet in the pane, in order
    ResultFileBlocks::BannerPaths pendingPaths;  // file paths of the banners in `pending`
    bool pendingContinues = false;               // pending's first entry continues the pane's last line
    QString scanning;                            // latest file announced by the worker
    bool scanningChanged = false;
    // Set by the UI thread at each delivery: the worker shows the next file
    // it announces. Read without the mutex, so a run of files costs no lock.
    std::atomic<bool> progressWanted{true};
    bool failureAnswered = false;                          // the current failure's message box was dismissed
    bool closing = false;                                  // the dialog is being destroyed: post nothing more
    bool deliveryPosted = false;                           // a DeliverPending call is queued and has not run yet
    std::chrono::steady_clock::time_point lastDelivery{};  // when the UI last took any records
};

// Runs on the worker thread only. Posting to the dialog happens under the
// channel's mutex after checking `closing`, so nothing is posted once the
// destructor has begun.
class Form_SerchDialog::Sink final : public textrove::search::ResultSink {
public:
    Sink(Form_SerchDialog& dialog, Channel& channel, qsizetype startCount, qsizetype capacity)
        : m_dialog(dialog), m_channel(channel), m_count(startCount), m_capacity(capacity)
    { }

    // The capacity check is made here, at the record that fails, so the
    // engine's failure path runs before any later record is produced.
    bool Append(std::string_view record, std::string& error) override
    {
        QString text = QString::fromUtf8(record.data(), qsizetype(record.size()));
        const qsizetype needed = kPaneLineBreak + PaneCharacters(text);
        if (m_count > m_capacity - needed) {
            error = Form_SerchAns::kFullMessage;
            return false;
        }
        m_count += needed;
        // The first record after a file's path that is a banner names that file.
        const bool banner = m_pathPending && !record.empty() && record.starts_with(textrove::search::kBannerHead);
        if (!record.empty()) m_pathPending = false;
        std::lock_guard lock(m_channel.mutex);
        if (banner)
            m_channel.pendingPaths.insert(m_channel.pending.size(),
                                          QByteArray(m_path.data(), qsizetype(m_path.size())));
        m_channel.pending.append(std::move(text));
        m_recordsPending = true;
        return true;
    }

    void ScanningPath(std::string_view path) override
    {
        m_path.assign(path);  // no allocation per file once it is long enough
        m_pathPending = true;
    }

    // A long line's record, part by part: the pane never holds more of it
    // than its capacity allows, and neither does the channel. The part that
    // would overflow is cut there and the append fails, as a whole record's
    // would.
    bool AppendPart(std::string_view part, bool first, bool last, std::string& error) override
    {
        (void)last;
        const qsizetype lineBreak = first ? kPaneLineBreak : 0;
        if (m_count > m_capacity - lineBreak) {
            error = Form_SerchAns::kFullMessage;
            return false;
        }
        QString text = QString::fromUtf8(part.data(), qsizetype(part.size()));
        const qsizetype room = m_capacity - m_count - lineBreak;
        qsizetype characters = PaneCharacters(text);
        const bool fits = characters <= room;
        if (!fits) {
            text.truncate(textrove::PanePrefixWithin(text, room));
            characters = PaneCharacters(text);
        }
        m_count += lineBreak + characters;
        {
            std::lock_guard lock(m_channel.mutex);
            if (first || m_channel.pending.isEmpty()) {
                m_channel.pendingContinues = !first;
                m_channel.pending.append(std::move(text));
            } else {
                m_channel.pending.last() += text;
            }
            m_recordsPending = true;
        }
        if (!fits) error = Form_SerchAns::kFullMessage;
        return fits;
    }

    // Shows the message box on the UI thread and waits until it is dismissed.
    // A queued call plus a wait on the channel does what a blocking queued
    // call would, but the destructor can release the wait, so destroying the
    // dialog mid-search cannot deadlock against the join.
    void ReportFailure(const std::string& description) override
    {
        const QString text = QString::fromStdString(description);
        Form_SerchDialog* dialog = &m_dialog;
        std::unique_lock lock(m_channel.mutex);
        if (m_channel.closing) return;
        m_channel.failureAnswered = false;
        QMetaObject::invokeMethod(
            dialog,
            [dialog, text] {
                dialog->DeliverPending();
                dialog->ShowFailure(text);
                {
                    std::lock_guard answered(dialog->m_channel->mutex);
                    dialog->m_channel->failureAnswered = true;
                }
                dialog->m_channel->changed.notify_all();
            },
            Qt::QueuedConnection);
        m_channel.changed.wait(lock, [this] { return m_channel.failureAnswered || m_channel.closing; });
    }

    // Progress is kept here and handed over only when the UI thread has
    // asked since the last hand-over (at most once per delivery), so a run
    // of tiny files costs neither a lock nor an allocation per file.
    void ScanningFile(std::string_view path) override
    {
        m_latest.assign(path);
        m_latestShown = false;
        ShowLatestIfWanted();
    }

    void StillScanning() override { ShowLatestIfWanted(); }

    // A file's records go to the pane as soon as the file is done when the
    // pane has had none for a delivery interval; otherwise the delivery timer
    // brings them. Each delivery costs the UI thread a layout of the view, so
    // one per file would keep it busy and slow the search on a small machine.
    // Every delivery drains the one FIFO, so records keep their order.
    void FileDone() override
    {
        if (!m_recordsPending) return;
        const auto now = std::chrono::steady_clock::now();
        if (now < m_nextTry) return;
        std::lock_guard lock(m_channel.mutex);
        if (m_channel.closing || m_channel.pending.isEmpty() || m_channel.deliveryPosted) {
            m_recordsPending = false;
            return;
        }
        m_nextTry = m_channel.lastDelivery + std::chrono::milliseconds(kDeliveryIntervalMs);
        if (now < m_nextTry) return;
        m_recordsPending = false;
        m_channel.deliveryPosted = true;
        QMetaObject::invokeMethod(&m_dialog, &Form_SerchDialog::DeliverPending, Qt::QueuedConnection);
    }

    void Finished()
    {
        ShowLatestIfWanted(true);  // the box ends on the last file scanned
        std::lock_guard lock(m_channel.mutex);
        if (m_channel.closing) return;
        QMetaObject::invokeMethod(&m_dialog, &Form_SerchDialog::WorkerFinished, Qt::QueuedConnection);
    }

private:
    void ShowLatestIfWanted(bool always = false)
    {
        if (m_latestShown || !(always || m_channel.progressWanted.load(std::memory_order_relaxed))) return;
        m_latestShown = true;
        QString text = QString::fromUtf8(m_latest.data(), qsizetype(m_latest.size()));
        std::lock_guard lock(m_channel.mutex);
        m_channel.progressWanted.store(false, std::memory_order_relaxed);
        m_channel.scanning = std::move(text);
        m_channel.scanningChanged = true;
    }

    Form_SerchDialog& m_dialog;
    Channel& m_channel;
    qsizetype m_count;  // the pane's characters once every accepted record is in
    qsizetype m_capacity;
    // The search's side only (one thread at a time, in order).
    std::string m_latest;  // the file announced last
    bool m_latestShown = true;
    bool m_recordsPending = false;  // records appended since FileDone last found none waiting
    std::chrono::steady_clock::time_point m_nextTry{};
    std::string m_path;          // the file being scanned, as its bytes
    bool m_pathPending = false;  // its banner has not come yet
};

Form_SerchDialog::Form_SerchDialog(QWidget* parent, textrove::search::SearchRequest request, Form_SerchAns& pane,
                                   Prompts& prompts)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_request(std::move(request)),
      m_pane(pane),
      m_prompts(prompts),
      m_channel(std::make_unique<Channel>())
{
    setObjectName(QStringLiteral("Form_SerchDialog"));
    setWindowTitle(QStringLiteral("検索中・・・"));
    setModal(true);
    const double dpi = LogicalDpi();
    setFixedSize(TwipsToPixels(kClientWidth, dpi), TwipsToPixels(kClientHeight, dpi));

    m_label1 = new QLabel(QStringLiteral("検索中のファイル："), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    ApplyTwips(m_label1, TwipsRect{120, 120, 1452, 252});
    // The design width clips the caption's last character in common UI fonts.
    m_label1->resize(std::max(m_label1->width(), m_label1->sizeHint().width()), m_label1->height());

    m_serchingFile = new QPlainTextEdit(this);
    m_serchingFile->setObjectName(QStringLiteral("SerchingFile"));
    m_serchingFile->setReadOnly(true);
    m_serchingFile->setEnabled(false);
    m_serchingFile->setWordWrapMode(QTextOption::WrapAnywhere);  // paths have few blanks
    ApplyTwips(m_serchingFile, TwipsRect{120, 360, 3492, 972});

    m_cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    m_cancel->setObjectName(QStringLiteral("Cancel"));
    // Cancel answers Escape only (through reject()), never Enter.
    m_cancel->setAutoDefault(false);
    m_cancel->setDefault(false);
    m_cancel->setEnabled(false);
    ApplyTwips(m_cancel, TwipsRect{1200, 1440, 1332, 372});
    connect(m_cancel, &QPushButton::clicked, this, &Form_SerchDialog::Cancel_Click);

    m_deliveryTimer = new QTimer(this);
    m_deliveryTimer->setInterval(kDeliveryIntervalMs);
    connect(m_deliveryTimer, &QTimer::timeout, this, &Form_SerchDialog::DeliverPending);
}

Form_SerchDialog::~Form_SerchDialog()
{
    m_cancelFlag.store(kCancelRequested);
    {
        std::lock_guard lock(m_channel->mutex);
        m_channel->closing = true;
    }
    m_channel->changed.notify_all();
    if (m_worker.joinable()) m_worker.join();
}

textrove::search::CancelFlag& Form_SerchDialog::CancelFlagRef()
{
    return m_cancelFlag;
}

void Form_SerchDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous() || m_running) return;
    ShowAsSplashToWindowManager(*this);
    if (QWidget* owner = parentWidget()) {
        const QRect ownerFrame = owner->window()->frameGeometry();
        QRect mine = frameGeometry();
        mine.moveCenter(ownerFrame.center());
        move(mine.topLeft());
    }
    Form_Activate();
}

void Form_SerchDialog::Form_Activate()
{
    if (m_running) return;
    m_cancelFlag.store(0);
    m_cancel->setEnabled(true);

    QStringList words;
    for (const std::string& word : m_request.words) words << QString::fromStdString(word);
    m_pane.SetSearchWords(words);

    m_sink = std::make_unique<Sink>(*this, *m_channel, m_pane.CharacterCount(), m_pane.Capacity());
    m_running = true;
    m_deliveryTimer->start();
    // The worker reads only m_request (const) and writes through m_sink.
    m_worker = std::thread([this] {
        try {
            textrove::search::SearchEngine engine(*m_sink, m_cancelFlag);
            engine.SearchCharacter(m_request);
        } catch (const std::exception& e) {
            // Reported like a failed append; the records taken so far stay
            // and the dialog still closes.
            m_sink->ReportFailure(e.what());
        }
        m_sink->Finished();
    });
}

void Form_SerchDialog::Cancel_Click()
{
    m_cancelFlag.store(kCancelRequested);
}

void Form_SerchDialog::reject()
{
    if (m_cancel->isEnabled()) Cancel_Click();
}

void Form_SerchDialog::closeEvent(QCloseEvent* event)
{
    // The dialog ends through accept() alone, when the walk has ended.
    event->ignore();
}

void Form_SerchDialog::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Shadow));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void Form_SerchDialog::DeliverPending()
{
    QStringList records;
    ResultFileBlocks::BannerPaths paths;
    bool continues = false;
    QString scanning;
    bool scanningChanged = false;
    {
        std::lock_guard lock(m_channel->mutex);
        records.swap(m_channel->pending);
        paths.swap(m_channel->pendingPaths);
        continues = m_channel->pendingContinues;
        m_channel->pendingContinues = false;
        m_channel->deliveryPosted = false;
        if (!records.isEmpty()) m_channel->lastDelivery = std::chrono::steady_clock::now();
        if (m_channel->scanningChanged) {
            scanning = m_channel->scanning;
            scanningChanged = true;
            m_channel->scanningChanged = false;
        }
        m_channel->progressWanted.store(true, std::memory_order_relaxed);
    }
    if (scanningChanged) m_serchingFile->setPlainText(scanning);
    if (records.isEmpty()) return;
    QString error;
    if (!m_pane.AppendRecords(records, &error, continues, paths)) {
        // The worker's count should have refused these records already; if the
        // pane disagrees, take the same failure path as a refused record.
        ShowFailure(error.isEmpty() ? QString::fromUtf8(Form_SerchAns::kFullMessage) : error);
        Cancel_Click();
    }
}

void Form_SerchDialog::WorkerFinished()
{
    if (m_worker.joinable()) m_worker.join();
    m_running = false;
    m_deliveryTimer->stop();
    DeliverPending();
    // The pane scrolls over the whole result as soon as the dialog is gone.
    m_pane.FlushDocumentSize();
    m_cancel->setEnabled(false);
    accept();
}

void Form_SerchDialog::ShowFailure(const QString& description)
{
    m_prompts.Message(this, QStringLiteral("Textrove"), description, QMessageBox::Critical);
}
