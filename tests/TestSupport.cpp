#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace stdfs = std::filesystem;

namespace tagshift::test {

std::string Native(std::string sRelative) {
    for (char& c : sRelative)
        if (c == '/') c = fs::kSeparator;
    return sRelative;
}

TempDir::TempDir() {
    static std::mt19937_64 oRandom{std::random_device{}()};
    const stdfs::path oBase = stdfs::temp_directory_path();
    for (int iTry = 0; iTry < 100; ++iTry) {
        const stdfs::path oPath = oBase / ("tagshift-test-" + std::to_string(oRandom()));
        if (stdfs::create_directory(oPath)) {
            m_sPath = oPath.u8string();
            return;
        }
    }
    throw std::runtime_error("no temporary folder");
}

TempDir::~TempDir() { fs::RemoveTree(m_sPath); }

void WriteFile(const std::string& sPath, const std::string& sData) {
    stdfs::create_directories(stdfs::u8path(sPath).parent_path());
    std::ofstream oOut(stdfs::u8path(sPath), std::ios::binary | std::ios::trunc);
    oOut.write(sData.data(), static_cast<std::streamsize>(sData.size()));
    if (!oOut) throw std::runtime_error("cannot write " + sPath);
}

std::string ReadFile(const std::string& sPath) {
    std::ifstream oIn(stdfs::u8path(sPath), std::ios::binary);
    if (!oIn) throw std::runtime_error("cannot read " + sPath);
    std::ostringstream oText;
    oText << oIn.rdbuf();
    return oText.str();
}

bool Exists(const std::string& sPath) {
    std::error_code oError;
    return stdfs::exists(stdfs::symlink_status(stdfs::u8path(sPath), oError));
}

std::map<std::string, std::string> Snapshot(const std::string& sRoot) {
    std::map<std::string, std::string> aEntries;
    const stdfs::path oRoot = stdfs::u8path(sRoot);
    for (auto oIt = stdfs::recursive_directory_iterator(oRoot); oIt != stdfs::recursive_directory_iterator(); ++oIt) {
        const std::string sRelative = stdfs::relative(oIt->path(), oRoot).u8string();
        if (oIt->is_symlink())
            aEntries[sRelative] = "L:" + stdfs::read_symlink(oIt->path()).u8string();
        else if (oIt->is_directory())
            aEntries[sRelative] = "D:";
        else
            aEntries[sRelative] = "F:" + ReadFile(oIt->path().u8string());
    }
    return aEntries;
}

int RunProgram(const std::vector<std::string>& aArguments, std::string* pOutput, std::string* pErrors) {
    TempDir oDir;
    const std::string sOut = oDir / "out", sErr = pErrors ? oDir / "err" : std::string();
    const int iStatus = RunProgramToFiles(aArguments, sOut, sErr);
    if (pOutput && Exists(sOut)) *pOutput = ReadFile(sOut);
    if (pErrors && Exists(sErr)) *pErrors = ReadFile(sErr);
    return iStatus;
}

bool NodeAvailable() {
    static const bool bAvailable = [] {
        std::string sVersion;
        return RunProgram({"node", "--version"}, &sVersion) == 0 && sVersion.rfind('v', 0) == 0;
    }();
    return bAvailable;
}

std::vector<std::string> Leftovers(const std::string& sParent) {
    std::vector<std::string> aNames;
    for (const auto& oEntry : std::filesystem::directory_iterator(std::filesystem::u8path(sParent)))
        if (oEntry.path().filename() != "site") aNames.push_back(oEntry.path().filename().u8string());
    return aNames;
}

}  // namespace tagshift::test
