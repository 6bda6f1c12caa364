// Shared procedures of the search conditions: the folder browser's entry, its
// directory test and the variable through which the browser answers.
#pragma once

#include <QString>

class Prompts;
class QWidget;

namespace CommonModule {

// The folder browser's last answer, set as SelectDirectory's browser closes:
// the chosen path after its Ok, the empty text after its Cancel (or closing
// its window). Empty at start; not reset when the browser opens. Used on the
// user-interface thread only.
extern QString SelectedPath;

// Shows the folder browser modally over `parent`, preset to `startPath` when
// CheckDirectory accepts it (otherwise on the current directory), and returns
// the chosen directory or "" when cancelled. Failures the browser reports go
// through `prompts` (ordinary message boxes when null).
QString SelectDirectory(const QString& startPath, QWidget* parent = nullptr, Prompts* prompts = nullptr);

// True when `path` names an existing directory as spelled on disk: at least
// two characters; one trailing '/' is dropped; the last component must be a
// directory (symbolic links followed) whose name as its parent lists it
// occurs within the path, compared case-sensitively. A file, a missing path
// or a parent that cannot be listed gives false. A root that survives the
// length rule ("//") counts as a directory.
bool CheckDirectory(const QString& path);

}  // namespace CommonModule
