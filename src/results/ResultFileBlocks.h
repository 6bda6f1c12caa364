// Which file a line of the result text belongs to. A banner line appended by
// a search carries the path's bytes (a name need not be valid UTF-8, so the
// path cannot be read back from the text); the lines below it up to the next
// empty line belong to that file.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>

class QTextBlock;

class ResultFileBlocks {
public:
    // Paths of banner records in a run of appended records: record index -> path bytes.
    using BannerPaths = QMap<qsizetype, QByteArray>;

    // `banner` is the banner line's block, holding `text` as appended.
    static void Mark(const QTextBlock& banner, const QString& text, const QByteArray& path);

    // The path of the file block holding `line`: the banner's own path for a
    // banner line, the nearest banner above for a record below it. None for
    // the header, an empty line, the abort record, a line above any marked
    // banner, and a banner the user has edited (or whose mark was lost): the
    // text no longer says which file it is, so nothing is guessed.
    static std::optional<QByteArray> PathAt(const QTextBlock& line);
};
