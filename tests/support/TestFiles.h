#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qzr::test {

// A fresh folder under the system's temporary folder, removed with everything in it at the end of the test.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

void writeFile(const std::string& path, const std::string& content);
void writeFile(const std::string& path, const std::vector<uint8_t>& content);
std::string readFile(const std::string& path);

// Runs the command-line program in-process; returns the exit status and the two outputs.
struct CliResult {
    int status = 0;
    std::string out;
    std::string err;
};
CliResult runCli(const std::vector<std::string>& args);

}  // namespace qzr::test
