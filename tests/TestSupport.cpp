#include "TestSupport.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace stdfs = std::filesystem;

namespace tagshift::test {

TempDir::TempDir() {
    std::string sTemplate = (stdfs::temp_directory_path() / "tagshift-test-XXXXXX").string();
    if (!::mkdtemp(sTemplate.data())) throw std::runtime_error("mkdtemp failed");
    m_sPath = sTemplate;
}

TempDir::~TempDir() {
    std::error_code oError;
    stdfs::remove_all(m_sPath, oError);
}

void WriteFile(const std::string& sPath, const std::string& sData) {
    stdfs::create_directories(stdfs::path(sPath).parent_path());
    std::ofstream oOut(sPath, std::ios::binary | std::ios::trunc);
    oOut.write(sData.data(), static_cast<std::streamsize>(sData.size()));
    if (!oOut) throw std::runtime_error("cannot write " + sPath);
}

std::string ReadFile(const std::string& sPath) {
    std::ifstream oIn(sPath, std::ios::binary);
    if (!oIn) throw std::runtime_error("cannot read " + sPath);
    std::ostringstream oText;
    oText << oIn.rdbuf();
    return oText.str();
}

bool Exists(const std::string& sPath) {
    std::error_code oError;
    return stdfs::exists(stdfs::symlink_status(sPath, oError));
}

std::map<std::string, std::string> Snapshot(const std::string& sRoot) {
    std::map<std::string, std::string> aEntries;
    for (auto oIt = stdfs::recursive_directory_iterator(sRoot); oIt != stdfs::recursive_directory_iterator(); ++oIt) {
        const std::string sRelative = stdfs::relative(oIt->path(), sRoot).string();
        if (oIt->is_symlink())
            aEntries[sRelative] = "L:" + stdfs::read_symlink(oIt->path()).string();
        else if (oIt->is_directory())
            aEntries[sRelative] = "D:";
        else
            aEntries[sRelative] = "F:" + ReadFile(oIt->path().string());
    }
    return aEntries;
}

int RunCommand(const std::string& sCommand, std::string* pOutput, bool bMergeErrors) {
    FILE* pPipe = ::popen((sCommand + (bMergeErrors ? " 2>&1" : "")).c_str(), "r");
    if (!pPipe) return -1;
    std::array<char, 4096> aBuffer{};
    std::size_t iRead;
    while ((iRead = std::fread(aBuffer.data(), 1, aBuffer.size(), pPipe)) > 0)
        if (pOutput) pOutput->append(aBuffer.data(), iRead);
    int iStatus = ::pclose(pPipe);
    return WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1;
}

std::string ShellQuote(const std::string& sText) {
    std::string sQuoted = "'";
    for (char c : sText) sQuoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return sQuoted + "'";
}

void RecordingHost::ShowStatus(const std::string& sText) {
    aStatuses.push_back(sText);
    if (fOnStatus) fOnStatus(sText);
    ProcessEvents();
}

void RecordingHost::SetActionsEnabled(bool bEnabled) {
    bActionsEnabled = bEnabled;
    aEnableChanges.push_back(bEnabled);
}

void RecordingHost::ShowMessage(const std::string& sPrompt, int iStyle, const std::string& sTitle) {
    aMessages.push_back(Message{sPrompt, iStyle, sTitle, bActionsEnabled});
}

}  // namespace tagshift::test
