#include "engine/regex.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <chrono>
#include <optional>
#include <stdexcept>

namespace trawlix {

namespace {

// Work allowed for one match: a fixed floor plus a few steps per byte still to be
// searched. Every pattern of the program scans a page in linear time, so a legitimate page
// stays far below this, while a page built to make a lazy pattern retry from every position
// (quadratic work) runs out of budget and fails instead of hanging the search thread.
constexpr uint64_t kMatchLimitFloor = 10'000;
constexpr uint64_t kMatchLimitPerByte = 64;
constexpr uint32_t kDepthLimit = 100'000;
// PCRE2 counts its match limit per start position, so a pattern that scans to the end of
// the page from every position (an e-mail pattern over a long run of letters without "@")
// stays under it while doing quadratic work. A callout at the head of every pattern runs
// once per start position and gives up when one search has run for longer than this.
constexpr std::chrono::milliseconds kSearchTimeFloor{1000};
constexpr std::chrono::milliseconds kSearchTimePerMegabyte{1000};
constexpr unsigned kCalloutsPerClockCheck = 256;
constexpr int kCalloutAbort = -1000;
const char kStartCallout[] = "(?C255)";
constexpr size_t kJitStackStart = 32 * 1024;
constexpr size_t kJitStackMax = 4 * 1024 * 1024;

std::string PcreMessage(int aErrorCode) {
    PCRE2_UCHAR buffer[256];
    if (pcre2_get_error_message(aErrorCode, buffer, sizeof buffer) < 0) return "unknown error";
    return reinterpret_cast<const char*>(buffer);
}

uint32_t PcreCompileOptions(TPerlRegExOptions aOptions) {
    uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
    if (aOptions & preCaseLess) options |= PCRE2_CASELESS;
    if (aOptions & preMultiLine) options |= PCRE2_MULTILINE;
    if (aOptions & preSingleLine) options |= PCRE2_DOTALL;
    if (aOptions & preExtended) options |= PCRE2_EXTENDED;
    if (aOptions & preAnchored) options |= PCRE2_ANCHORED;
    if (aOptions & preUnGreedy) options |= PCRE2_UNGREEDY;
    if (aOptions & preNoAutoCapture) options |= PCRE2_NO_AUTO_CAPTURE;
    return options;
}

// Length of the UTF-8 sequence starting with this byte; 1 for a stray byte.
size_t Utf8SequenceLength(unsigned char aLead) {
    if (aLead >= 0xF0 && aLead <= 0xF4) return 4;
    if (aLead >= 0xE0) return aLead <= 0xEF ? 3 : 1;
    if (aLead >= 0xC2) return 2;
    return 1;
}

// The clock is first read after kCalloutsPerClockCheck start positions: most searches end
// before that, and parsers run thousands of them per page.
struct TSearchDeadline {
    std::chrono::steady_clock::duration allowed;
    std::optional<std::chrono::steady_clock::time_point> deadline;
    unsigned calloutsUntilCheck = kCalloutsPerClockCheck;
};

int CheckSearchDeadline(pcre2_callout_block*, void* aData) {
    auto* search = static_cast<TSearchDeadline*>(aData);
    if (--search->calloutsUntilCheck > 0) return 0;
    search->calloutsUntilCheck = kCalloutsPerClockCheck;
    const auto now = std::chrono::steady_clock::now();
    if (!search->deadline) search->deadline = now + search->allowed;
    return now > *search->deadline ? kCalloutAbort : 0;
}

}  // namespace

struct TCRegEx::TPcre {
    pcre2_code* code = nullptr;
    pcre2_match_data* matchData = nullptr;
    pcre2_match_context* matchContext = nullptr;
    pcre2_jit_stack* jitStack = nullptr;

    TPcre() = default;
    TPcre(const TPcre&) = delete;
    TPcre& operator=(const TPcre&) = delete;
    ~TPcre() {
        pcre2_jit_stack_free(jitStack);
        pcre2_match_context_free(matchContext);
        pcre2_match_data_free(matchData);
        pcre2_code_free(code);
    }
};

TCRegEx::TCRegEx() = default;

TCRegEx::TCRegEx(const std::string& aRegEx, TPerlRegExOptions aOptions) : fRegEx(aRegEx), fOptions(aOptions) {}

TCRegEx::~TCRegEx() = default;

void TCRegEx::SetRegEx(const std::string& aRegEx) {
    if (aRegEx == fRegEx && fPcre) return;
    fRegEx = aRegEx;
    fPcre.reset();
    fFound = false;
}

void TCRegEx::SetOptions(TPerlRegExOptions aOptions) {
    if (aOptions == fOptions) return;
    fOptions = aOptions;
    fPcre.reset();
    fFound = false;
}

void TCRegEx::SetSubject(std::string aSubject) {
    fSubject = std::move(aSubject);
    fStart = 1;
    fFound = false;
}

void TCRegEx::Compile() {
    if (fRegEx.empty())
        throw std::runtime_error("TPerlRegEx2.Compile() - Please specify a regular expression in RegEx first");
    auto pcre = std::make_unique<TPcre>();
    pcre2_compile_context* compileContext = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(compileContext, PCRE2_NEWLINE_ANY);
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    // Leading "(*...)" settings must stay first, so such a pattern goes without the callout.
    bool withCallout = fRegEx.rfind("(*", 0) != 0;
    std::string pattern = withCallout ? kStartCallout + fRegEx : fRegEx;
    pcre->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                               PcreCompileOptions(fOptions), &errorCode, &errorOffset, compileContext);
    pcre2_compile_context_free(compileContext);
    if (!pcre->code) {
        size_t calloutLength = withCallout ? sizeof kStartCallout - 1 : 0;
        errorOffset = errorOffset > calloutLength ? errorOffset - calloutLength : 0;
        throw std::runtime_error("TPerlRegEx2.Compile() - Error in regex at offset " + std::to_string(errorOffset) +
                                 ": " + PcreMessage(errorCode));
    }
    // Without JIT support the interpreter runs the same pattern; only speed differs.
    pcre2_jit_compile(pcre->code, PCRE2_JIT_COMPLETE);
    pcre->matchData = pcre2_match_data_create_from_pattern(pcre->code, nullptr);
    pcre->matchContext = pcre2_match_context_create(nullptr);
    pcre->jitStack = pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr);
    if (!pcre->matchData || !pcre->matchContext || !pcre->jitStack) throw std::bad_alloc();
    pcre2_jit_stack_assign(pcre->matchContext, nullptr, pcre->jitStack);
    pcre2_set_depth_limit(pcre->matchContext, kDepthLimit);
    fPcre = std::move(pcre);
}

bool TCRegEx::Match() { return MatchFrom(0); }

bool TCRegEx::MatchAgain() {
    if (fStart < 1) return MatchFrom(0);
    return MatchFrom(static_cast<size_t>(fStart) - 1);
}

bool TCRegEx::MatchFrom(size_t aByteOffset) {
    if (!fPcre) Compile();
    fFound = false;
    if (aByteOffset > fSubject.size()) return false;
    // A resumed search may land inside a multi-byte character; move to its end.
    while (aByteOffset < fSubject.size() && (static_cast<unsigned char>(fSubject[aByteOffset]) & 0xC0) == 0x80)
        ++aByteOffset;
    uint64_t budget = kMatchLimitFloor + kMatchLimitPerByte * (fSubject.size() - aByteOffset);
    pcre2_set_match_limit(fPcre->matchContext, budget > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(budget));
    TSearchDeadline deadline;
    deadline.allowed =
        kSearchTimeFloor + kSearchTimePerMegabyte * static_cast<long>((fSubject.size() - aByteOffset) >> 20);
    pcre2_set_callout(fPcre->matchContext, CheckSearchDeadline, &deadline);
    int rc = pcre2_match(fPcre->code, reinterpret_cast<PCRE2_SPTR>(fSubject.data()), fSubject.size(), aByteOffset,
                         0, fPcre->matchData, fPcre->matchContext);
    if (rc == PCRE2_ERROR_NOMATCH) return false;
    if (rc == kCalloutAbort) throw std::runtime_error("TPerlRegEx2.Match() - the search took too long");
    if (rc < 0) throw std::runtime_error("TPerlRegEx2.Match() - " + PcreMessage(rc));
    fFound = true;
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(fPcre->matchData);
    size_t end = ovector[1];
    if (ovector[1] == ovector[0] && end < fSubject.size())
        end += Utf8SequenceLength(static_cast<unsigned char>(fSubject[end]));
    else if (ovector[1] == ovector[0])
        end += 1;
    fStart = static_cast<int>(end) + 1;
    return true;
}

int TCRegEx::SubExpressionCount() const {
    if (!fPcre) return 0;
    uint32_t count = 0;
    pcre2_pattern_info(fPcre->code, PCRE2_INFO_CAPTURECOUNT, &count);
    return static_cast<int>(count);
}

bool TCRegEx::GroupSet(int aIndex) const {
    if (!fFound || aIndex < 0 || aIndex > SubExpressionCount()) return false;
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(fPcre->matchData);
    return ovector[2 * aIndex] != PCRE2_UNSET;
}

std::string TCRegEx::SubExpressions(int aIndex) const { return std::string(SubExpressionView(aIndex)); }

std::string_view TCRegEx::SubExpressionView(int aIndex) const {
    if (!GroupSet(aIndex)) return {};
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(fPcre->matchData);
    return std::string_view(fSubject).substr(ovector[2 * aIndex], ovector[2 * aIndex + 1] - ovector[2 * aIndex]);
}

int TCRegEx::SubExpressionOffsets(int aIndex) const {
    if (!GroupSet(aIndex)) return 0;
    return static_cast<int>(pcre2_get_ovector_pointer(fPcre->matchData)[2 * aIndex]) + 1;
}

int TCRegEx::SubExpressionLengths(int aIndex) const {
    if (!GroupSet(aIndex)) return 0;
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(fPcre->matchData);
    return static_cast<int>(ovector[2 * aIndex + 1] - ovector[2 * aIndex]);
}

std::string TCRegEx::ComputeReplacement() const {
    std::string result;
    for (size_t i = 0; i < fReplacement.size(); ++i) {
        char c = fReplacement[i];
        if (c != '\\' || i + 1 == fReplacement.size()) {
            result += c;
            continue;
        }
        char next = fReplacement[++i];
        if (next >= '0' && next <= '9')
            result += SubExpressions(next - '0');
        else if (next == '&')
            result += SubExpressions(0);
        else if (next == '\\')
            result += '\\';
        else {
            result += c;
            result += next;
        }
    }
    return result;
}

bool TCRegEx::ReplaceAll() {
    std::string result;
    size_t copiedUpTo = 0;
    bool any = false;
    for (bool found = Match(); found; found = MatchAgain()) {
        any = true;
        if (fOnReplace) fOnReplace(*this);
        size_t matchStart = static_cast<size_t>(MatchedExpressionOffset() - 1);
        result.append(fSubject, copiedUpTo, matchStart - copiedUpTo);
        result += ComputeReplacement();
        copiedUpTo = matchStart + static_cast<size_t>(MatchedExpressionLength());
    }
    if (!any) return false;
    result.append(fSubject, copiedUpTo, std::string::npos);
    SetSubject(std::move(result));
    return true;
}

}  // namespace trawlix
