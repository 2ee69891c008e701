#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "params/product_identity.h"
#include "platform/shell_open.h"

using namespace lumenfall;

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void setLog(const char* value) {
#if defined(_WIN32)
    _putenv_s(kShellOpenLogVariable, value ? value : "");
#else
    if (value)
        setenv(kShellOpenLogVariable, value, 1);
    else
        unsetenv(kShellOpenLogVariable);
#endif
}

}  // namespace

TEST(ShellOpen, TestModeAppendsEachAddressAsALineAndOpensNothing) {
    std::string log = testing::TempDir() + "shell_open_test.log";
    std::remove(log.c_str());
    setLog(log.c_str());
    EXPECT_TRUE(shellOpen("https://orvandel.example/a"));
    EXPECT_TRUE(shellOpen("file with spaces.html"));
    EXPECT_EQ(readAll(log), "https://orvandel.example/a\nfile with spaces.html\n");
    bool ok = false;
    EXPECT_TRUE(shellOpenLogged("x", &ok));
    EXPECT_TRUE(ok);
    setLog(nullptr);
    std::remove(log.c_str());
}

TEST(ShellOpen, UnwritableLogReportsFailureInsteadOfOpening) {
    setLog((testing::TempDir() + "no such folder/sub/log.txt").c_str());
    bool ok = true;
    EXPECT_TRUE(shellOpenLogged("https://orvandel.example/", &ok));
    EXPECT_FALSE(ok);
    EXPECT_FALSE(shellOpen("https://orvandel.example/"));
    setLog(nullptr);
    EXPECT_FALSE(shellOpenLogged("https://orvandel.example/", &ok));
}

TEST(ShellOpen, MakerAddressIsInTheReservedExampleDomain) {
    std::string address = kMakerWebAddress;
    ASSERT_EQ(address.rfind("https://", 0), 0u);
    std::string host = address.substr(8, address.find('/', 8) - 8);
    ASSERT_GE(host.size(), 8u);
    EXPECT_EQ(host.substr(host.size() - 8), ".example");
}
