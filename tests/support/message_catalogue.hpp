/// @file A message catalogue of the "ombrix" domain made up by a test, so that translated texts
/// can be told apart from untranslated ones.
#pragma once

#include <map>
#include <string>

#include "tests/support/temp_dir.hpp"

namespace Ombrix::Testing {

/// While alive, texts of the "ombrix" domain are looked up in a catalogue holding `translations`
/// (message identifier to translated text): it is written to a private folder, bound to the domain
/// and selected through LANGUAGE under the C.UTF-8 locale. The destructor returns to the "C"
/// locale, where every text reads as its identifier again.
class MessageCatalogue {
public:
    explicit MessageCatalogue(const std::map<std::string, std::string>& translations);
    ~MessageCatalogue();
    MessageCatalogue(const MessageCatalogue&) = delete;
    MessageCatalogue& operator=(const MessageCatalogue&) = delete;

private:
    TempDir m_dir;
};

}  // namespace Ombrix::Testing
