#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace stdfs = std::filesystem;

namespace tagshift::test {

std::string Native(std::string relative) {
    for (char& c : relative)
        if (c == '/') c = fs::kSeparator;
    return relative;
}

TempDir::TempDir() {
    static std::mt19937_64 randomEngine{std::random_device{}()};
    const stdfs::path base = stdfs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const stdfs::path fsPath = base / ("tagshift-test-" + std::to_string(randomEngine()));
        if (stdfs::create_directory(fsPath)) {
            path_ = fsPath.u8string();
            return;
        }
    }
    throw std::runtime_error("no temporary folder");
}

TempDir::~TempDir() { fs::RemoveTree(path_); }

void WriteFile(const std::string& path, const std::string& data) {
    stdfs::create_directories(stdfs::u8path(path).parent_path());
    std::ofstream outStream(stdfs::u8path(path), std::ios::binary | std::ios::trunc);
    outStream.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!outStream) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(stdfs::u8path(path), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) {
    std::error_code error;
    return stdfs::exists(stdfs::symlink_status(stdfs::u8path(path), error));
}

std::map<std::string, std::string> Snapshot(const std::string& root) {
    std::map<std::string, std::string> entries;
    const stdfs::path rootPath = stdfs::u8path(root);
    for (auto it = stdfs::recursive_directory_iterator(rootPath); it != stdfs::recursive_directory_iterator(); ++it) {
        const std::string relative = stdfs::relative(it->path(), rootPath).u8string();
        if (it->is_symlink())
            entries[relative] = "L:" + stdfs::read_symlink(it->path()).u8string();
        else if (it->is_directory())
            entries[relative] = "D:";
        else
            entries[relative] = "F:" + ReadFile(it->path().u8string());
    }
    return entries;
}

fs::FsError CopyTree(const std::string& source, const std::string& dest,
                     const std::function<bool(const std::string& name)>& skip) {
    if (fs::EntryExists(dest)) return fs::FsError{dest, "File exists"};
    if (fs::FsError made = fs::CreateFolders(dest); made.Failed()) return made;
    fs::FsError fail = fs::CopyTreeInto(source, dest, skip);
    if (fail.Failed()) fs::RemoveTree(dest);
    return fail;
}

void UndoAppend(const std::string& path, const fs::AppendMark& mark) {
    std::error_code error;
    if (mark.existed)
        stdfs::resize_file(stdfs::u8path(path), mark.size, error);
    else
        stdfs::remove(stdfs::u8path(path), error);
}

int RunProgram(const std::vector<std::string>& arguments, std::string* output, std::string* errors) {
    TempDir dir;
    const std::string out = dir / "out", err = errors ? dir / "err" : std::string();
    const int status = RunProgramToFiles(arguments, out, err);
    if (output && Exists(out)) *output = ReadFile(out);
    if (errors && Exists(err)) *errors = ReadFile(err);
    return status;
}

bool NodeAvailable() {
    static const bool available = [] {
        std::string version;
        return RunProgram({"node", "--version"}, &version) == 0 && version.rfind('v', 0) == 0;
    }();
    return available;
}

std::vector<std::string> Leftovers(const std::string& parent) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(parent)))
        if (entry.path().filename() != "site") names.push_back(entry.path().filename().u8string());
    return names;
}

}  // namespace tagshift::test
