#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const qzr::cli::Streams streams{std::cout, std::cerr, isatty(STDERR_FILENO) == 1, STDIN_FILENO,
                                    isatty(STDIN_FILENO) == 1};
    return qzr::cli::run(args, streams);
}
