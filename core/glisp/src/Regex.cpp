// Boost.Regex in its standalone mode: header-only, without the rest of Boost.
// Its matcher keeps its backtracking state on the heap, where the standard
// library's recurses once per character and overflows the stack on long texts.
#define BOOST_REGEX_STANDALONE
// The backtracking state may grow to this many 4 KiB blocks (16 MiB) before a
// search is abandoned. The library's default of 1024 blocks does not carry a
// repeated group across a 64 KiB text on 64 bits, where each saved state is
// twice as large.
#define BOOST_REGEX_MAX_BLOCKS 4096
#include <boost/regex.hpp>

#include "qln/Regex.h"

#include <exception>
#include <new>
#include <string>

#include "qln/Exception.h"

namespace qln {

namespace {

// Error code of an abandoned search.
const int kSearchAbandoned = 3;

}  // namespace

struct Regex::Compiled {
    boost::wregex expression;
};

Matcher::Matcher() : found_(false) {}

String Matcher::getGroup(Uint32 index) const {
    return index < groups_.size() ? groups_[index].text : String();
}

Uint32 Matcher::getGroupStart(Uint32 index) const {
    return index < groups_.size() ? groups_[index].start : String::NOT_FOUND;
}

Uint32 Matcher::getGroupLength(Uint32 index) const {
    return index < groups_.size() && groups_[index].start != String::NOT_FOUND
               ? groups_[index].text.size()
               : 0;
}

Regex::Regex(const char* pattern, Uint32 flags) {
    if (pattern == nullptr || flags != DEFAULT_FLAGS)
        return;
    std::wstring wide;
    for (const char* p = pattern; *p != '\0'; ++p)
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
    try {
        std::unique_ptr<Compiled> compiled(new Compiled);
        // Perl's own defaults: a dot stops at a line end, ^ and $ anchor at the
        // ends of the text; (?s) and (?m) turn either on inside a pattern.
        compiled->expression.assign(wide, boost::regex_constants::perl |
                                              boost::regex_constants::no_mod_s |
                                              boost::regex_constants::no_mod_m);
        compiled_ = std::move(compiled);
    } catch (const std::exception&) {
        // boost::regex_error for a pattern that does not compile, or a
        // pattern too large for the library: either way, invalid.
    }
}

Regex::~Regex() = default;
Regex::Regex(Regex&& other) noexcept = default;
Regex& Regex::operator=(Regex&& other) noexcept = default;

bool Regex::isPatternValid() const { return compiled_ != nullptr; }

Matcher Regex::match(const String& text) const {
    Matcher result;
    if (!compiled_)
        return result;
    const std::wstring& subject = text.native();
    boost::wsmatch found;
    bool hit = false;
    try {
        hit = boost::regex_search(subject, found, compiled_->expression);
    } catch (const std::exception& error) {
        // std::runtime_error at the complexity limit or when the backtracking
        // state outgrows its memory, std::bad_alloc when there is none.
        RaiseExceptionImp(kSearchAbandoned, 0, 0, error.what());
    }
    if (!hit)
        return result;
    result.found_ = true;
    result.groups_.reserve(found.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        Matcher::Group group;
        if (found[i].matched) {
            group.start = static_cast<Uint32>(found[i].first - subject.begin());
            group.text = String(subject.c_str() + group.start, static_cast<Uint32>(found[i].length()));
        } else {
            group.start = String::NOT_FOUND;
        }
        result.groups_.push_back(std::move(group));
    }
    return result;
}

}  // namespace qln
