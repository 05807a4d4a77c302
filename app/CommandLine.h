// The command-line start: which folder the program's arguments name.
#pragma once

#include <QString>
#include <QStringList>

namespace tagshift::app {

// The argument text: the arguments after the program's name (Qt's own
// options already taken out), joined by single blanks.
QString ArgumentText(const QStringList& aArguments);

// The folder an argument text names: one pair of surrounding double quotes
// is removed, and trailing separators are dropped (a root stays a root);
// otherwise the text is taken as it is.
QString FolderFromArgumentText(const QString& sText);

}  // namespace tagshift::app
