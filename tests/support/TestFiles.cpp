#include "support/TestFiles.h"

#include <fstream>
#include <random>
#include <sstream>

#include "cli/Cli.h"

namespace qzr::test {

TempDir::TempDir() {
    std::random_device rd;
    path_ =
        std::filesystem::temp_directory_path() / ("qzr-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream f(path, std::ios::binary);
    f << content;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& content) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

CliResult runCli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliResult r;
    r.status = cli::run(args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

}  // namespace qzr::test
