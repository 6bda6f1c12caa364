#include "results/PaneCharacters.h"

namespace textrove {
namespace {

// The character at `i`: its UTF-16 units and what it counts for.
struct Step {
    qsizetype units;
    qsizetype count;
};

Step StepAt(QStringView text, qsizetype i)
{
    const QChar c = text[i];
    const bool pair = c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
    const bool lineBreak = c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
    return {pair ? 2 : 1, lineBreak ? kPaneLineBreak : 1};
}

}  // namespace

qsizetype PaneCharacters(QStringView text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size();) {
        const Step step = StepAt(text, i);
        count += step.count;
        i += step.units;
    }
    return count;
}

qsizetype PanePrefixWithin(QStringView text, qsizetype characters)
{
    qsizetype count = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const Step step = StepAt(text, i);
        if (count + step.count > characters) break;
        count += step.count;
        i += step.units;
    }
    return i;
}

}  // namespace textrove
