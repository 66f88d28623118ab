#include "cli/password_option.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>

namespace trawlix::cli {

namespace {

std::string WithoutLineEnd(std::string aLine) {
    while (!aLine.empty() && (aLine.back() == '\n' || aLine.back() == '\r')) aLine.pop_back();
    return aLine;
}

// Turns the terminal's echo off for its lifetime, so that a typed password is not shown.
class TEchoOff {
public:
    explicit TEchoOff(int aFd) : fFd(aFd) {
        if (::tcgetattr(fFd, &fSaved) != 0) return;
        termios quiet = fSaved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        fActive = ::tcsetattr(fFd, TCSAFLUSH, &quiet) == 0;
    }
    ~TEchoOff() {
        if (fActive) ::tcsetattr(fFd, TCSAFLUSH, &fSaved);
    }
    TEchoOff(const TEchoOff&) = delete;
    TEchoOff& operator=(const TEchoOff&) = delete;

private:
    int fFd;
    termios fSaved{};
    bool fActive = false;
};

std::string ReadStandardInput() {
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    std::string line;
    if (terminal) {
        std::cerr << "Password: " << std::flush;
        TEchoOff echoOff(STDIN_FILENO);
        std::getline(std::cin, line);
        std::cerr << "\n";
    } else if (!std::getline(std::cin, line) && line.empty()) {
        throw CommandError("No password came on standard input.");
    }
    return WithoutLineEnd(line);
}

std::string ReadPasswordFile(const std::string& aFile) {
    std::ifstream in(aFile, std::ios::binary);
    if (!in) throw CommandError("The password file " + aFile + " could not be read.");
    std::string line;
    std::getline(in, line);
    return WithoutLineEnd(line);
}

}  // namespace

std::optional<std::string> PasswordOption(ArgParser& aArgs) {
    const std::optional<std::string> value = aArgs.Value("--password");
    const std::optional<std::string> file = aArgs.Value("--password-file");
    if (value && file) throw UsageError("give --password or --password-file, not both");
    if (file) return ReadPasswordFile(*file);
    if (value && *value == "-") return ReadStandardInput();
    return value;
}

}  // namespace trawlix::cli
