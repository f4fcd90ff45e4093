// The texts the MariaDB adapter reads from the server's catalogue: view definitions (ungroup_joins),
// routine, trigger and event bodies (BEGIN ... END, is_single_body_statement), SHOW GRANTS lines,
// column types (enum and set values, display widths), table create options and partitioning, through
// the adapter's public fills on a stand-in connection that answers every catalogue query with rows
// made from the input; and the name readers sql_identifiers and requalify.
//
// The input is one or more result sets separated by a line "=====": a line per row, cells separated
// by tabs, "\N" for NULL. The adapter's n-th query gets the n-th result set (cycling).
//
// Invariants: ungroup_joins only drops parentheses, so the text keeps its names in order, and it
// does nothing more to its own result; requalify changes nothing but the names it requalifies.
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "scripted_connection.hpp"
#include "solvane/Model/event.hpp"
#include "solvane/Model/function.hpp"
#include "solvane/Model/role.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/user.hpp"
#include "solvane/Model/view.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_adapter.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_sql_text.hpp"

using namespace Ombrix;
using namespace Ombrix::Solvane;
using Fuzz::ScriptedConnection;
using Fuzz::Section;
using Supports::Database::MariaDBAdapter;
using Supports::Database::MariaDBAdapterBelowV105;

namespace {

std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + separator.size());
    }
}

std::string listing(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& name : names) out.append("[").append(name).append("]");
    return out;
}

void check_texts(std::string_view text) {
    using namespace Supports::Database;
    const auto names = sql_identifiers(text);

    const std::string ungrouped = ungroup_joins(text);
    const auto names_after = sql_identifiers(ungrouped);
    OMBRIX_FUZZ_CHECK(names_after == names, "ungroup_joins changed the names of\n" + std::string(text) + "\ninto\n" +
                                                ungrouped + "\n" + listing(names) + "\n" + listing(names_after));
    const std::string twice = ungroup_joins(ungrouped);
    OMBRIX_FUZZ_CHECK(twice == ungrouped, "ungroup_joins of its own result changed\n" + ungrouped + "\ninto\n" + twice);

    if (!names.empty()) {
        const std::string& from = names.front();
        const std::string to = "to`x";
        const std::string moved = requalify(text, from, to);
        const auto moved_names = sql_identifiers(moved);
        bool kept = moved_names.size() == names.size();
        for (std::size_t i = 0; kept && i < names.size(); ++i)
            kept = moved_names[i] == names[i] || (names[i] == from && moved_names[i] == to);
        OMBRIX_FUZZ_CHECK(kept, "requalify changed other names of\n" + std::string(text) + "\ninto\n" + moved + "\n" +
                                    listing(names) + "\n" + listing(moved_names));
    }
    (void)is_single_body_statement(text);
    (void)MariaDBAdapter::strip_begin_end(text);
    (void)MariaDBAdapter::enum_values_of(text);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Fuzz::quiet_logs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = Fuzz::as_text(data, size);
    std::vector<Section> sections;
    for (const auto part : split(input, "\n=====\n")) {
        Section section;
        for (const auto line : split(part, "\n"))
            if (!line.empty()) section.push_back(split(line, "\t"));
        sections.push_back(std::move(section));
    }
    for (const auto& section : sections)
        for (const auto& row : section)
            for (const auto cell : row) check_texts(cell);

    using namespace MetaModel;
    {
        ScriptedConnection connection(sections);
        auto adapter = MariaDBAdapter::create(&connection);
        (void)adapter->fill_meta_view(MetaView::with_names("db", "db", "v"));
        (void)adapter->fill_meta_function(MetaFunction::with_names("db", "db", "f"));
        (void)adapter->fill_meta_event(MetaEvent::with_names("db", "db", "e"));
        (void)adapter->fill_meta_user(MetaUser::with_names("", "", "u@%", ""));
        (void)adapter->fill_meta_role(MetaRole::with_names("", "", "r", ""));
        (void)adapter->fill_meta_table(MetaTable::with_names("db", "db", "t"), true);
        (void)adapter->fill_meta_schema(MetaSchema::with_names("db", "db"), true);
    }
    {
        ScriptedConnection connection(sections);
        auto adapter = MariaDBAdapterBelowV105::create(&connection);
        (void)adapter->fill_meta_table(MetaTable::with_names("db", "db", "t"), true);
        (void)adapter->fill_meta_schema(MetaSchema::with_names("db", "db"), true);
    }
    return 0;
}
