#pragma once

#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "support/TestFiles.h"

namespace qzr::test {

// Runs the command-line program in-process with `input` as its standard input (a pipe that ends after it),
// as a script or a line feeds `run`.
inline CliResult runCliWithInput(const std::vector<std::string>& args, const std::string& input) {
    int fds[2];
    CliResult r;
    if (pipe(fds) != 0) {
        r.status = -1;
        return r;
    }
    // The input fits the pipe's buffer: it is all there before the program starts.
    const ssize_t written = write(fds[1], input.data(), input.size());
    close(fds[1]);
    std::ostringstream out, err;
    const cli::Streams streams{out, err, false, fds[0], false};
    r.status = written == static_cast<ssize_t>(input.size()) ? cli::run(args, streams) : -1;
    close(fds[0]);
    r.out = out.str();
    r.err = err.str();
    return r;
}

}  // namespace qzr::test
