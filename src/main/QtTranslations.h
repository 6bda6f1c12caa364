// Qt's own texts (standard dialogs, message-box buttons, text box context
// menus) in Japanese whatever the locale, so they match the program's captions.
#pragma once

#include <QString>

class QCoreApplication;

namespace textrove {

// Installs Qt's Japanese catalogue (qtbase_ja.qm) from `directory`, by default
// Qt's translations directory, for the life of `app`. Returns false and leaves
// the English texts when the catalogue is missing or unreadable.
bool InstallQtTranslations(QCoreApplication& app, const QString& directory = QString());

}  // namespace textrove
