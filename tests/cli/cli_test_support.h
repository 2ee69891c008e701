// What the command tests share: running a command line with its output,
// and reading a whole file.
#ifndef LUMENFALL_TESTS_CLI_CLI_TEST_SUPPORT_H
#define LUMENFALL_TESTS_CLI_CLI_TEST_SUPPORT_H

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace lumenfall_cli_test {

// Standard output and error together; `code` receives the exit code (-1
// when the command did not exit normally).
inline std::string run(const std::string& command, int* code) {
    std::string out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    char buffer[4096];
    for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int status = pipe ? pclose(pipe) : -1;
    *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace lumenfall_cli_test

#endif
