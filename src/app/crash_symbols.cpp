#include "app/crash_symbols.h"

#include <elfutils/libdwfl.h>
#include <signal.h>

#include <cstring>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>

#include <cxxabi.h>

namespace trawlix {

namespace {

struct TDwflDeleter {
    void operator()(Dwfl* aDwfl) const { dwfl_end(aDwfl); }
};

const TMappedModule* ModuleOf(const std::vector<TMappedModule>& aModules, std::uint64_t aAddress) {
    for (const TMappedModule& module : aModules)
        if (aAddress >= module.start && aAddress < module.end) return &module;
    return nullptr;
}

// Where each file was loaded: the start of its mapping at file offset 0.
std::map<std::string, std::uint64_t> LoadAddresses(const std::vector<TMappedModule>& aModules) {
    std::map<std::string, std::uint64_t> bases;
    for (const TMappedModule& module : aModules)
        if (module.offset == 0 && !bases.count(module.path)) bases[module.path] = module.start;
    return bases;
}

std::string Demangled(const char* aName) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(aName, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : aName;
    std::free(demangled);
    return name;
}

std::string HexText(std::uint64_t aValue) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(aValue));
    return text;
}

void NameFrame(Dwfl* aDwfl, std::uint64_t aAddress, TStackFrame& aFrame) {
    Dwfl_Module* module = aDwfl ? dwfl_addrmodule(aDwfl, aAddress) : nullptr;
    if (!module) return;
    if (const char* name = dwfl_module_addrname(module, aAddress)) aFrame.procedure = Demangled(name);
    if (Dwfl_Line* line = dwfl_module_getsrc(module, aAddress)) {
        int lineNumber = 0;
        if (const char* file = dwfl_lineinfo(line, nullptr, &lineNumber, nullptr, nullptr, nullptr)) {
            aFrame.sourceFile = file;
            aFrame.line = static_cast<unsigned>(lineNumber);
        }
    }
}

struct TRawReport {
    int signal = 0;
    int code = 0;
    long sender = 0;
    long self = 0;
    std::uint64_t address = 0;
    std::uint64_t fault = 0;
    std::vector<std::uint64_t> frames;
    std::string maps;
};

TRawReport ReadRawReport(const std::string& aText) {
    TRawReport raw;
    std::istringstream lines(aText);
    std::string line;
    std::getline(lines, line);  // the header
    while (std::getline(lines, line) && line != "maps") {
        const auto space = line.find(' ');
        if (space == std::string::npos) continue;
        const std::string name = line.substr(0, space);
        const unsigned long long value = std::strtoull(line.c_str() + space + 1, nullptr, 0);
        if (name == "signal") raw.signal = static_cast<int>(value);
        if (name == "code") raw.code = static_cast<int>(value) - 1000;
        if (name == "sender") raw.sender = static_cast<long>(value);
        if (name == "self") raw.self = static_cast<long>(value);
        if (name == "address") raw.address = value;
        if (name == "fault") raw.fault = value;
        if (name == "frame") raw.frames.push_back(value);
    }
    std::ostringstream maps;
    maps << lines.rdbuf();
    raw.maps = maps.str();
    return raw;
}

std::string SignalName(int aSignal) {
    const char* abbreviation = ::sigabbrev_np(aSignal);
    return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(aSignal);
}

// What happened: a signal sent by another process is not a fault at an address.
std::string SignalMessage(const TRawReport& aRaw) {
    const char* description = ::sigdescr_np(aRaw.signal);
    std::string message = description ? description : SignalName(aRaw.signal);
    if (aRaw.code <= 0)
        return aRaw.sender == aRaw.self ? message : message + " sent by process " + std::to_string(aRaw.sender);
    if (aRaw.signal == SIGABRT) return message;
    std::ostringstream address;
    address << " at address " << reinterpret_cast<void*>(static_cast<std::uintptr_t>(aRaw.address));
    return message + address.str();
}

// The frames from the one that faulted on: the handler's own frames (and the signal's
// trampoline) come before it in the recorded stack. Where the faulting address is not found
// there, the whole recorded stack follows it.
std::vector<std::uint64_t> FramesFromFault(const TRawReport& aRaw) {
    std::vector<std::uint64_t> frames;
    if (aRaw.fault) frames.push_back(aRaw.fault);
    auto next = aRaw.frames.begin();
    for (auto at = aRaw.frames.begin(); at != aRaw.frames.end(); ++at)
        if (*at == aRaw.fault || *at == aRaw.fault + 1) next = at + 1;
    frames.insert(frames.end(), next, aRaw.frames.end());
    return frames;
}


}  // namespace

std::vector<TMappedModule> ParseModuleMap(const std::string& aMaps) {
    std::vector<TMappedModule> modules;
    std::istringstream lines(aMaps);
    for (std::string line; std::getline(lines, line);) {
        unsigned long long start = 0, end = 0, offset = 0;
        char permissions[8] = {};
        int pathAt = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx %7s %llx %*s %*s %n", &start, &end, permissions, &offset, &pathAt) < 4 ||
            pathAt <= 0 || static_cast<std::size_t>(pathAt) >= line.size() || line[static_cast<std::size_t>(pathAt)] != '/')
            continue;
        modules.push_back({start, end, offset, line.substr(static_cast<std::size_t>(pathAt))});
    }
    return modules;
}

std::vector<TStackFrame> SymboliseOffline(const std::vector<TMappedModule>& aModules,
                                          const std::vector<std::uint64_t>& aAddresses, bool aFirstIsFault) {
    static char* debugInfoPath = nullptr;
    static const Dwfl_Callbacks callbacks = {nullptr, dwfl_standard_find_debuginfo, dwfl_offline_section_address,
                                             &debugInfoPath};
    std::unique_ptr<Dwfl, TDwflDeleter> dwfl(dwfl_begin(&callbacks));
    const std::map<std::string, std::uint64_t> bases = LoadAddresses(aModules);
    if (dwfl) {
        dwfl_report_begin(dwfl.get());
        for (const auto& [path, base] : bases) dwfl_report_elf(dwfl.get(), path.c_str(), path.c_str(), -1, base, false);
        dwfl_report_end(dwfl.get(), nullptr, nullptr);
    }
    std::vector<TStackFrame> frames;
    for (std::size_t i = 0; i < aAddresses.size(); ++i) {
        // A return address points after its call; the call itself is one byte before.
        const std::uint64_t address = aAddresses[i] - ((i == 0 && aFirstIsFault) || aAddresses[i] == 0 ? 0 : 1);
        TStackFrame frame;
        const TMappedModule* module = ModuleOf(aModules, address);
        if (module) {
            frame.module = module->path;
            const auto base = bases.find(module->path);
            frame.procedure = HexText(address - (base != bases.end() ? base->second : module->start - module->offset));
        } else {
            frame.procedure = HexText(address);
        }
        NameFrame(dwfl.get(), address, frame);
        frames.push_back(std::move(frame));
    }
    return frames;
}


std::string SymbolisedReportText(const std::string& aRawText) {
    const TRawReport raw = ReadRawReport(aRawText);
    const std::vector<TStackFrame> frames =
        SymboliseOffline(ParseModuleMap(raw.maps), FramesFromFault(raw), raw.fault != 0);
    return ExceptionDebugText(SignalName(raw.signal), SignalMessage(raw), frames);
}

}  // namespace trawlix
