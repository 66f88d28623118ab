#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace trawlix {

// Options of a TCRegEx, combined with "|".
enum TPerlRegExOption : unsigned {
    preCaseLess = 1u << 0,
    preMultiLine = 1u << 1,
    preSingleLine = 1u << 2,  // "." also matches line breaks
    preExtended = 1u << 3,
    preAnchored = 1u << 4,
    preUnGreedy = 1u << 5,
    preNoAutoCapture = 1u << 6,
};
using TPerlRegExOptions = unsigned;

// One Perl-style pattern on PCRE2 (UTF-8 mode, any line end, JIT when available).
// Offsets and lengths are 1-based byte positions in the UTF-8 subject; 0 means "no match".
// Subjects that are not valid UTF-8 are matched without a crash: the bad bytes simply
// never match a character. A match that would take more work than a linear scan of the
// subject allows (a hostile page against a lazy pattern) raises instead of hanging.
class TCRegEx {
public:
    // Called by ReplaceAll for each match before the replacement text is expanded;
    // the handler may call SetReplacement to choose the text for this match.
    using TOnReplace = std::function<void(TCRegEx&)>;

    TCRegEx();
    explicit TCRegEx(const std::string& aRegEx, TPerlRegExOptions aOptions = preCaseLess | preSingleLine);
    ~TCRegEx();
    TCRegEx(const TCRegEx&) = delete;
    TCRegEx& operator=(const TCRegEx&) = delete;

    const std::string& GetRegEx() const { return fRegEx; }
    void SetRegEx(const std::string& aRegEx);
    TPerlRegExOptions GetOptions() const { return fOptions; }
    void SetOptions(TPerlRegExOptions aOptions);
    const std::string& GetSubject() const { return fSubject; }
    void SetSubject(std::string aSubject);
    const std::string& GetReplacement() const { return fReplacement; }
    void SetReplacement(std::string aReplacement) { fReplacement = std::move(aReplacement); }
    int GetStart() const { return fStart; }
    void SetStart(int aStart) { fStart = aStart; }
    void SetOnReplace(TOnReplace aOnReplace) { fOnReplace = std::move(aOnReplace); }

    // Compiles the pattern now; Match does it on first use after a change.
    void Compile();

    bool Match();       // from the start of the subject
    bool MatchAgain();  // from Start
    // Replaces every match in the subject, which then holds the result. True if any matched.
    bool ReplaceAll();
    // The replacement text with \0..\9 and \& expanded for the current match; "\\" is a backslash.
    std::string ComputeReplacement() const;

    bool FoundMatch() const { return fFound; }
    int SubExpressionCount() const;  // groups in the pattern, not counting group 0
    std::string SubExpressions(int aIndex) const;
    // The same without a copy; valid until the subject changes.
    std::string_view SubExpressionView(int aIndex) const;
    int SubExpressionOffsets(int aIndex) const;
    int SubExpressionLengths(int aIndex) const;
    std::string MatchedExpression() const { return SubExpressions(0); }
    int MatchedExpressionOffset() const { return SubExpressionOffsets(0); }
    int MatchedExpressionLength() const { return SubExpressionLengths(0); }

private:
    struct TPcre;
    bool MatchFrom(size_t aByteOffset);
    bool GroupSet(int aIndex) const;

    std::string fRegEx;
    TPerlRegExOptions fOptions = 0;
    std::string fSubject;
    std::string fReplacement;
    int fStart = 1;
    bool fFound = false;
    TOnReplace fOnReplace;
    std::unique_ptr<TPcre> fPcre;
};

}  // namespace trawlix
