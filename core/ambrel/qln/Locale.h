// The global locale and the catalog of localized texts.
#pragma once

#include "qln/Config.h"
#include "qln/String.h"

namespace qln {

// A language; its first field is the language id (0 English).
struct QLNLanguage {
    Uint32 id;
    Uint32 reserved;
};

class AMBREL_API QLNLocale {
public:
    static QLNLocale& getGlobalLocale();
    QLNLanguage getLanguage() const { return language_; }
    void setLanguage(Uint32 id) { language_.id = id; }

private:
    QLNLocale() : language_{0, 0} {}
    QLNLanguage language_;
};

// Texts registered per catalog, resource name and language.
class AMBREL_API Resource {
public:
    // True when the catalog holds `name` for the locale's language; `text`
    // is set only then.
    static bool getString(const char* catalog, const char* name, String& text,
                          const QLNLocale& locale);
    // True when the catalog holds `name` for the language.
    static bool hasString(const char* catalog, const char* name, Uint32 languageId);
    static void registerString(const char* catalog, const char* name, const String& text,
                               Uint32 languageId = 0);
    // True when a text was removed.
    static bool unregisterString(const char* catalog, const char* name, Uint32 languageId = 0);
};

}  // namespace qln
