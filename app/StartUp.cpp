#include "app/StartUp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "fs/FileSystem.h"

namespace tagshift::app {

namespace {

std::string Join(const std::string& sFolder, const char* sName) {
    return sFolder.empty() ? std::string() : fs::JoinPath(sFolder, sName);
}

// The core's paths are UTF-8 on every platform (Qt's local 8-bit encoding is
// the ANSI code page on Windows).
std::string NativePath(const QString& sPath) {
    return sPath.isEmpty() ? std::string() : QDir::toNativeSeparators(sPath).toUtf8().toStdString();
}

// Creates sPath as an empty file, leaving a file that is already there as it
// is (appending nothing to it changes nothing).
fs::FsError CreateEmpty(const std::string& sPath) {
    fs::AppendMark oMark;
    return fs::AppendToFile(sPath, std::string_view(), oMark);
}

}  // namespace

void ConfigureApplicationNames() {
    // No organisation name: the configuration folder is then just the
    // program's name (~/.config/tagshift) rather than a nested pair.
    QCoreApplication::setApplicationName(QStringLiteral("tagshift"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAGSHIFT_VERSION));
}

StartUpPaths DefaultStartUpPaths() {
    StartUpPaths oPaths;
    oPaths.sProgramDir = NativePath(QCoreApplication::applicationDirPath());
    oPaths.sConfigDir = NativePath(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    return oPaths;
}

std::string ProgramMarkerPath(const StartUpPaths& oPaths) { return Join(oPaths.sProgramDir, kMarkerName); }

std::string ConfigMarkerPath(const StartUpPaths& oPaths) { return Join(oPaths.sConfigDir, kMarkerName); }

bool SkipMarkerExists(const StartUpPaths& oPaths) {
    for (const std::string& sPath : {ProgramMarkerPath(oPaths), ConfigMarkerPath(oPaths)})
        if (!sPath.empty() && fs::FileExists(sPath)) return true;
    return false;
}

MarkerWrite CreateSkipMarker(const StartUpPaths& oPaths, std::string* sReason) {
    std::string sWhy;
    if (const std::string sPath = ProgramMarkerPath(oPaths); !sPath.empty()) {
        fs::FsError oError = CreateEmpty(sPath);
        if (!oError.Failed()) return MarkerWrite::ProgramFolder;
        sWhy = oError.sPath + ": " + oError.sReason;
    }
    if (const std::string sPath = ConfigMarkerPath(oPaths); !sPath.empty()) {
        if (!QDir().mkpath(QString::fromUtf8(oPaths.sConfigDir.c_str()))) {
            sWhy += (sWhy.empty() ? "" : "; ") + oPaths.sConfigDir + ": the folder could not be created";
        } else {
            fs::FsError oError = CreateEmpty(sPath);
            if (!oError.Failed()) return MarkerWrite::ConfigFolder;
            sWhy += (sWhy.empty() ? "" : "; ") + oError.sPath + ": " + oError.sReason;
        }
    }
    if (sReason) *sReason = sWhy.empty() ? "no folder to write the marker to" : sWhy;
    return MarkerWrite::NotWritten;
}

}  // namespace tagshift::app
