#include "app/crash_reports.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <sstream>
#include <typeinfo>

#include <cxxabi.h>

#define BACKWARD_HAS_DW 1
#include <backward.hpp>

namespace trawlix {

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE};
constexpr std::size_t kMaxFrames = 64;

// Kept from the install on, so that the handler has nothing to build before it writes.
std::string& ReportsFolder() {
    static std::string folder;
    return folder;
}

std::vector<TStackFrame> Symbolise(backward::StackTrace& aTrace) {
    backward::TraceResolver resolver;
    resolver.load_stacktrace(aTrace);
    std::vector<TStackFrame> frames;
    for (std::size_t i = 0; i < aTrace.size(); ++i) {
        const backward::ResolvedTrace trace = resolver.resolve(aTrace[i]);
        TStackFrame frame;
        frame.module = trace.object_filename;
        frame.procedure = trace.source.function.empty() ? trace.object_function : trace.source.function;
        frame.sourceFile = trace.source.filename;
        frame.line = trace.source.line;
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::string Demangle(const char* aName) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(aName, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : aName;
    std::free(demangled);
    return name;
}

void WriteAll(int aFd, const std::string& aText) {
    const char* at = aText.data();
    std::size_t left = aText.size();
    while (left > 0) {
        const ssize_t written = ::write(aFd, at, left);
        if (written <= 0) return;
        at += written;
        left -= static_cast<std::size_t>(written);
    }
}

// A report file of its own per crash: the time and the process make the name unique.
void WriteReport(const std::string& aClassName, const std::string& aMessage, const std::vector<TStackFrame>& aFrames) {
    if (ReportsFolder().empty()) return;
    // Made only now: a program that never crashes leaves no trace in the data folder.
    ::mkdir(ReportsFolder().c_str(), 0700);
    const std::string file = ReportsFolder() + "/crash-" + std::to_string(std::time(nullptr)) + "-" +
                             std::to_string(::getpid()) + ".txt";
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    WriteAll(fd, ExceptionDebugText(aClassName, aMessage, aFrames));
    ::close(fd);
}

void ResetToDefault() {
    for (int signal : kFatalSignals) ::signal(signal, SIG_DFL);
}

// The handler runs on a stack of its own, so that a stack overflow still leaves a report.
// Reading the debug data takes room: a megabyte, with a guard page below it so that
// running out ends in a fault rather than in someone else's memory.
void InstallAlternateStack() {
    static void* mapped = nullptr;
    if (mapped) return;
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t size = std::size_t{1} << 20;
    void* memory = ::mmap(nullptr, size + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return;
    ::mprotect(memory, page, PROT_NONE);
    mapped = memory;
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(memory) + page;
    stack.ss_size = size;
    ::sigaltstack(&stack, nullptr);
}

void OnFatalSignal(int aSignal, siginfo_t* aInfo, void* aContext) {
    // A second fault while writing ends the program the plain way.
    ResetToDefault();
    backward::StackTrace trace;
#if defined(__x86_64__)
    auto* context = static_cast<ucontext_t*>(aContext);
    void* faultAddress = reinterpret_cast<void*>(context->uc_mcontext.gregs[REG_RIP]);
    trace.load_from(faultAddress, kMaxFrames, aContext, aInfo->si_addr);
#else
    (void)aContext;
    trace.load_here(kMaxFrames);
#endif
    std::ostringstream message;
    message << ::strsignal(aSignal);
    if (aSignal != SIGABRT) message << " at address " << aInfo->si_addr;
    WriteReport(::sigabbrev_np(aSignal) ? std::string("SIG") + ::sigabbrev_np(aSignal) : "signal", message.str(),
                Symbolise(trace));
    ::raise(aSignal);
}

void OnTerminate() {
    std::string className = "std::terminate";
    std::string message = "terminate called without an active exception";
    if (const std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& error) {
            className = ExceptionClassName(error);
            message = error.what();
        } catch (...) {
            message = "an exception of an unknown type";
        }
    }
    WriteReport(className, message, CurrentStackFrames(1));
    ResetToDefault();
    std::abort();
}

}  // namespace

std::string ExceptionClassName(const std::exception& aError) { return Demangle(typeid(aError).name()); }

std::string Headline(const std::string& aText) { return aText.substr(0, aText.find_first_of("\r\n")); }

std::string LocationLine(const TStackFrame& aFrame) {
    return "\r\n Module: " + aFrame.module + " / Procedure: " + aFrame.procedure +
           " / Line:" + std::to_string(aFrame.line) + " / Source File: " + aFrame.sourceFile;
}

std::string ExceptionDebugText(const std::string& aClassName, const std::string& aMessage,
                               const std::vector<TStackFrame>& aFrames) {
    std::string text = "EXCEPTION TRACER Exception: " + aClassName + "\r\n";
    text += "  Message: " + aMessage + "\r\n";
    text += "\r\n occurred at: ";
    if (!aFrames.empty()) text += LocationLine(aFrames.front());
    text += "\r\n\r\nStack back trace for Exception: ";
    for (const TStackFrame& frame : aFrames) text += LocationLine(frame);
    return text;
}

std::vector<TStackFrame> CurrentStackFrames(std::size_t aSkip) {
    backward::StackTrace trace;
    trace.load_here(kMaxFrames);
    // This function and the tracer's own frame come first.
    trace.skip_n_firsts(aSkip + 2);
    return Symbolise(trace);
}

void InstallCrashHandler(const std::filesystem::path& aFolder) {
    ReportsFolder() = aFolder.string();
    InstallAlternateStack();
    struct sigaction action {};
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : kFatalSignals) ::sigaction(signal, &action, nullptr);
    std::set_terminate(OnTerminate);
}

std::filesystem::path CrashReportsFolder(const std::filesystem::path& aDataFolder) {
    return aDataFolder / "crash-reports";
}

std::vector<TCrashReport> ListCrashReports(const std::filesystem::path& aFolder) {
    std::vector<TCrashReport> reports;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(aFolder, error)) {
        if (!item.is_regular_file() || item.path().extension() != ".txt") continue;
        std::ifstream in(item.path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        reports.push_back({item.path(), text.str()});
    }
    std::sort(reports.begin(), reports.end(),
              [](const TCrashReport& a, const TCrashReport& b) { return a.file.filename() < b.file.filename(); });
    return reports;
}

}  // namespace trawlix
