#include "results/ResultFileBlocks.h"

#include <QTextBlock>
#include <QTextBlockUserData>
#include <QTextDocument>

#include "search/engine/SearchEngine.h"

namespace {

// Kept by the banner's block: removed with the block, carried along when the
// lines above it change.
class BannerMark : public QTextBlockUserData {
public:
    BannerMark(const QString& text, const QByteArray& path) : text(text), path(path) { }
    const QString text;
    const QByteArray path;
};

bool IsHeader(const QString& line)
{
    const QString head = QString::fromUtf8(textrove::search::kHeaderRecord);
    return line == head || line.startsWith(head + QStringLiteral("  "));
}

}  // namespace

void ResultFileBlocks::Mark(const QTextBlock& banner, const QString& text, const QByteArray& path)
{
    QTextBlock block = banner;
    if (block.isValid()) block.setUserData(new BannerMark(text, path));
}

std::optional<QByteArray> ResultFileBlocks::PathAt(const QTextBlock& line)
{
    if (!line.isValid()) return std::nullopt;
    const QTextDocument* doc = line.document();
    const QString bannerHead = QString::fromUtf8(textrove::search::kBannerHead);
    const QString abort = QString::fromUtf8(textrove::search::kAbortRecord);
    const QChar headerFirst = QString::fromUtf8(textrove::search::kHeaderRecord).front();
    for (QTextBlock block = line; block.isValid(); block = block.previous()) {
        if (const auto* mark = dynamic_cast<const BannerMark*>(block.userData()))
            return block.text() == mark->text ? std::optional<QByteArray>(mark->path) : std::nullopt;
        if (block.length() <= 1) return std::nullopt;  // an empty line ends a file block
        // A hit record starts with its word; only lines that could be a
        // header, a banner or the abort record are read whole.
        const QChar first = doc->characterAt(block.position());
        if (first == bannerHead.front() || first == abort.front() || first == headerFirst) {
            const QString text = block.text();
            if (text.startsWith(bannerHead) || text == abort || IsHeader(text)) return std::nullopt;
        }
    }
    return std::nullopt;
}
