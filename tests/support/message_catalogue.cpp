#include "tests/support/message_catalogue.hpp"

#include <glib.h>
#include <libintl.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace Ombrix::Testing {

namespace {

constexpr const char* kLanguage = "xx";

void put_u32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

/// The binary catalogue (little-endian, no hash table) of `entries`, which std::map keeps sorted
/// by identifier as the lookup's binary search needs.
std::string catalogue_bytes(const std::map<std::string, std::string>& entries) {
    const auto count = static_cast<std::uint32_t>(entries.size());
    const std::uint32_t originals = 28;
    const std::uint32_t translations = originals + 8 * count;
    std::uint32_t strings = translations + 8 * count;

    std::string tables, texts;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> original_at, translated_at;
    for (const auto& [id, text] : entries) {
        original_at.emplace_back(static_cast<std::uint32_t>(id.size()), strings + static_cast<std::uint32_t>(texts.size()));
        texts += id;
        texts += '\0';
    }
    for (const auto& [id, text] : entries) {
        translated_at.emplace_back(static_cast<std::uint32_t>(text.size()),
                                   strings + static_cast<std::uint32_t>(texts.size()));
        texts += text;
        texts += '\0';
    }
    std::string out;
    for (std::uint32_t word : {0x950412deu, 0u, count, originals, translations, 0u, strings}) put_u32(out, word);
    for (const auto& [length, offset] : original_at) put_u32(out, length), put_u32(out, offset);
    for (const auto& [length, offset] : translated_at) put_u32(out, length), put_u32(out, offset);
    return out + texts;
}

}  // namespace

MessageCatalogue::MessageCatalogue(const std::map<std::string, std::string>& translations) {
    auto entries = translations;
    entries[""] = "Content-Type: text/plain; charset=UTF-8\n";
    const std::string folder = m_dir.file(std::string(kLanguage) + "/LC_MESSAGES");
    g_mkdir_with_parents(folder.c_str(), 0700);
    write_text(folder + "/ombrix.mo", catalogue_bytes(entries));
    bindtextdomain("ombrix", m_dir.path().c_str());
    bind_textdomain_codeset("ombrix", "UTF-8");
    setenv("LANGUAGE", kLanguage, 1);
    // The plain "C" locale ignores LANGUAGE; C.UTF-8 honours it. Setting a locale also drops the
    // lookups gettext has cached.
    std::setlocale(LC_ALL, "C.UTF-8");
}

MessageCatalogue::~MessageCatalogue() {
    unsetenv("LANGUAGE");
    std::setlocale(LC_ALL, "C");
}

}  // namespace Ombrix::Testing
