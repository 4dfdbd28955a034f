#include "qln/Locale.h"

#include <map>
#include <mutex>
#include <string>
#include <tuple>

namespace qln {

namespace {

typedef std::tuple<std::string, std::string, Uint32> CatalogKey;

struct Catalog {
    std::mutex lock;
    std::map<CatalogKey, String> texts;
};

Catalog& catalog() {
    static Catalog* c = new Catalog;  // lives until the process ends
    return *c;
}

}  // namespace

QLNLocale& QLNLocale::getGlobalLocale() {
    static QLNLocale locale;
    return locale;
}

bool Resource::getString(const char* catalogName, const char* name, String& text,
                         const QLNLocale& locale) {
    if (catalogName == nullptr || name == nullptr)
        return false;
    Catalog& c = catalog();
    std::lock_guard<std::mutex> guard(c.lock);
    auto it = c.texts.find(CatalogKey(catalogName, name, locale.getLanguage().id));
    if (it == c.texts.end())
        return false;
    text = it->second;
    return true;
}

bool Resource::hasString(const char* catalogName, const char* name, Uint32 languageId) {
    if (catalogName == nullptr || name == nullptr)
        return false;
    Catalog& c = catalog();
    std::lock_guard<std::mutex> guard(c.lock);
    return c.texts.count(CatalogKey(catalogName, name, languageId)) != 0;
}

void Resource::registerString(const char* catalogName, const char* name, const String& text,
                              Uint32 languageId) {
    if (catalogName == nullptr || name == nullptr)
        return;
    Catalog& c = catalog();
    std::lock_guard<std::mutex> guard(c.lock);
    c.texts[CatalogKey(catalogName, name, languageId)] = text;
}

bool Resource::unregisterString(const char* catalogName, const char* name, Uint32 languageId) {
    if (catalogName == nullptr || name == nullptr)
        return false;
    Catalog& c = catalog();
    std::lock_guard<std::mutex> guard(c.lock);
    return c.texts.erase(CatalogKey(catalogName, name, languageId)) != 0;
}

}  // namespace qln
