#include "app/crash_reports.h"

#include "app/crash_symbols.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <signal.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <execinfo.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

// Where an uncaught error's report goes (the signal handler keeps its own copy below).
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

// The handler runs on a stack of its own, so that a stack overflow still leaves a report,
// with a guard page below it so that running out ends in a fault rather than in someone
// else's memory.
void InstallAlternateStack() {
    static void* mapped = nullptr;
    if (mapped) return;
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t size = std::size_t{256} << 10;
    void* memory = ::mmap(nullptr, size + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return;
    ::mprotect(memory, page, PROT_NONE);
    mapped = memory;
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(memory) + page;
    stack.ss_size = size;
    ::sigaltstack(&stack, nullptr);
}

// --- the signal side: async-signal-safe calls only ---------------------------------------
//
// A fatal signal may strike while malloc, the loader or a stream holds its lock; the handler
// then must neither allocate nor lock. It writes what it can read without help (the signal,
// the raw frame addresses, the module map of /proc/self/maps) to a file of its own and ends
// the process; the report is symbolised later, when the reports are listed.

constexpr std::size_t kMaxPath = 4096;
char gRawFolder[kMaxPath] = {};  // the reports folder, copied at installation
std::atomic<bool> gHandling{false};

// Appends text to a fixed buffer, never past its end.
struct TSafeText {
    char* buffer;
    std::size_t size;
    std::size_t used = 0;

    void Add(const char* aText) {
        while (*aText && used + 1 < size) buffer[used++] = *aText++;
        buffer[used] = '\0';
    }
    void AddNumber(unsigned long long aValue, unsigned aBase) {
        char digits[32];
        int count = 0;
        do {
            digits[count++] = "0123456789abcdef"[aValue % aBase];
            aValue /= aBase;
        } while (aValue && count < 32);
        char text[40];
        int at = 0;
        if (aBase == 16) {
            text[at++] = '0';
            text[at++] = 'x';
        }
        while (count) text[at++] = digits[--count];
        text[at] = '\0';
        Add(text);
    }
};

void WriteAllSafe(int aFd, const char* aData, std::size_t aLength) {
    while (aLength > 0) {
        const ssize_t written = ::write(aFd, aData, aLength);
        if (written <= 0) return;
        aData += written;
        aLength -= static_cast<std::size_t>(written);
    }
}

void WriteLine(int aFd, const char* aName, unsigned long long aValue, unsigned aBase) {
    char line[96];
    TSafeText text{line, sizeof line};
    text.Add(aName);
    text.Add(" ");
    text.AddNumber(aValue, aBase);
    text.Add("\n");
    WriteAllSafe(aFd, line, text.used);
}

void CopyModuleMap(int aFd) {
    const int maps = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (maps < 0) return;
    char block[4096];
    for (ssize_t got; (got = ::read(maps, block, sizeof block)) > 0;) WriteAllSafe(aFd, block, static_cast<std::size_t>(got));
    ::close(maps);
}

void WriteRawReport(int aSignal, const siginfo_t* aInfo, void* aContext) {
    if (!gRawFolder[0]) return;
    ::mkdir(gRawFolder, 0700);
    char name[kMaxPath + 64], part[kMaxPath + 80];
    TSafeText path{name, sizeof name};
    path.Add(gRawFolder);
    path.Add("/crash-");
    path.AddNumber(static_cast<unsigned long long>(::time(nullptr)), 10);
    path.Add("-");
    path.AddNumber(static_cast<unsigned long long>(::getpid()), 10);
    path.Add(kRawReportExtension);
    TSafeText partPath{part, sizeof part};
    partPath.Add(name);
    partPath.Add(".part");
    const int fd = ::open(part, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    WriteAllSafe(fd, kRawReportHeader, std::strlen(kRawReportHeader));
    WriteLine(fd, "signal", static_cast<unsigned>(aSignal), 10);
    WriteLine(fd, "code", static_cast<unsigned>(aInfo->si_code + 1000), 10);
    WriteLine(fd, "sender", static_cast<unsigned>(aInfo->si_pid), 10);
    WriteLine(fd, "self", static_cast<unsigned>(::getpid()), 10);
    WriteLine(fd, "address", reinterpret_cast<std::uintptr_t>(aInfo->si_addr), 16);
#if defined(__x86_64__)
    const auto* context = static_cast<const ucontext_t*>(aContext);
    WriteLine(fd, "fault", static_cast<unsigned long long>(context->uc_mcontext.gregs[REG_RIP]), 16);
#else
    (void)aContext;
#endif
    // Loaded at installation, the unwinder finds the frames without allocating or locking
    // (libgcc looks them up through glibc's _dl_find_object).
    void* frames[kMaxFrames];
    const int count = ::backtrace(frames, static_cast<int>(kMaxFrames));
    for (int i = 0; i < count; ++i) WriteLine(fd, "frame", reinterpret_cast<std::uintptr_t>(frames[i]), 16);
    WriteAllSafe(fd, "maps\n", 5);
    CopyModuleMap(fd);
    ::fsync(fd);
    ::close(fd);
    ::rename(part, name);
}

void EndWithSignal(int aSignal) {
    ResetToDefault();
    sigset_t unblocked;
    sigemptyset(&unblocked);
    sigaddset(&unblocked, aSignal);
    ::sigprocmask(SIG_UNBLOCK, &unblocked, nullptr);
    ::raise(aSignal);
    ::_exit(128 + aSignal);  // should the signal not end the process after all
}

void OnFatalSignal(int aSignal, siginfo_t* aInfo, void* aContext) {
    // Only the first signal writes; a fault of another thread at the same time waits for the
    // end the first brings. Signals sent meanwhile wait, blocked, for the same end.
    if (gHandling.exchange(true)) {
        const timespec pause{0, 100 * 1000 * 1000};
        for (int i = 0; i < 50; ++i) ::nanosleep(&pause, nullptr);
        ::_exit(128 + aSignal);
    }
    WriteRawReport(aSignal, aInfo, aContext);
    EndWithSignal(aSignal);
}

// Turns a raw report into its text beside it and removes the raw one; a reader that comes
// at the same time finds one or the other, never half a report.
void SymboliseRawReport(const std::filesystem::path& aRawFile) {
    std::ifstream in(aRawFile, std::ios::binary);
    std::stringstream raw;
    raw << in.rdbuf();
    if (!in && raw.str().empty()) return;
    std::filesystem::path text = aRawFile;
    text.replace_extension(".txt");
    std::filesystem::path scratch = text;
    scratch += "." + std::to_string(::getpid()) + ".part";
    {
        std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
        out << SymbolisedReportText(raw.str());
        if (!out) return;
    }
    std::error_code error;
    ::chmod(scratch.c_str(), 0600);
    std::filesystem::rename(scratch, text, error);
    if (!error) std::filesystem::remove(aRawFile, error);
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
    const std::string absolute = std::filesystem::absolute(aFolder).string();
    std::snprintf(gRawFolder, sizeof gRawFolder, "%s", absolute.size() < sizeof gRawFolder ? absolute.c_str() : "");
    // The first call loads the unwinder; the handler must find it loaded.
    void* warmUp[2];
    ::backtrace(warmUp, 2);
    InstallAlternateStack();
    struct sigaction action {};
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    // The other fatal signals wait while one is handled: a burst of them ends in one report.
    for (int signal : kFatalSignals) sigaddset(&action.sa_mask, signal);
    for (int signal : kFatalSignals) ::sigaction(signal, &action, nullptr);
    std::set_terminate(OnTerminate);
}

std::filesystem::path CrashReportsFolder(const std::filesystem::path& aDataFolder) {
    return aDataFolder / "crash-reports";
}

std::vector<TCrashReport> ListCrashReports(const std::filesystem::path& aFolder) {
    std::vector<TCrashReport> reports;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(aFolder, error))
        if (item.is_regular_file() && item.path().extension() == kRawReportExtension) SymboliseRawReport(item.path());
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
