#include "app/CommandLine.h"

#include <QDir>

namespace tagshift::app {

QString ArgumentText(const QStringList& aArguments) {
    return aArguments.mid(1).join(QLatin1Char(' '));
}

QString FolderFromArgumentText(const QString& sText) {
    QString sFolder = sText;
    if (sFolder.size() >= 2 && sFolder.startsWith(QLatin1Char('"')) && sFolder.endsWith(QLatin1Char('"')))
        sFolder = sFolder.mid(1, sFolder.size() - 2);
    // "site/" would otherwise give "site/_Converted", a folder inside the
    // source that the copy would have to copy into itself.
    const QChar cSeparator = QDir::separator();
    auto bIsSeparator = [&](QChar c) { return c == QLatin1Char('/') || c == cSeparator; };
    while (sFolder.size() > 1 && bIsSeparator(sFolder.back())) {
#ifdef Q_OS_WIN
        if (sFolder.size() == 3 && sFolder[1] == QLatin1Char(':')) break;  // "C:\" is a root
#endif
        sFolder.chop(1);
    }
    return sFolder;
}

}  // namespace tagshift::app
