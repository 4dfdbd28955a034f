// Sets the language of the core library's global locale for a scope and puts
// English (id 0) back afterwards.
#pragma once

#include "qln/Locale.h"

namespace dravik_test {

// A language other than English, for the lines that carry codes.
const qln::Uint32 kOtherLanguage = 7;

class LocaleGuard {
public:
    explicit LocaleGuard(qln::Uint32 languageId) {
        qln::QLNLocale::getGlobalLocale().setLanguage(languageId);
    }
    ~LocaleGuard() { qln::QLNLocale::getGlobalLocale().setLanguage(0); }

private:
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;
};

}  // namespace dravik_test
