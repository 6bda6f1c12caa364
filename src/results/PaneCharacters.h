// How the result pane counts its characters against its capacity, in one
// place: the pane's own count and the search worker's check before handing
// records over both use it, so they agree on when the pane is full.
#pragma once

#include <QStringView>

namespace textrove {

// Characters the line break before each record counts for (CR LF).
inline constexpr qsizetype kPaneLineBreak = 2;

// Code points; a paragraph or line separator counts kPaneLineBreak (the pane
// shows it as a line break, and its text gives it as CR LF).
qsizetype PaneCharacters(QStringView text);

// UTF-16 length of the longest prefix of `text` that counts as at most
// `characters`; never ends inside a surrogate pair.
qsizetype PanePrefixWithin(QStringView text, qsizetype characters);

}  // namespace textrove
