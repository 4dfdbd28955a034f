// Glisp: regular expressions over the product's texts.
//
// Patterns use Perl syntax and match case-sensitively. A search runs without
// recursion, so a long text cannot exhaust the thread's stack; a search whose
// backtracking would grow beyond the library's limit is abandoned with
// qln::Exception instead of running for ever.
#pragma once

#include <memory>
#include <vector>

#include "qln/Config.h"
#include "qln/String.h"

namespace qln {

// The outcome of one search: whether the pattern was found and, when it was,
// where each group lies in the searched text.
class Matcher {
public:
    // No match.
    Matcher();

    bool matches() const { return found_; }
    // Groups of the match, group 0 (the whole match) included; 0 without a match.
    Uint32 groupCount() const { return static_cast<Uint32>(groups_.size()); }
    // The text of a group; empty without a match, for a group that took no
    // part in the match, and for an index not below groupCount().
    String getGroup(Uint32 index) const;
    // Position of a group in the searched text, in code units; String::NOT_FOUND
    // in the cases where getGroup is empty for want of a group.
    Uint32 getGroupStart(Uint32 index) const;
    // Length of a group in code units; 0 where getGroupStart is NOT_FOUND.
    Uint32 getGroupLength(Uint32 index) const;

private:
    friend class Regex;
    struct Group {
        Uint32 start;
        String text;
    };
    bool found_;
    std::vector<Group> groups_;
};

// A compiled pattern.
class Regex {
public:
    // The library's defaults: Perl syntax, case-sensitive. No other flags are
    // defined; a Regex built with any other value is invalid.
    static const Uint32 DEFAULT_FLAGS = 0;

    // Compiles an 8-bit pattern, one code unit per byte (bytes 80h-FFh stand
    // for U+0080-U+00FF). A pattern that does not compile gives an invalid
    // Regex; construction itself does not fail.
    Regex(const char* pattern, Uint32 flags);
    ~Regex();
    Regex(Regex&& other) noexcept;
    Regex& operator=(Regex&& other) noexcept;

    bool isPatternValid() const;
    // The first match anywhere in the text (the leftmost; among matches that
    // start there, the one Perl's rules choose). An invalid Regex finds
    // nothing. Raises qln::Exception when the search is abandoned at the
    // library's complexity or memory limit.
    Matcher match(const String& text) const;

private:
    Regex(const Regex&) = delete;
    Regex& operator=(const Regex&) = delete;
    struct Compiled;
    std::unique_ptr<Compiled> compiled_;
};

}  // namespace qln
