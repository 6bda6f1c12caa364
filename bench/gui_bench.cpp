// gui_bench CORPUS WORD...
//   One search through the windows: the directory and the words go in through
//   their panes, the search command runs the dialog, and the result pane's
//   text is written to standard output as textrove-search writes it.
// gui_bench --report [--runs N] [--records N] CORPUS WORD...
//   Timings as a table: the search through the dialog (median of N runs, the
//   pane cleared between runs) next to the same search without windows, and
//   N records appended to the result pane in the dialog's batches, with the
//   time until the grown pane scrolls and shows its first lines (none when
//   N is 0).
//
// Runs offscreen unless QT_QPA_PLATFORM says otherwise, always with its own
// throw-away settings directory.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "conditions/Form_SerchDir.h"
#include "conditions/Form_SerchList.h"
#include "main/MainForm.h"
#include "results/Form_SerchAns.h"
#include "search/engine/SearchEngine.h"
#include "ui/Prompts.h"

namespace {

constexpr const char* kUsage = "usage: gui_bench CORPUS WORD...\n"
                               "       gui_bench --report [--runs N] [--records N] CORPUS WORD...\n";

struct Options {
    bool report = false;
    int runs = 5;
    long records = 500000;
    QString corpus;
    QStringList words;
};

// A benchmark must never stop at a message box: failures go to stderr and
// are counted, so the run can be declared invalid.
class LoggingPrompts : public Prompts {
public:
    void Message(QWidget*, const QString& title, const QString& text, QMessageBox::Icon) override
    {
        std::fprintf(stderr, "gui_bench: message box \"%s\": %s\n", qUtf8Printable(title), qUtf8Printable(text));
        ++messages;
    }
    QMessageBox::StandardButton Ask(QWidget*, const QString&, const QString& text, QMessageBox::Icon,
                                    QMessageBox::StandardButtons, QMessageBox::StandardButton) override
    {
        std::fprintf(stderr, "gui_bench: question answered no: %s\n", qUtf8Printable(text));
        ++messages;
        return QMessageBox::No;
    }
    int messages = 0;
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Seconds(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e9;
}

// Records of the pane: one block per record after the leading empty line.
long PaneRecords(const Form_SerchAns& pane)
{
    return long(pane.SerchAns()->document()->blockCount()) - 1;
}

// The window as a user sets it up: directory typed, words added one by one.
class Session {
public:
    explicit Session(const Options& options)
    {
        m_frame = std::make_unique<MainForm>();
        auto prompts = std::make_unique<LoggingPrompts>();
        m_prompts = prompts.get();
        m_frame->SetPrompts(std::move(prompts));
        m_frame->show();
        m_frame->Form_Activate();
        QApplication::processEvents();

        m_frame->SerchDirPane()->SerchDir()->setText(options.corpus);
        Form_SerchList* list = m_frame->SerchListPane();
        for (const QString& word : options.words) {
            list->SerchText()->setText(word);
            list->ListAdd_Click();
        }
    }

    MainForm& Frame() { return *m_frame; }
    Form_SerchAns& Pane() { return *m_frame->SerchAnsPane(); }
    int Messages() const { return m_prompts->messages; }

    // From the trigger of the search command to its return (the dialog's
    // modal run has ended by then).
    double Search()
    {
        QAction* start = m_frame->MenuItem(QStringLiteral("Menu_Start"));
        if (!start->isEnabled()) {
            std::fprintf(stderr, "gui_bench: the search command is disabled (no words?)\n");
            std::exit(1);
        }
        QElapsedTimer t;
        t.start();
        start->trigger();
        return Seconds(t);
    }

    void Clear() { m_frame->MenuItem(QStringLiteral("Menu_File_Clear"))->trigger(); }

private:
    std::unique_ptr<MainForm> m_frame;
    LoggingPrompts* m_prompts = nullptr;
};

// The same search without windows, into memory, as the command-line companion
// does it: the floor the window path is measured against.
class MemorySink : public textrove::search::ResultSink {
public:
    bool Append(std::string_view record, std::string&) override
    {
        text.append("\r\n").append(record);
        ++records;
        return true;
    }
    std::string text;
    long records = 0;
};

double EngineSearch(const Options& options, long* records)
{
    textrove::search::SearchRequest request;
    request.targetDirectory = options.corpus.toStdString();
    for (const QString& w : options.words) request.words.push_back(textrove::search::WordAsAdded(w.toStdString()));
    MemorySink sink;
    textrove::search::CancelFlag cancel{0};
    QElapsedTimer t;
    t.start();
    textrove::search::SearchEngine engine(sink, cancel);
    engine.SearchCharacter(request);
    const double s = Seconds(t);
    *records = sink.records;
    return s;
}

// Hit-like result records in file blocks (an empty record, a banner, 1 to 12
// hits of 60 to 100 characters, Japanese and ASCII mixed), as the dialog
// hands them to the pane: one batch per file, its banner's path with it.
struct Batch {
    QStringList records;
    ResultFileBlocks::BannerPaths paths;
};

std::vector<Batch> MakeBatches(long total)
{
    static const char* const kWords[] = {"TEXTROVE", "ERROR",    "東京都",   "ｶﾀｶﾅ", "データ",
                                         "BUFFER",   "検索結果", "ＤＡＴＡ", "漢字", "TIMEOUT"};
    static const char* const kPieces[] = {
        "東京都の支店から届いたデータを", "buffer overflow in read_block() ", "ｶﾀｶﾅで書かれた見出しと",
        "検索結果の一覧を表示します。",   "timeout after 30 s, retrying ",    "漢字かな交じり文の例として、",
        "Error: cannot open file ",       "Ｄａｔａ　Ｓｅｔ　第３版　",       "the quick brown fox jumps ",
        "これはテスト用の文章です。",     "int main(int argc, char** argv) ", "ﾃﾞｰﾀﾍﾞｰｽ接続に失敗しました。"};
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> hitsPerFile(1, 12), length(60, 100), word(0, 9),
        piece(0, int(std::size(kPieces)) - 1), dir(0, 319);
    std::vector<Batch> batches;
    long made = 0;
    for (long file = 0; made < total; ++file) {
        QStringList batch;
        const QString path = QStringLiteral("/srv/bench/tree/d%1/ファイル%2.txt").arg(dir(rng)).arg(file);
        batch << QString() << QStringLiteral("----- ファイル名 : ") + path + QStringLiteral(" -----");
        const int hits = hitsPerFile(rng);
        for (int i = 0; i < hits; ++i) {
            QString record = QString::fromUtf8(kWords[word(rng)]) + QStringLiteral(" :");
            const int want = length(rng);
            while (record.size() < want) record += QString::fromUtf8(kPieces[piece(rng)]);
            record.truncate(want);
            batch << record;
        }
        if (made + batch.size() > total) batch = batch.mid(0, int(total - made));
        made += batch.size();
        ResultFileBlocks::BannerPaths paths;
        if (batch.size() > 1) paths.insert(1, path.toUtf8());
        batches.push_back({std::move(batch), std::move(paths)});
    }
    return batches;
}

struct AppendFigures {
    std::vector<std::pair<long, double>> marks;  // records appended, seconds since the start
    double scrollToEnd = 0;                      // one pass of the event loop, scroll bar to its maximum, one more pass
    double showTop = 0;                          // back to the first line + one pass of the event loop
    qsizetype characters = 0;
    long batches = 0;
    bool failed = false;
};

AppendFigures AppendBenchmark(Session& session, long total)
{
    const std::vector<Batch> batches = MakeBatches(total);
    Form_SerchAns& pane = session.Pane();
    QPlainTextEdit* box = pane.SerchAns();
    AppendFigures f;
    f.batches = long(batches.size());

    constexpr long kStep = 100000;
    long appended = 0;
    long nextMark = kStep;
    QElapsedTimer sinceRepaint;
    QElapsedTimer t;
    t.start();
    sinceRepaint.start();
    for (const Batch& whole : batches) {
        const QStringList& batch = whole.records;
        // A mark falls inside a batch: split it there, so each mark is exact.
        qsizetype from = 0;
        while (from < batch.size()) {
            const qsizetype take = std::min<qsizetype>(batch.size() - from, nextMark - appended);
            QString error;
            ResultFileBlocks::BannerPaths paths;
            for (auto it = whole.paths.cbegin(); it != whole.paths.cend(); ++it)
                if (it.key() >= from && it.key() < from + take) paths.insert(it.key() - from, it.value());
            if (!pane.AppendRecords(from == 0 && take == batch.size() ? batch : batch.mid(from, take), &error, false,
                                    paths)) {
                std::fprintf(stderr, "gui_bench: append refused at %ld records: %s\n", appended, qUtf8Printable(error));
                f.failed = true;
                return f;
            }
            appended += take;
            from += take;
            if (appended == nextMark) {
                f.marks.emplace_back(appended, Seconds(t));
                nextMark += kStep;
            }
        }
        // The window gets its turn about as often as the dialog delivers.
        if (sinceRepaint.elapsed() >= 50) {
            QApplication::processEvents();
            sinceRepaint.restart();
        }
    }
    if (f.marks.empty() || f.marks.back().first != appended) f.marks.emplace_back(appended, Seconds(t));

    // One pass of the event loop lets the pane take in what was appended
    // last; then the scroll bar must reach the last record.
    QScrollBar* bar = box->verticalScrollBar();
    t.restart();
    QApplication::processEvents();
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    f.scrollToEnd = Seconds(t);
    const QPoint bottomLeft(0, box->viewport()->height() - 1);
    if (box->cursorForPosition(bottomLeft).blockNumber() != box->document()->blockCount() - 1) {
        std::fprintf(stderr, "gui_bench: the last record is not in view at the scroll bar's end\n");
        f.failed = true;
    }

    t.restart();
    bar->setValue(0);
    QApplication::processEvents();
    box->viewport()->repaint();
    f.showTop = Seconds(t);
    f.characters = pane.CharacterCount();
    if (box->cursorForPosition(QPoint(0, 0)).blockNumber() != 0) {
        std::fprintf(stderr, "gui_bench: the first line is not in view after scrolling back\n");
        f.failed = true;
    }
    return f;
}

int Report(const Options& options)
{
    Session session(options);
    Form_SerchAns& pane = session.Pane();

    std::vector<double> gui, engine;
    long guiRecords = 0, engineRecords = 0;
    qsizetype characters = 0;
    // The two take turns going first, so a drift in the machine's load
    // touches both alike.
    for (int run = 0; run < options.runs; ++run) {
        if (run % 2) engine.push_back(EngineSearch(options, &engineRecords));
        session.Clear();
        gui.push_back(session.Search());
        guiRecords = PaneRecords(pane);
        characters = pane.CharacterCount();
        if (run % 2 == 0) engine.push_back(EngineSearch(options, &engineRecords));
    }
    session.Clear();
    const double guiMedian = Median(gui);
    const double engineMedian = Median(engine);

    std::printf("search through the dialog (%d runs, pane cleared between runs)\n", options.runs);
    std::printf("  %-28s %10s %10s %10s %12s %14s\n", "", "median s", "min s", "max s", "records", "pane chars");
    std::printf("  %-28s %10.3f %10.3f %10.3f %12ld %14lld\n", "Menu_Start to dialog closed", guiMedian,
                *std::min_element(gui.begin(), gui.end()), *std::max_element(gui.begin(), gui.end()), guiRecords,
                static_cast<long long>(characters));
    std::printf("  %-28s %10.3f %10.3f %10.3f %12ld %14s\n", "same search, no windows", engineMedian,
                *std::min_element(engine.begin(), engine.end()), *std::max_element(engine.begin(), engine.end()),
                engineRecords, "-");
    std::printf("  dialog / no windows: %.2f\n", engineMedian > 0 ? guiMedian / engineMedian : 0.0);
    if (guiRecords != engineRecords) std::printf("  RECORD COUNTS DIFFER\n");

    if (options.records == 0) {
        if (session.Messages() > 0 || guiRecords != engineRecords) {
            std::fprintf(stderr, "gui_bench: the run had failures; figures are not valid\n");
            return 1;
        }
        return 0;
    }
    const AppendFigures f = AppendBenchmark(session, options.records);
    std::printf("\nappend to the result pane: %ld records in %ld batches (one per file block)\n", options.records,
                f.batches);
    std::printf("  %10s %10s %14s\n", "records", "total s", "s per 100k");
    double previous = 0;
    long previousCount = 0;
    for (const auto& [count, seconds] : f.marks) {
        std::printf("  %10ld %10.3f %14.3f\n", count, seconds,
                    (seconds - previous) * 100000.0 / double(count - previousCount));
        previous = seconds;
        previousCount = count;
    }
    std::printf("  pane characters %lld; scroll to the end %.3f s; first lines shown %.3f s\n",
                static_cast<long long>(f.characters), f.scrollToEnd, f.showTop);

    if (session.Messages() > 0 || f.failed || guiRecords != engineRecords) {
        std::fprintf(stderr, "gui_bench: the run had failures; figures are not valid\n");
        return 1;
    }
    return 0;
}

int SearchOnce(const Options& options)
{
    Session session(options);
    const double seconds = session.Search();
    Form_SerchAns& pane = session.Pane();
    const QByteArray text = pane.Text().toUtf8();
    if (std::fwrite(text.constData(), 1, size_t(text.size()), stdout) != size_t(text.size())
        || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "gui_bench: standard output cannot be written\n");
        return 1;
    }
    std::fprintf(stderr, "gui_bench: search %.3f s, %ld records, %lld characters\n", seconds, PaneRecords(pane),
                 static_cast<long long>(pane.CharacterCount()));
    return session.Messages() > 0 ? 1 : 0;
}

bool ParseOptions(int argc, char** argv, Options& o)
{
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--report") == 0) {
            o.report = true;
        } else if ((std::strcmp(a, "--runs") == 0 || std::strcmp(a, "--records") == 0) && i + 1 < argc) {
            char* end = nullptr;
            const long v = std::strtol(argv[i + 1], &end, 10);
            if (*end != '\0' || v < 0 || (v == 0 && std::strcmp(a, "--runs") == 0)) return false;
            if (std::strcmp(a, "--runs") == 0)
                o.runs = int(std::min(v, 1000L));
            else
                o.records = v;
            ++i;
        } else {
            return false;
        }
    }
    if (i >= argc || argc - i - 1 > textrove::search::kMaxWords) return false;
    o.corpus = QString::fromLocal8Bit(argv[i]);
    for (++i; i < argc; ++i) {
        if (argv[i][0] == '\0') return false;
        o.words << QString::fromLocal8Bit(argv[i]);
    }
    return !o.words.isEmpty();
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Before the application exists: nothing may touch the user's settings.
    QTemporaryDir config;
    if (!config.isValid()) {
        std::fprintf(stderr, "gui_bench: no temporary directory\n");
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());

    QApplication app(argc, argv);
    return options.report ? Report(options) : SearchOnce(options);
}
