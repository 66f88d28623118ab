#pragma once

#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace trawlix {

// One frame of a call stack, as far as it could be named.
struct TStackFrame {
    std::string module;      // the program or library file
    std::string procedure;   // the function, demangled
    std::string sourceFile;
    unsigned line = 0;
};

// "\r\n Module: m / Procedure: p / Line:n / Source File: f"
std::string LocationLine(const TStackFrame& aFrame);

// The text the error window shows and an error report carries: the error's kind and
// message, where it happened (the first frame) and the whole stack.
std::string ExceptionDebugText(const std::string& aClassName, const std::string& aMessage,
                               const std::vector<TStackFrame>& aFrames);

// The error's class, demangled ("std::runtime_error").
std::string ExceptionClassName(const std::exception& aError);

// The first line of a report: what happened.
std::string Headline(const std::string& aText);

// The calling thread's stack, symbolised, its caller first after aSkip frames.
std::vector<TStackFrame> CurrentStackFrames(std::size_t aSkip = 0);

// From now on a fatal signal (SIGSEGV, SIGABRT, SIGBUS, SIGFPE) or std::terminate writes a
// crash report into aFolder (made when needed; its parent must exist) before the program ends as it would have.
void InstallCrashHandler(const std::filesystem::path& aFolder);

// Where a data folder keeps the crash reports.
std::filesystem::path CrashReportsFolder(const std::filesystem::path& aDataFolder);

struct TCrashReport {
    std::filesystem::path file;
    std::string text;
};

// The reports waiting in aFolder, oldest first; none when the folder is missing.
std::vector<TCrashReport> ListCrashReports(const std::filesystem::path& aFolder);

}  // namespace trawlix
