#include "solvane/Supports/Database/MariaDB/mariadb_adapter.hpp"

#include <glib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "providers/Core/regex.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_builder.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_inspector.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_sql_text.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_statement.hpp"
#include "solvane/Supports/Database/sql_lexing.hpp"

namespace Ombrix::Solvane::Supports::Database {

using namespace MetaModel;
using Providers::Contracts::TableModel;

namespace {

using ModelPtr = std::shared_ptr<TableModel>;
using Contracts::Database::IConnection;

std::string text_lit(std::string_view text) { return mariadb_quote_literal(text); }
std::string ident(std::string_view name) { return mariadb_quote_identifier(name); }

std::string trim(std::string_view text) { return std::string(Core::trim(text)); }

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool is_word_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           static_cast<unsigned char>(c) >= 0x80;
}

/// A result-shape check that failed: a warning in the form of GLib's failed assertions; the
/// operation then returns without error.
void shape_warning(const char* pretty_function, const char* condition) {
    g_warning("%s: assertion '%s' failed", Core::detail::function_name(pretty_function).c_str(), condition);
}

// A schema fill warns about a missing event or routine under the name of the operation that fills
// one object, as when the objects are filled one by one.
constexpr const char* kFillMetaEvent = "Ombrix::Solvane::Supports::Database::MariaDBAdapter::fill_meta_event";
constexpr const char* kFillMetaFunction = "Ombrix::Solvane::Supports::Database::MariaDBAdapter::fill_meta_function";

#define OMBRIX_STEP_DONE(step) g_debug("%s: " step "...[done]", G_STRLOC)

/// Some rows of a result model, in result order: all of them, or the ones of one object when a
/// catalogue was read for a whole schema. The row-to-model code reads through this so both paths
/// share it.
struct Rows {
    ModelPtr model;
    std::vector<std::size_t> index;

    std::size_t size() const { return index.size(); }
    bool empty() const { return index.empty(); }
    /// True when there is a row; otherwise warns as the failed check "some row" in `function`.
    bool present(const char* function) const {
        if (!empty()) return true;
        shape_warning(function, "model.get_n_items() > 0");
        return false;
    }
    std::size_t columns() const { return model ? model->get_columns()->size() : 0; }
    std::string text(std::size_t column, std::size_t row) const {
        const auto value = model->get_value_at(column, index[row]);
        return value ? value->to_string() : std::string();
    }
    bool is_null(std::size_t column, std::size_t row) const {
        const auto value = model->get_value_at(column, index[row]);
        return !value || value->get_is_null();
    }
};

Rows all_rows(const ModelPtr& model) {
    Rows rows{model, {}};
    const std::size_t n = model ? model->get_n_items() : 0;
    rows.index.reserve(n);
    for (std::size_t i = 0; i < n; ++i) rows.index.push_back(i);
    return rows;
}

/// The rows whose columns read exactly the names given, column by column: the catalogue compares
/// names without regard to letter case, the server keeps apart names that differ in case alone.
Rows exactly(const Rows& rows, std::initializer_list<std::pair<std::size_t, std::string_view>> names) {
    Rows kept{rows.model, {}};
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (std::all_of(names.begin(), names.end(),
                        [&](const auto& name) { return rows.text(name.first, i) == name.second; }))
            kept.index.push_back(rows.index[i]);
    return kept;
}

/// The rows of a schema-wide result grouped by the exact text of `key_column`, each group in
/// result order.
class Groups {
public:
    /// With a `kind_column`, the key is that column's text, a blank and the name ("PROCEDURE p"):
    /// a function and a procedure may share a name.
    Groups(const ModelPtr& model, std::size_t key_column, std::optional<std::size_t> kind_column = std::nullopt)
        : Groups(all_rows(model), key_column, kind_column) {}
    Groups(const Rows& rows, std::size_t key_column, std::optional<std::size_t> kind_column = std::nullopt)
        : m_model(rows.model) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            std::string key = rows.text(key_column, i);
            if (kind_column) key = rows.text(*kind_column, i) + " " + key;
            auto& group = m_groups[key];
            group.model = m_model;
            group.index.push_back(rows.index[i]);
        }
    }
    Rows of(const std::string& key) const {
        if (auto found = m_groups.find(key); found != m_groups.end()) return found->second;
        return Rows{m_model, {}};
    }

private:
    ModelPtr m_model;
    std::unordered_map<std::string, Rows> m_groups;
};

/// Runs a catalogue query and gives all its rows.
Core::Result<Rows> read_rows(IConnection& connection, const std::string& sql) {
    auto model = connection.execute_as_model(sql, false);
    OMBRIX_RETURN_IF_ERROR(model);
    return all_rows(*model);
}

/// Runs a catalogue query and hands its rows to `apply`: the one path from a query to a model.
template <class Apply>
Core::Status apply_query(IConnection& connection, const std::string& sql, Apply&& apply) {
    auto rows = read_rows(connection, sql);
    OMBRIX_RETURN_IF_ERROR(rows);
    std::forward<Apply>(apply)(*rows);
    return {};
}

// ---- Query texts. Each catalogue has the query for one object and, where a recursive schema fill
// reads it once for the schema, the same column list with the owning object's name appended last,
// so the row-to-model code reads the same column numbers in both.
//
// The catalogue compares names without regard to letter case, while the server keeps schemas,
// tables and triggers apart that differ in case alone. Where the catalogue opens only the schema
// and table a condition names (TABLE_SCHEMA and TABLE_NAME of the tables, columns, statistics,
// views and constraints; EVENT_OBJECT_SCHEMA and EVENT_OBJECT_TABLE of the triggers) the names are
// compared plainly, so that the server looks up that schema or table alone instead of walking every
// schema's files, and the rows are matched exactly on the client. The catalogues built from the
// server's own tables (routines, parameters, events) are read whole anyway: there, and in joins,
// BINARY matches them exactly. Routine, event, index and column names are one name in any case, as
// on the server.

constexpr std::string_view kColumnsSelect =
    "SELECT COLUMN_NAME, ORDINAL_POSITION, COLUMN_DEFAULT, IS_NULLABLE, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, "
    "NUMERIC_PRECISION, NUMERIC_SCALE, DATETIME_PRECISION, CHARACTER_SET_NAME, COLLATION_NAME, COLUMN_TYPE, "
    "COLUMN_KEY, EXTRA, COLUMN_COMMENT, GENERATION_EXPRESSION";
constexpr std::size_t kColumnsKey = 16;

std::string columns_query(std::string_view schema, std::string_view table) {
    return std::string(kColumnsSelect) + " FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_SCHEMA = " + text_lit(schema) +
           " and TABLE_NAME = " + text_lit(table) + " ORDER BY ORDINAL_POSITION ASC;";
}
std::string columns_query(std::string_view schema) {
    return std::string(kColumnsSelect) + ", TABLE_NAME FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_SCHEMA = " +
           text_lit(schema) + " ORDER BY TABLE_NAME ASC, ORDINAL_POSITION ASC;";
}

std::string index_query(std::string_view schema, std::string_view table) {
    return "SHOW INDEX FROM " + ident(schema) + "." + ident(table);
}
// The columns of SHOW INDEX, in its order, from the catalogue it is made from.
std::string index_query(std::string_view schema) {
    return "SELECT TABLE_NAME, NON_UNIQUE, INDEX_NAME, SEQ_IN_INDEX, COLUMN_NAME, COLLATION, CARDINALITY, SUB_PART, "
           "PACKED, NULLABLE, INDEX_TYPE, COMMENT, INDEX_COMMENT, IGNORED FROM information_schema.STATISTICS WHERE "
           "TABLE_SCHEMA = " +
           text_lit(schema) + ";";
}
constexpr std::size_t kIndexKey = 0;

// Both queries give the table and the schema last, for the exact match (see `exactly`).
constexpr std::string_view kTriggerSelect =
    "SELECT TRIGGER_NAME, DEFINER, ACTION_TIMING, EVENT_MANIPULATION, ACTION_ORIENTATION, ACTION_STATEMENT, SQL_MODE, "
    "COLLATION_CONNECTION, EVENT_OBJECT_TABLE, EVENT_OBJECT_SCHEMA FROM information_schema.TRIGGERS WHERE "
    "EVENT_OBJECT_SCHEMA = ";
constexpr std::size_t kTriggerKey = 8;
constexpr std::size_t kTriggerSchema = 9;

std::string trigger_query(std::string_view schema, std::string_view table) {
    return std::string(kTriggerSelect) + text_lit(schema) + " AND EVENT_OBJECT_TABLE = " + text_lit(table) + ";";
}
std::string trigger_query(std::string_view schema) { return std::string(kTriggerSelect) + text_lit(schema) + ";"; }

// The key columns are matched on their own table too, and only rows that reference a table count:
// a unique key of the same name elsewhere would otherwise join in.
constexpr std::string_view kForeignSelect =
    "SELECT fk.CONSTRAINT_SCHEMA, fk.CONSTRAINT_NAME, fk.MATCH_OPTION, fk.UPDATE_RULE, fk.DELETE_RULE, "
    "refer.COLUMN_NAME, refer.ORDINAL_POSITION, refer.REFERENCED_TABLE_SCHEMA, refer.REFERENCED_TABLE_NAME, "
    "refer.REFERENCED_COLUMN_NAME";
constexpr std::string_view kForeignJoin =
    " FROM information_schema.REFERENTIAL_CONSTRAINTS AS fk INNER JOIN information_schema.KEY_COLUMN_USAGE AS refer "
    "ON fk.CONSTRAINT_NAME = refer.CONSTRAINT_NAME AND fk.CONSTRAINT_SCHEMA=refer.CONSTRAINT_SCHEMA AND ";
constexpr std::string_view kForeignWhere = "refer.REFERENCED_TABLE_NAME IS NOT NULL WHERE fk.CONSTRAINT_SCHEMA=";
constexpr std::size_t kForeignKey = 10;

// One table's: both catalogue views are asked for it by name, and the tables are not joined by name
// (the server would then look up the second view by schema alone): else it opens every table of
// the schema to build the view it joins.
std::string foreign_query(std::string_view schema, std::string_view table) {
    return std::string(kForeignSelect) + std::string(kForeignJoin) + std::string(kForeignWhere) + text_lit(schema) +
           " AND fk.TABLE_NAME=" +
           text_lit(table) + " AND refer.TABLE_SCHEMA=" + text_lit(schema) + " AND refer.TABLE_NAME=" + text_lit(table) +
           " ORDER BY refer.ORDINAL_POSITION ASC";
}
// A schema's: the key columns are asked for by schema too, else the server builds their catalogue for
// every schema it holds. Each catalogue view is read once into a table of its own (DISTINCT keeps the
// server from merging the two into one join), then joined: joined directly, the server compares the
// views row by row through its join buffer, several times slower on a schema of a thousand keys.
std::string foreign_query(std::string_view schema) {
    return std::string(kForeignSelect) + ", fk.TABLE_NAME" +
           " FROM (SELECT DISTINCT CONSTRAINT_SCHEMA, CONSTRAINT_NAME, TABLE_NAME, MATCH_OPTION, UPDATE_RULE, "
           "DELETE_RULE FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA=" +
           text_lit(schema) +
           ") AS fk INNER JOIN (SELECT DISTINCT CONSTRAINT_SCHEMA, CONSTRAINT_NAME, TABLE_NAME, COLUMN_NAME, "
           "ORDINAL_POSITION, REFERENCED_TABLE_SCHEMA, REFERENCED_TABLE_NAME, REFERENCED_COLUMN_NAME FROM "
           "information_schema.KEY_COLUMN_USAGE WHERE TABLE_SCHEMA=" +
           text_lit(schema) +
           " AND REFERENCED_TABLE_NAME IS NOT NULL) AS refer ON fk.CONSTRAINT_NAME = refer.CONSTRAINT_NAME AND "
           "fk.CONSTRAINT_SCHEMA=refer.CONSTRAINT_SCHEMA AND fk.TABLE_NAME=refer.TABLE_NAME"
           " ORDER BY refer.ORDINAL_POSITION ASC";
}

// Checks are read from their own catalogue, which names each one's table (two tables may each have
// a check of the same name); the table and the schema come last, for the exact match (see `exactly`).
// Joined with TABLE_CONSTRAINTS the server would build the check catalogue of every schema and
// compare each row of one with each of the other.
constexpr std::string_view kCheckSelect =
    "SELECT CONSTRAINT_NAME, CHECK_CLAUSE, TABLE_NAME, CONSTRAINT_SCHEMA FROM information_schema.CHECK_CONSTRAINTS "
    "WHERE CONSTRAINT_SCHEMA = ";
constexpr std::size_t kCheckKey = 2;
constexpr std::size_t kCheckSchema = 3;

std::string check_query(std::string_view schema, std::string_view table) {
    return std::string(kCheckSelect) + text_lit(schema) + " AND TABLE_NAME = " + text_lit(table) + ";";
}
std::string check_query(std::string_view schema) { return std::string(kCheckSelect) + text_lit(schema) + ";"; }

// The columns of SHOW TABLE STATUS, in its order, from the catalogue it is made from: SHOW TABLE
// STATUS itself lists the schema's every file for a single name (with LIKE or WHERE alike), while the
// catalogue asked for one TABLE_NAME opens that table alone. The name is matched exactly on the
// client (see `exactly`).
constexpr std::string_view kOptionsSelect =
    "SELECT TABLE_NAME, ENGINE, VERSION, ROW_FORMAT, TABLE_ROWS, AVG_ROW_LENGTH, DATA_LENGTH, MAX_DATA_LENGTH, "
    "INDEX_LENGTH, DATA_FREE, AUTO_INCREMENT, CREATE_TIME, UPDATE_TIME, CHECK_TIME, TABLE_COLLATION, CHECKSUM, "
    "CREATE_OPTIONS, TABLE_COMMENT FROM information_schema.TABLES WHERE TABLE_SCHEMA = ";
constexpr std::size_t kOptionsKey = 0;

std::string options_query(std::string_view schema, std::string_view table) {
    return std::string(kOptionsSelect) + text_lit(schema) + " AND TABLE_NAME = " + text_lit(table) + ";";
}
std::string options_query(std::string_view schema) { return std::string(kOptionsSelect) + text_lit(schema) + ";"; }

// Views are read from the catalogue, whose definitions name every table with its schema whatever
// the session's current database is (SHOW CREATE VIEW leaves out the current one, so the same
// view would read differently from two sessions).
constexpr std::string_view kViewSelect =
    "SELECT VIEW_DEFINITION, CHECK_OPTION, DEFINER, SECURITY_TYPE, ALGORITHM, COLLATION_CONNECTION";
constexpr std::size_t kViewKey = 6;

std::string view_query(std::string_view schema, std::string_view name) {
    return std::string(kViewSelect) + " FROM information_schema.VIEWS WHERE TABLE_SCHEMA = " + text_lit(schema) +
           " AND TABLE_NAME = " + text_lit(name) + ";";
}
std::string view_query(std::string_view schema) {
    return std::string(kViewSelect) + ", TABLE_NAME FROM information_schema.VIEWS WHERE TABLE_SCHEMA = " +
           text_lit(schema) + ";";
}

constexpr std::string_view kEventSelect =
    "SELECT DEFINER, EVENT_DEFINITION, EVENT_TYPE, EXECUTE_AT, INTERVAL_VALUE, INTERVAL_FIELD, STARTS, ENDS, "
    "STATUS, ON_COMPLETION, EVENT_COMMENT, SQL_MODE, COLLATION_CONNECTION";
constexpr std::size_t kEventKey = 13;

std::string event_query(std::string_view schema, std::string_view name) {
    return std::string(kEventSelect) + " FROM `information_schema`.`EVENTS` where BINARY EVENT_SCHEMA = " +
           text_lit(schema) + " and EVENT_NAME = " + text_lit(name) + ";";
}
std::string event_query(std::string_view schema) {
    return std::string(kEventSelect) + ", EVENT_NAME FROM `information_schema`.`EVENTS` where BINARY EVENT_SCHEMA = " +
           text_lit(schema) + ";";
}

constexpr std::string_view kRoutineSelect =
    "SELECT ROUTINE_TYPE, DATA_TYPE, DTD_IDENTIFIER, ROUTINE_BODY, IS_DETERMINISTIC, SQL_DATA_ACCESS, "
    "SECURITY_TYPE, DEFINER, ROUTINE_COMMENT, ROUTINE_DEFINITION, SQL_MODE, COLLATION_CONNECTION, "
    "CHARACTER_SET_NAME, COLLATION_NAME";
constexpr std::size_t kRoutineKey = 14;

/// One routine's row; of the kind `type` when one is given (a function and a procedure may share
/// a name).
std::string routine_query(std::string_view schema, std::string_view name, std::string_view type) {
    std::string sql = std::string(kRoutineSelect) +
                      " FROM `information_schema`.`ROUTINES` WHERE BINARY ROUTINE_SCHEMA = " + text_lit(schema) +
                      " AND ROUTINE_NAME = " + text_lit(name) + "";
    if (!type.empty()) sql += " AND ROUTINE_TYPE = " + text_lit(type) + "";
    return sql + ";";
}
std::string routine_query(std::string_view schema) {
    return std::string(kRoutineSelect) +
           ", ROUTINE_NAME FROM `information_schema`.`ROUTINES` WHERE BINARY ROUTINE_SCHEMA = " + text_lit(schema) + ";";
}

constexpr std::string_view kParameterSelect =
    "SELECT PARAMETER_MODE, PARAMETER_NAME, DATA_TYPE, DTD_IDENTIFIER, CHARACTER_SET_NAME, COLLATION_NAME, "
    "ROUTINE_TYPE";
constexpr std::size_t kParameterKind = 6;
constexpr std::size_t kParameterKey = 7;

std::string parameter_query(std::string_view schema, std::string_view name, std::string_view type) {
    return std::string(kParameterSelect) + " FROM `information_schema`.`PARAMETERS` WHERE BINARY SPECIFIC_SCHEMA = " +
           text_lit(schema) + " AND SPECIFIC_NAME = " + text_lit(name) + " AND ROUTINE_TYPE = " + text_lit(type) +
           " AND PARAMETER_NAME != '' ORDER BY ORDINAL_POSITION ASC;";
}
std::string parameter_query(std::string_view schema) {
    return std::string(kParameterSelect) +
           ", SPECIFIC_NAME FROM `information_schema`.`PARAMETERS` WHERE BINARY SPECIFIC_SCHEMA = " + text_lit(schema) +
           " AND PARAMETER_NAME != '' ORDER BY SPECIFIC_NAME ASC, ORDINAL_POSITION ASC;";
}

constexpr std::string_view kRelationSelect =
    "SELECT Role, CONCAT(USER, '@', HOST) username, Admin_option FROM `mysql`.`roles_mapping` WHERE ";

// ---- Row-to-model code, shared by the per-object and the schema-wide fills.

std::string without(std::string text, std::string_view characters) {
    text.erase(std::remove_if(text.begin(), text.end(),
                              [&](char c) { return characters.find(c) != std::string_view::npos; }),
               text.end());
    return text;
}

/// The text without its single-quoted parts (a doubled quote inside one closes and reopens it).
std::string outside_quotes(std::string_view text) {
    std::string out;
    bool quoted = false;
    for (const char c : text) {
        if (c == '\'')
            quoted = !quoted;
        else if (!quoted)
            out += c;
    }
    return out;
}

template <std::size_t N>
bool in_list(const std::array<std::string_view, N>& list, std::string_view word) {
    return std::find(list.begin(), list.end(), word) != list.end();
}

constexpr std::array<std::string_view, 5> kIntegerTypes = {"TINYINT", "SMALLINT", "MEDIUMINT", "INT", "BIGINT"};

/// The number between the first parentheses of a column type ("int(6) unsigned zerofill" gives 6).
std::uint64_t display_width(std::string_view full_type) {
    const auto open = full_type.find('(');
    if (open == std::string_view::npos) return 0;
    return Core::parse_uint64_dec(full_type.substr(open + 1));
}

/// The session a stored program was created in, which decides how its body reads: its SQL mode
/// (quotes, || and the like) as the attribute SQL_MODE, the collation of its string literals as
/// COLLATION_CONNECTION.
void set_session(MetaObject& program, const std::string& mode, const std::string& collation) {
    program.set_attribute("SQL_MODE", mode);
    if (!collation.empty()) program.set_attribute("COLLATION_CONNECTION", collation);
}

/// Sizes the column's numbers cannot tell from the defaults, marked with the attribute SIZED: a
/// FLOAT or DOUBLE declared with a precision and a scale of 0 (FLOAT(7,0) rounds to integers, FLOAT
/// does not), a text or binary string of length 0 (no length at all is another column), and the
/// two-digit YEAR(2).
void mark_declared_size(MetaColumn& column, std::string_view raw_type, std::string_view full_type) {
    static constexpr std::array<std::string_view, 3> approximate = {"FLOAT", "DOUBLE", "REAL"};
    static constexpr std::array<std::string_view, 4> strings = {"CHAR", "VARCHAR", "BINARY", "VARBINARY"};
    const bool sized = full_type.find('(') != std::string_view::npos;
    if (raw_type == "YEAR") {
        if (display_width(full_type) == 2) {
            column.set_length(2);
            column.set_attribute("SIZED", "YES");
        }
    } else if (in_list(kIntegerTypes, raw_type)) {
        // A display width other than the type's own (tinyint(1), int(10)) is part of the column.
        static constexpr std::array<std::pair<std::string_view, std::array<std::uint64_t, 2>>, 5> widths = {{
            {"TINYINT", {4, 3}}, {"SMALLINT", {6, 5}}, {"MEDIUMINT", {9, 8}}, {"INT", {11, 10}}, {"BIGINT", {20, 20}}}};
        const std::uint64_t width = display_width(full_type);
        const bool is_unsigned = column.get_is_unsigned();
        for (const auto& [type, defaults] : widths)
            if (type == raw_type && width != 0 && width != defaults[is_unsigned ? 1 : 0]) column.set_length(width);
    } else if (in_list(approximate, raw_type)) {
        if (sized && column.get_scale() == 0) column.set_attribute("SIZED", "YES");
    } else if (in_list(strings, raw_type) && sized && column.get_length() == 0) {
        column.set_attribute("SIZED", "YES");
    }
}

void apply_columns(MetaTable& table, const Rows& rows, const Contracts::Database::IInspectable& inspector,
                   bool table_keys = true) {
    std::uint8_t primary_ordinal = 1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string raw_type = Core::ascii_upper(rows.text(4, i));
        auto column = table.new_column(rows.text(0, i), inspector.get_data_type(raw_type));
        column->set_ordinal(static_cast<std::uint32_t>(Core::parse_uint64_dec(rows.text(1, i))));
        column->set_default_value(rows.text(2, i));
        column->set_not_null(rows.text(3, i) == "NO");
        column->set_raw_type(raw_type);
        column->set_length(Core::parse_uint64_dec(rows.text(5, i)));
        if (in_list(MariaDBAdapter::TYPE_LIST_NUMERIC, raw_type)) {
            column->set_length(Core::parse_uint64_dec(rows.text(6, i)));
            column->set_scale(static_cast<std::uint8_t>(Core::parse_int64_dec(rows.text(7, i))));
        } else if (in_list(MariaDBAdapter::TYPE_LIST_DATETIME, raw_type)) {
            column->set_scale(static_cast<std::uint8_t>(Core::parse_int64_dec(rows.text(8, i))));
        } else if (raw_type == "BIT") {
            // BIT(n) keeps its n only as a numeric precision; without it a rebuilt column is BIT(1).
            column->set_length(Core::parse_uint64_dec(rows.text(6, i)));
        }
        column->set_charset(rows.text(9, i));
        column->set_collation(rows.text(10, i));

        const std::string full_type = rows.text(11, i);
        if (auto values = MariaDBAdapter::enum_values_of(full_type); !values.empty()) column->set_enum_values(values);
        // The words count only outside the quoted values: enum('signed','unsigned') is not UNSIGNED.
        const std::string type_words = outside_quotes(full_type);
        column->set_is_unsigned(contains(type_words, "unsigned"));
        column->set_is_fill_zero(contains(type_words, "zerofill"));
        // The server keeps a compressed column's word in a comment of the full type.
        if (contains(Core::ascii_upper(type_words), "COMPRESSED")) column->set_attribute("COMPRESSED", "YES");
        // Zero filling pads to the display width, which only the full type names: int(6) zerofill.
        if (column->get_is_fill_zero() && in_list(kIntegerTypes, raw_type)) column->set_length(display_width(full_type));
        mark_declared_size(*column, raw_type, full_type);

        // The catalogue marks PRI on the first NOT NULL unique key of a table that has no primary key
        // too: only a view's columns (which have no index to read) take the mark from here; a
        // table's key is its PRIMARY index alone.
        if (!table_keys && contains(rows.text(12, i), "PRI")) {
            column->set_is_primary_key(true);
            column->set_primary_ordinal(primary_ordinal++);
        }

        // The server writes EXTRA in lower case ("on update current_timestamp()").
        const std::string extra = rows.text(13, i);
        const std::string extra_upper = Core::ascii_upper(extra);
        column->set_auto_increment(contains(extra, "auto_increment"));
        column->set_update_timestamp(contains(extra_upper, "CURRENT_TIMESTAMP"));
        // A generated column keeps its kind, or rebuilding it would make an ordinary column.
        if (contains(extra_upper, "GENERATED")) {
            column->set_is_virtual(true);
            column->set_is_generated_always(true);
            column->set_virtual_type(contains(extra_upper, "VIRTUAL") ? "VIRTUAL" : "STORED");
        }

        column->set_comment(rows.text(14, i));
        column->set_expression(rows.text(15, i));
        // A column SELECT * does not show keeps being one when rebuilt.
        if (contains(extra_upper, "INVISIBLE")) column->set_attribute("INVISIBLE", "YES");

        const auto& columns = table.get_columns();
        if (i > 0 && columns->size() >= 2) column->set_after(columns->get(columns->size() - 2)->get_name());
    }
}

/// A key part as the builder writes it back: the column name, then its prefix length and a
/// descending order when the index has them ("note(10) DESC"); a plain column is its bare name.
std::string key_part_of(const Rows& rows, std::size_t i, std::size_t name, std::size_t sub_part,
                        std::size_t collation, std::size_t type) {
    std::string part = rows.text(name, i);
    // A spatial key reports a length of its own that is no prefix and cannot be given back.
    const bool spatial = Core::ascii_upper(rows.text(type, i)) == "SPATIAL";
    if (!spatial && !rows.is_null(sub_part, i) && !rows.text(sub_part, i).empty())
        part += "(" + rows.text(sub_part, i) + ")";
    if (rows.text(collation, i) == "D") part += " DESC";
    return part;
}

/// The view's definition and attributes from its catalogue row; false (after the warning) unless
/// there is exactly one.
bool apply_view(MetaView& view, const Rows& rows) {
    if (rows.size() != 1) {
        g_warning("%s: assertion '%s' failed", "Ombrix::Solvane::Supports::Database::MariaDBAdapter::fill_meta_view",
                  "model.get_n_items() == 1");
        return false;
    }
    view.set_definition(ungroup_joins(rows.text(0, 0)));
    if (const std::string check = rows.text(1, 0); !check.empty() && check != "NONE") view.set_attribute("CHECK", check);
    if (const std::string definer = rows.text(2, 0); !definer.empty()) view.set_attribute("DEFINER", definer);
    if (const std::string security = rows.text(3, 0); !security.empty()) view.set_attribute("SECURITY", security);
    if (const std::string algorithm = rows.text(4, 0); !algorithm.empty()) view.set_attribute("ALGORITHM", algorithm);
    // The connection's collation when the view was made is that of its string literals.
    if (const std::string collation = rows.text(5, 0); !collation.empty())
        view.set_attribute("COLLATION_CONNECTION", collation);
    return true;
}

/// A view's columns as the catalogue describes them (names and types of what the view gives),
/// in place of what its definition's select list suggests. A broken view has no rows there, and
/// keeps what it had.
void apply_view_columns(MetaView& view, const Rows& rows, const Contracts::Database::IInspectable& inspector) {
    if (rows.empty()) return;
    auto scratch = MetaTable::with_names(view.get_database(), view.get_schema(), view.get_name());
    apply_columns(*scratch, rows, inspector, false);
    view.get_columns()->clear();
    view.get_columns()->append_all(scratch->get_columns()->take_items());
}

void apply_indexes(MetaTable& table, const Rows& rows) {
    std::shared_ptr<MetaIndex> current;
    std::string previous_key;
    bool first = true;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string key = rows.text(2, i);
        if (Core::ascii_upper(trim(key)) == "PRIMARY") {
            // The column listing numbers key columns in table order; the key's own order is here,
            // and a key declared as (b, a) must be rebuilt as (b, a).
            if (auto column = table.get_column(rows.text(4, i))) {
                column->set_is_primary_key(true);
                column->set_primary_ordinal(static_cast<std::uint8_t>(Core::parse_uint64_dec(rows.text(3, i))));
                // A key on a prefix of the column: without its length a text column cannot be a key.
                if (!rows.is_null(7, i)) column->set_primary_length(Core::parse_uint64_dec(rows.text(7, i)));
            }
            continue;
        }
        if (first || key != previous_key) {
            if (current) table.get_indexes()->append(current);
            current = MetaIndex::with_names(table.get_database(), table.get_schema(), table.get_name(), key);
            current->set_method(rows.text(10, i));
            current->set_comment(rows.text(12, i));
            current->set_kind(rows.text(1, i) == "0" ? "UNIQUE" : "");
            // An index the optimizer is told to ignore stays so (servers before 10.6 have no such column).
            if (rows.columns() > 13 && rows.text(13, i) == "YES") current->set_attribute("IGNORED", "YES");
            previous_key = key;
            first = false;
        }
        current->append(key_part_of(rows, i, 4, 7, 5, 10));
    }
    if (current) table.get_indexes()->append(current);
}

void apply_triggers(MetaTable& table, const Rows& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto trigger = MetaTrigger::with_body(rows.text(0, i), rows.text(5, i));
        // Whose rights the trigger runs with is part of what it is.
        trigger->set_definer(rows.text(1, i));
        set_session(*trigger, rows.text(6, i), rows.text(7, i));
        trigger->set_timing(rows.text(2, i));
        trigger->set_event(rows.text(3, i));
        trigger->set_for_each(trim(rows.text(4, i)));
        table.get_triggers()->append(trigger);
    }
}

/// Column names as the builder writes them between parentheses, joined by ",": an ordinary name
/// stands bare (a one-column key reads as the catalogue names it), any other is backtick-quoted.
std::string column_list(const Rows& rows, const std::vector<std::size_t>& members, std::size_t column) {
    std::string list;
    for (const std::size_t i : members) {
        if (!list.empty()) list += ",";
        list += mariadb_bare_identifier(rows.text(column, i));
    }
    return list;
}

// One object per constraint, however many columns it has; rows arrive in key-column order.
// Constraints are listed by name so the order does not depend on how the server joined.
void apply_foreign_keys(MetaTable& table, const Rows& rows) {
    std::vector<std::pair<std::string, std::vector<std::size_t>>> keys;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string name = rows.text(1, i);
        auto found = std::find_if(keys.begin(), keys.end(), [&](const auto& key) { return key.first == name; });
        if (found == keys.end()) found = keys.insert(keys.end(), {name, {}});
        found->second.push_back(i);
    }
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [name, members] : keys) {
        const std::size_t first = members.front();
        auto key = MetaForeignKey::create();
        key->set_name(name);
        const std::string match = rows.text(2, first);
        key->set_match_method(match == "NONE" ? "" : match);
        key->set_update_action(rows.text(3, first));
        key->set_delete_action(rows.text(4, first));
        key->set_local_columns(column_list(rows, members, 5));
        key->set_refer_schema(rows.text(7, first));
        key->set_refer_table(rows.text(8, first));
        key->set_refer_columns(column_list(rows, members, 9));
        table.get_constraints()->append(key);
    }
}

void apply_checks(MetaTable& table, const Rows& rows) {
    std::vector<std::size_t> order(rows.index.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return rows.text(0, a) < rows.text(0, b); });
    for (const std::size_t i : order) {
        auto check = MetaCheck::with_name(rows.text(0, i), rows.text(1, i));
        check->set_enforced(false);
        table.get_constraints()->append(check);
    }
}

/// The options a table was created with, from the catalogue's CREATE_OPTIONS text
/// ("max_rows=100 avg_row_length=50 `PAGE_COMPRESSED`='1'"): upper-case keys, bare values;
/// "partitioned" is no option.
std::vector<std::pair<std::string, std::string>> create_options_of(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> options;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && text[at] == ' ') ++at;
        std::size_t end = at;
        char quote = 0;
        while (end < text.size() && (quote || text[end] != ' ')) {
            if (text[end] == '\'' || text[end] == '`') quote = quote == text[end] ? 0 : (quote ? quote : text[end]);
            ++end;
        }
        const std::string_view item = text.substr(at, end - at);
        at = end;
        const auto equals = item.find('=');
        if (equals == std::string_view::npos) continue;
        std::string key = Core::ascii_upper(without(std::string(item.substr(0, equals)), "`"));
        std::string value(item.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') value = value.substr(1, value.size() - 2);
        if (key.empty()) continue;
        options.emplace_back(std::move(key), std::move(value));
    }
    return options;
}

/// Applies the table's options; true when the table is partitioned, whose partitioning only its
/// CREATE TABLE text tells.
bool apply_options(MetaTable& table, const Rows& rows) {
    if (rows.size() != 1) return false;
    table.set_option("ENGINE", rows.text(1, 0));
    // The row format is an option where it was given (CREATE_OPTIONS names it then); the catalogue's
    // own column always names one, and a copy given that would no longer follow the server's default.
    // The catalogue's average row length is a statistic of the rows stored now; what the table was
    // created with is among its create options (0, the default, when none was given).
    table.set_option("AVG_ROW_LENGTH", "0");
    for (const auto& [key, value] : create_options_of(rows.text(16, 0))) table.set_option(key, value);
    const std::string collation = rows.text(14, 0);
    table.set_option("COLLATE", collation);
    if (!collation.empty()) table.set_option("CHARACTER SET", collation.substr(0, collation.find('_')));
    table.set_comment(rows.text(17, 0));
    return contains(" " + rows.text(16, 0) + " ", " partitioned ");
}

/// The partitioning clause of a CREATE TABLE text ("PARTITION BY RANGE (`a`) (PARTITION ...)"), the
/// last part of the text after the table's options; "" for none.
std::string partitioning_of(std::string_view create) {
    const std::size_t columns_end = create.rfind("\n) ");
    const std::size_t at = create.find("\n PARTITION BY ", columns_end == std::string_view::npos ? 0 : columns_end);
    if (at == std::string_view::npos) return {};
    return trim(create.substr(at + 1));
}

/// The backtick name that starts at `at` in `text`, unquoted; `at` moves past it. Nothing when no
/// name starts there.
std::optional<std::string> backtick_name(std::string_view text, std::size_t& at) {
    if (at >= text.size() || text[at] != '`') return std::nullopt;
    const std::size_t end = sql_quoted_end(text, at, '`');
    std::string name;
    for (std::size_t i = at + 1; i + 1 < end; ++i) {
        name += text[i];
        if (text[i] == '`') ++i;
    }
    at = end;
    return name;
}

/// The end of the parenthesised list that opens at `at` (one past its closing parenthesis), quotes
/// and nested parentheses taken into account.
std::size_t list_end(std::string_view text, std::size_t at) {
    int depth = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c == '\'' || c == '"' || c == '`') {
            at = sql_quoted_end(text, at, c);
            continue;
        }
        ++at;
        if (c == '(') ++depth;
        if (c == ')' && --depth == 0) break;
    }
    return at;
}

/// Options the model keeps whatever the CREATE text says: they are written in other words there
/// (DEFAULT CHARSET), or are the model's own.
constexpr std::array<std::string_view, 6> kOptionsAlwaysShown = {
    "ENGINE", "COLLATE", "CHARACTER SET", "AVG_ROW_LENGTH", MariaDBBuilder::SYSTEM_VERSIONING,
    MariaDBBuilder::PARTITIONING};

/// The table's options kept where its CREATE text gives them: the catalogue's create options name
/// some an engine keeps of its own accord (an Aria table is transactional=1 unless told otherwise).
void keep_options_shown(MetaTable& table, std::string_view create) {
    const std::size_t columns_end = create.rfind("\n) ");
    if (columns_end == std::string_view::npos) return;
    std::string_view tail = create.substr(columns_end + 3);
    tail = tail.substr(0, tail.find("\n PARTITION BY "));
    const std::string upper_tail = " " + Core::ascii_upper(without(std::string(tail), "`"));
    Core::StringMap options = table.get_options();
    std::erase_if(options, [&](const auto& option) {
        return !in_list(kOptionsAlwaysShown, option.first) && !contains(upper_tail, " " + option.first + "=");
    });
    table.set_options(std::move(options));
}

/// What only a table's CREATE text tells, from the lines of its SHOW CREATE TABLE: the index method
/// where one was given (the catalogue always names one), the application-time period and the keys
/// that are unique WITHOUT OVERLAPS of it, and the partitioning.
void apply_create_text(MetaTable& table, std::string_view create, bool partitioned) {
    if (partitioned) table.set_option(std::string(MariaDBBuilder::PARTITIONING), partitioning_of(create));
    keep_options_shown(table, create);
    // Indexes read from the catalogue keep their method only where the text gives it.
    std::unordered_map<std::string, std::string> methods;
    std::vector<std::string> table_checks;
    std::string period;
    std::size_t line_start = create.find('\n');
    while (line_start != std::string_view::npos) {
        std::size_t at = line_start + 1;
        line_start = create.find('\n', at);
        const std::string_view line = create.substr(at, (line_start == std::string_view::npos ? create.size() : line_start) - at);
        std::size_t pos = line.find_first_not_of(' ');
        if (pos == std::string_view::npos || pos != 2) continue;
        const std::string_view rest = line.substr(pos);
        if (rest.starts_with("PERIOD FOR `")) {
            std::size_t name_at = pos + 11;
            const auto name = backtick_name(line, name_at);
            if (!name || Core::ascii_upper(*name) == "SYSTEM_TIME") continue;
            std::string text(line.substr(pos + 11));
            if (!text.empty() && text.back() == ',') text.pop_back();
            table.set_attribute(std::string(MariaDBBuilder::APPLICATION_PERIOD), text);
            period = *name;
            continue;
        }
        if (rest.starts_with("CONSTRAINT `")) {
            std::size_t name_at = pos + 11;
            if (auto name = backtick_name(line, name_at); name && line.substr(name_at).starts_with(" CHECK ("))
                table_checks.push_back(*name);
            continue;
        }
        std::string name;
        std::size_t parts_at = 0;
        if (rest.starts_with("PRIMARY KEY (")) {
            name = "PRIMARY";
            parts_at = pos + 12;
        } else {
            const std::size_t key = rest.starts_with("KEY `") ? 0 : rest.find(" KEY `");
            if (key == std::string_view::npos || key > 10) continue;
            std::size_t name_at = pos + (key == 0 ? 4 : key + 5);
            const auto found = backtick_name(line, name_at);
            if (!found || name_at >= line.size() || line[name_at] != ' ') continue;
            name = *found;
            parts_at = name_at + 1;
        }
        if (parts_at >= line.size() || line[parts_at] != '(') continue;
        const std::size_t parts_end = list_end(line, parts_at);
        const std::string_view parts = line.substr(parts_at, parts_end - parts_at);
        const std::string_view tail = line.substr(parts_end);
        if (tail.starts_with(" USING ")) {
            std::size_t end = 7;
            while (end < tail.size() && tail[end] != ' ' && tail[end] != ',') ++end;
            methods[name] = std::string(tail.substr(7, end - 7));
        }
        if (name == "PRIMARY" || !contains(parts, " WITHOUT OVERLAPS")) continue;
        // The catalogue lists the period's end and start columns in place of the period.
        for (const auto& index : *table.get_indexes()) {
            if (index->get_name() != name) continue;
            auto columns = index->get_columns();
            if (columns.size() >= 2 && !period.empty()) {
                columns.resize(columns.size() - 2);
                columns.push_back(ident(period) + " WITHOUT OVERLAPS");
                index->set_columns(std::move(columns));
            }
        }
    }
    if (const auto primary = methods.find("PRIMARY"); primary != methods.end())
        table.set_attribute(std::string(MariaDBBuilder::PRIMARY_KEY_METHOD), primary->second);
    for (const auto& index : *table.get_indexes()) {
        const std::string method = Core::ascii_upper(index->get_method());
        if (method != "BTREE" && method != "HASH" && method != "RTREE") continue;
        const auto given = methods.find(index->get_name());
        index->set_method(given == methods.end() ? std::string() : given->second);
    }
    // The period's own check (start before end) is part of the period, and a check written on a
    // column (named after it, never listed as a CONSTRAINT of the table) is part of the column:
    // it is added and dropped with the column's definition, not as a constraint.
    const auto& constraints = table.get_constraints();
    for (std::size_t i = constraints->size(); i-- > 0;) {
        auto check = std::dynamic_pointer_cast<MetaCheck>(constraints->get(i));
        if (!check) continue;
        const std::string& name = check->get_name();
        if (!period.empty() && name == period) {
            constraints->remove_at(i);
        } else if (std::find(table_checks.begin(), table_checks.end(), name) == table_checks.end()) {
            if (auto column = table.get_column(name)) {
                column->set_attribute("CHECK", check->get_check());
                constraints->remove_at(i);
            }
        }
    }
}

std::string program_body(std::string_view body) { return MariaDBAdapter::program_body(body); }

// ---- Bodies as they were written
//
// The catalogue's text of a stored program's body (ROUTINE_DEFINITION, ACTION_STATEMENT,
// EVENT_DEFINITION) is a second copy the server keeps, with the escapes of its string literals
// resolved and their character-set introducers dropped: 'a\\b' reads 'a\b', which no longer parses
// as it was written, and a script built from it breaks or stores other data. The text as written
// comes from mysql.proc and mysql.event for routines and events (one query per schema) and from
// SHOW CREATE TRIGGER for triggers; only a body with a literal that escapes or introducers touch
// (a quoted text, a backslash, a hex or bit number) can differ, so only such bodies are read again.
// An account that may not read the source keeps the catalogue's text.

bool may_differ_from_source(std::string_view body) {
    if (body.find_first_of("'\"\\") != std::string_view::npos) return true;
    for (std::size_t at = body.find('0'); at != std::string_view::npos; at = body.find('0', at + 1)) {
        const char next = at + 1 < body.size() ? body[at + 1] : '\0';
        if ((next == 'x' || next == 'X' || next == 'b' || next == 'B') && (at == 0 || !is_word_char(body[at - 1])))
            return true;
    }
    return false;
}

/// Moves `pos` past the white space and comments of `text` there; false at an unclosed comment.
bool skip_sql_blank(std::string_view text, std::size_t& pos) {
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            ++pos;
        } else if (text.substr(pos, 2) == "/*") {
            const std::size_t end = text.find("*/", pos + 2);
            if (end == std::string_view::npos) return false;
            pos = end + 2;
        } else if (c == '#' || (text.substr(pos, 2) == "--" &&
                                (pos + 2 == text.size() || static_cast<unsigned char>(text[pos + 2]) <= ' '))) {
            const std::size_t end = text.find('\n', pos);
            pos = end == std::string_view::npos ? text.size() : end + 1;
        } else {
            break;
        }
    }
    return true;
}

/// Where the body starts in the CREATE text of a trigger: after FOR EACH ROW and any FOLLOWS or
/// PRECEDES clause, the words looked for outside quotes and comments.
std::optional<std::size_t> trigger_body_start(std::string_view text) {
    static constexpr std::array<std::string_view, 3> words = {"FOR", "EACH", "ROW"};
    std::size_t pos = 0;
    const auto skip_blank = [&] { return skip_sql_blank(text, pos); };
    // Moves past the token at `pos`, giving its text when it is a word.
    const auto next_token = [&](std::string_view& word) {
        word = {};
        const char c = text[pos];
        if (c == '\'' || c == '"' || c == '`') {
            pos = sql_quoted_end(text, pos, c);
        } else if (is_word_char(c)) {
            const std::size_t begin = pos;
            while (pos < text.size() && is_word_char(text[pos])) ++pos;
            word = text.substr(begin, pos - begin);
        } else {
            ++pos;
        }
        return true;
    };
    std::size_t matched = 0;
    std::string_view word;
    while (matched < words.size()) {
        if (!skip_blank() || pos >= text.size() || !next_token(word)) return std::nullopt;
        const std::string upper = Core::ascii_upper(word);
        matched = upper == words[matched] ? matched + 1 : upper == words[0] ? 1 : 0;
    }
    // The body starts after the white space; a comment there is the body's own.
    const auto skip_spaces = [&] {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n' || text[pos] == '\r'))
            ++pos;
    };
    skip_spaces();
    const std::size_t body = pos;
    if (skip_blank() && pos < text.size() && next_token(word)) {
        const std::string upper = Core::ascii_upper(word);
        if (upper == "FOLLOWS" || upper == "PRECEDES") {
            if (!skip_blank() || pos >= text.size() || !next_token(word)) return std::nullopt;
            skip_spaces();
        } else {
            pos = body;
        }
    } else {
        pos = body;
    }
    if (pos >= text.size()) return std::nullopt;
    return pos;
}

/// A trigger as written: its head (what follows TRIGGER up to the body: name, timing, event,
/// table, order) and its body.
struct TriggerSource {
    std::string head;
    std::string body;
};

/// Where the head starts in the CREATE text the server keeps ("CREATE DEFINER=`u`@`h` TRIGGER ...").
std::optional<std::size_t> trigger_head_start(std::string_view text) {
    static constexpr std::string_view lead = "CREATE DEFINER=";
    if (!text.starts_with(lead)) return std::nullopt;
    std::size_t at = lead.size();
    // The account: `user`@`host`, as the server writes it.
    for (int part = 0; part < 2; ++part) {
        if (at >= text.size() || text[at] != '`') return std::nullopt;
        at = sql_quoted_end(text, at, '`');
        if (part == 0) {
            if (at >= text.size() || text[at] != '@') return std::nullopt;
            ++at;
        }
    }
    static constexpr std::string_view word = " TRIGGER ";
    if (text.substr(at, word.size()) != word) return std::nullopt;
    return at + word.size();
}

/// The table a trigger's head names after ON (`name` BEFORE INSERT ON `t` ...), its quotes taken
/// off; nothing when the head does not read so.
std::optional<std::string> trigger_table(std::string_view head) {
    std::vector<std::string> tokens;  // names unquoted; a quoted name starts with a NUL to tell it apart
    std::size_t pos = 0;
    while (true) {
        if (!skip_sql_blank(head, pos)) return std::nullopt;
        if (pos >= head.size()) break;
        const char c = head[pos];
        if (c == '`' || c == '"') {
            const std::size_t end = sql_quoted_end(head, pos, c);
            if (end - pos < 2 || head[end - 1] != c) return std::nullopt;
            std::string name(1, '\0');
            for (std::size_t i = pos + 1; i + 1 < end; ++i) {
                name += head[i];
                if (head[i] == c) ++i;  // a doubled quote is one
            }
            tokens.push_back(std::move(name));
            pos = end;
        } else if (c == '.') {
            tokens.emplace_back(".");
            ++pos;
        } else if (is_word_char(c)) {
            const std::size_t begin = pos;
            while (pos < head.size() && is_word_char(head[pos])) ++pos;
            tokens.emplace_back(head.substr(begin, pos - begin));
        } else {
            return std::nullopt;
        }
    }
    const auto bare = [](const std::string& token) { return token.empty() || token[0] != '\0' ? token : token.substr(1); };
    // The name, the timing and the event come first; the table follows ON, perhaps after its schema.
    for (std::size_t i = 3; i + 1 < tokens.size(); ++i) {
        if (Core::ascii_upper(tokens[i]) != "ON") continue;
        if (i + 3 < tokens.size() && tokens[i + 2] == ".") return bare(tokens[i + 3]);
        return bare(tokens[i + 1]);
    }
    return std::nullopt;
}

/// A trigger as written, from its SHOW CREATE text; nothing when it cannot be read or found.
std::optional<TriggerSource> created_trigger(IConnection& connection, std::string_view schema,
                                             const std::string& name) {
    const std::string sql = "SHOW CREATE TRIGGER " + ident(schema) + "." + ident(name) + ";";
    constexpr std::size_t column = 2;  // SQL Original Statement
    auto read = read_rows(connection, sql);
    if (!read) {
        g_debug("%s: %s", sql.c_str(), read.error().message.c_str());
        return std::nullopt;
    }
    if (read->size() != 1 || read->columns() <= column || read->is_null(column, 0)) return std::nullopt;
    const std::string text = read->text(column, 0);
    const auto start = trigger_body_start(text);
    if (!start) return std::nullopt;
    TriggerSource source{{}, text.substr(*start)};
    if (const auto head = trigger_head_start(text); head && *head <= *start)
        source.head = text.substr(*head, *start - *head);
    return source;
}

/// A stored program as it was written: its body and, for a routine, its parameter list.
struct ProgramSource {
    std::string body;
    std::string parameters;
};

/// The bodies as written of a schema's routines (mysql.proc, keyed "TYPE name", with their parameter
/// lists as written) or events (mysql.event, keyed "EVENT name"); of one of them when `name` is
/// given. Those tables keep a text in the character set of the session that created it: only texts
/// from UTF-8 sessions are taken. Empty when the account may not read the table.
std::unordered_map<std::string, ProgramSource> program_sources(IConnection& connection, bool routines,
                                                               std::string_view schema, std::string_view name) {
    std::string sql = std::string("SELECT ") + (routines ? "type" : "'EVENT'") +
                      ", name, CONVERT(body USING utf8mb4), character_set_client, " +
                      (routines ? "CONVERT(param_list USING utf8mb4)" : "''") + " FROM `mysql`.`" +
                      (routines ? "proc" : "event") + "` WHERE BINARY db = " + text_lit(schema) + "";
    if (!name.empty()) sql += " AND name = " + text_lit(name) + "";
    sql += ";";
    std::unordered_map<std::string, ProgramSource> sources;
    auto read = read_rows(connection, sql);
    if (!read) {
        g_debug("%s: %s", sql.c_str(), read.error().message.c_str());
        return sources;
    }
    for (std::size_t i = 0; i < read->size(); ++i)
        if (!read->is_null(2, i) && read->text(3, i).starts_with("utf8"))
            sources[read->text(0, i) + " " + read->text(1, i)] = {read->text(2, i), read->text(4, i)};
    return sources;
}

/// The trigger's head as written (the server shows it so; kept in the data slot WRITTEN_HEAD for
/// the builder) and, where the catalogue's copy may differ, its body as written. `whole`: the body
/// as the catalogue gives it (a table's triggers); otherwise as `program_body` gives it (a trigger
/// filled on its own).
void restore_trigger_source(IConnection& connection, MetaTrigger& trigger, std::string_view schema, bool whole) {
    const auto source = created_trigger(connection, schema, trigger.get_name());
    if (!source) return;
    if (!source->head.empty())
        trigger.set_data(std::string(MariaDBBuilder::WRITTEN_HEAD), Core::Value::from_string(source->head));
    if (may_differ_from_source(trigger.get_body())) trigger.set_body(whole ? source->body : program_body(source->body));
}

/// Puts the written bodies in place of the catalogue's for the routines or events whose body may
/// differ, reading their table once; `name` narrows the read to one of them. A routine's parameters
/// are taken as written too (the server shows them so; the catalogue names their types its own
/// way), so routines are always read: call it after their parameters are filled.
template <class Program>
void restore_sources(IConnection& connection, std::string_view schema,
                     const std::vector<std::shared_ptr<Program>>& programs, std::string_view name = {}) {
    constexpr bool routines = std::is_same_v<Program, MetaFunction>;
    const auto key = [](const Program& program) {
        if constexpr (routines) return program.routine_type() + " " + program.get_name();
        else return "EVENT " + program.get_name();
    };
    if (programs.empty()) return;
    if (!routines && std::none_of(programs.begin(), programs.end(),
                                  [](const auto& program) { return may_differ_from_source(program->get_body()); }))
        return;
    const auto sources = program_sources(connection, routines, schema, name);
    for (const auto& program : programs) {
        const auto found = sources.find(key(*program));
        if (found == sources.end()) continue;
        if (may_differ_from_source(program->get_body())) program->set_body(program_body(found->second.body));
        if constexpr (routines) {
            if (!program->is_package()) {
                program->set_parameters(MariaDBAdapter::split_parameters(found->second.parameters));
                program->set_data(std::string(MariaDBAdapter::WRITTEN_PARAMETERS),
                                  Core::Value::from_string(found->second.parameters));
            }
            program->set_data(std::string(MariaDBAdapter::WRITTEN_BODY), Core::Value::from_string(found->second.body));
        }
    }
}

/// Fills the event from row 0; false (after the warning) when there is none.
bool apply_event(MetaEvent& event, const Rows& rows, const char* function) {
    if (!rows.present(function)) return false;
    event.set_definer(rows.text(0, 0));
    event.set_body(program_body(rows.text(1, 0)));
    event.set_kind(rows.text(2, 0));
    std::string schedule;
    if (rows.is_null(3, 0)) {
        schedule = "EVERY " + rows.text(4, 0) + " " + rows.text(5, 0);
        if (!rows.is_null(6, 0)) schedule += " STARTS '" + rows.text(6, 0) + "'";
        if (!rows.is_null(7, 0)) schedule += " ENDS '" + rows.text(7, 0) + "'";
    } else {
        schedule = "AT '" + rows.text(3, 0) + "'";
    }
    event.set_schedule(schedule);
    event.set_state(rows.text(8, 0));
    event.set_completion(rows.text(9, 0));
    event.set_comment(rows.text(10, 0));
    set_session(event, rows.text(11, 0), rows.text(12, 0));
    return true;
}

/// A routine's return or parameter type with its character set and collation, as SHOW CREATE writes
/// it ("text CHARSET utf8mb3 COLLATE utf8mb3_general_ci"): without them a rebuilt routine takes the
/// default of the schema it is built in, which may be another.
std::string typed_with_charset(const Rows& rows, std::size_t row, std::size_t type, std::size_t charset) {
    std::string text = rows.text(type, row);
    if (text.empty() || rows.columns() <= charset + 1 || rows.is_null(charset, row)) return text;
    const std::string name = rows.text(charset, row);
    const std::string upper = Core::ascii_upper(text);
    if (name.empty() || name == "binary" || contains(upper, " CHARSET ") || contains(upper, " CHARACTER SET "))
        return text;
    text += " CHARSET " + name;
    if (!rows.is_null(charset + 1, row)) text += " COLLATE " + rows.text(charset + 1, row);
    return text;
}

/// Fills the routine from row 0 of its catalogue rows; false (after the warning) when there is none.
bool apply_routine(MetaFunction& function, const Rows& routine, const char* caller) {
    if (!routine.present(caller)) return false;
    function.set_is_function(routine.text(0, 0) == "FUNCTION");
    if (routine.text(0, 0).starts_with("PACKAGE")) function.set_attribute(std::string(MetaFunction::PACKAGE), routine.text(0, 0));
    function.set_return_type(typed_with_charset(routine, 0, 2, 12));
    function.set_attribute("LANGUAGE", routine.text(3, 0));
    function.set_attribute("DETERMINISTIC", routine.text(4, 0));
    function.set_attribute("DATA_ACCESS", routine.text(5, 0));
    function.set_attribute("SQL SECURITY", routine.text(6, 0));
    function.set_attribute("DEFINER", routine.text(7, 0));
    function.set_attribute("COMMENT", routine.text(8, 0));
    function.set_body(program_body(routine.text(9, 0)));
    if (routine.is_null(9, 0)) function.set_data(MariaDBAdapter::BODY_HIDDEN, Core::Value::from_int(1));
    // The catalogue has no word for an aggregate function, whose body is the only one that may fetch
    // its group's next row.
    if (function.get_is_function() && contains(Core::ascii_upper(function.get_body()), "FETCH GROUP NEXT ROW"))
        function.set_attribute("AGGREGATE", "YES");
    set_session(function, routine.text(10, 0), routine.text(11, 0));
    return true;
}

/// Appends "mode name type" per parameter row; false (after the warning) when there is none, so
/// the routine is not marked filled.
bool apply_parameters(MetaFunction& function, const Rows& parameters, const char* caller) {
    if (!parameters.present(caller)) return false;
    auto list = function.get_parameters();
    for (std::size_t i = 0; i < parameters.size(); ++i)
        list.push_back(parameters.text(0, i) + " " + mariadb_bare_identifier(parameters.text(1, i)) + " " +
                       typed_with_charset(parameters, i, 3, 4));
    function.set_parameters(std::move(list));
    return true;
}

void apply_relations(Core::StringMap& relations, const Rows& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i)
        relations[rows.text(0, i) + "=" + rows.text(1, i)] = rows.text(2, i) == "Y" ? "true" : "false";
}

const Core::Regex& grant_pattern() {
    // An object is a run of plain name characters and backtick names (`my db`.*).
    static const Core::Regex pattern(R"(GRANT\s(?<rights>[\w,\s]+)\sON\s(?<object>(?:`(?:[^`]|``)*`|[\w\.\*])+)\sTO)",
                                     static_cast<GRegexCompileFlags>(G_REGEX_CASELESS | G_REGEX_MULTILINE));
    return pattern;
}

void apply_grants(Core::StringMap& privileges, const Rows& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string grant = rows.text(0, i);
        const auto match = grant_pattern().match(grant);
        if (!match) continue;
        // Keyed by the object's names, quoted where a period or backtick would make them ambiguous.
        const std::string object = mariadb_privilege_key(mariadb_privilege_names(match->named("object")));
        std::string rights = match->named("rights");
        // Looked for after the object, so a database or table named so does not count.
        const auto end = static_cast<std::size_t>(std::max(match->position(0).second, 0));
        if (contains(std::string_view(grant).substr(std::min(end, grant.size())), "GRANT OPTION"))
            rights += ", GRANT OPTION";
        auto [slot, inserted] = privileges.try_emplace(object, rights);
        if (!inserted) slot->second = slot->second + ", " + rights;
    }
}

}  // namespace

// ---- Construction

std::shared_ptr<MariaDBAdapter> MariaDBAdapter::create(IConnection* connection) {
    OMBRIX_RETURN_VAL_IF_NULL(connection, nullptr);
    return Core::make_object<MariaDBAdapter>(connection);
}

std::shared_ptr<Contracts::Database::IInspectable> MariaDBAdapter::inspector() {
    if (auto own = get_connection()->inspector()) return own;
    const std::lock_guard lock(m_fallback_mutex);
    if (!m_inspector) m_inspector = MariaDBInspector::create(get_connection());
    return m_inspector;
}

std::shared_ptr<Contracts::Database::IStatement> MariaDBAdapter::statement() {
    if (auto own = get_connection()->statement()) return own;
    const std::lock_guard lock(m_fallback_mutex);
    if (!m_statement) m_statement = MariaDBStatement::create(get_connection());
    return m_statement;
}

// ---- Pure helpers

std::optional<std::string> MariaDBAdapter::strip_begin_end(std::string_view body) {
    const auto keyword_at = [&](std::size_t at, std::string_view word) {
        if (at + word.size() > body.size()) return false;
        return Core::ascii_upper(body.substr(at, word.size())) == word;
    };
    if (body.size() < 8 || !keyword_at(0, "BEGIN") || is_word_char(body[5])) return std::nullopt;
    const std::size_t end_at = body.size() - 3;
    if (!keyword_at(end_at, "END") || is_word_char(body[end_at - 1]) || end_at < 5) return std::nullopt;
    return std::string(body.substr(5, end_at - 5));
}

std::string MariaDBAdapter::program_body(std::string_view body) {
    const std::string text = trim(body);
    const auto inner = strip_begin_end(text);
    return inner ? trim(*inner) : text;
}

Core::StringList MariaDBAdapter::split_parameters(std::string_view list) {
    Core::StringList parameters;
    std::size_t start = 0;
    int depth = 0;
    for (std::size_t at = 0; at <= list.size();) {
        if (at == list.size() || (list[at] == ',' && depth == 0)) {
            if (const std::string item = trim(list.substr(start, at - start)); !item.empty()) parameters.push_back(item);
            start = ++at;
            continue;
        }
        const char c = list[at];
        if (c == '\'' || c == '"' || c == '`') {
            at = sql_quoted_end(list, at, c);
            continue;
        }
        if (c == '(') ++depth;
        if (c == ')' && depth > 0) --depth;
        ++at;
    }
    return parameters;
}

std::string MariaDBAdapter::enum_values_of(std::string_view column_type) {
    const std::string lower = Core::ascii_lower(column_type.substr(0, 5));
    std::size_t open = std::string_view::npos;
    if (lower.starts_with("enum(")) open = 4;
    else if (lower.starts_with("set(")) open = 3;
    if (open == std::string_view::npos) return {};
    const std::size_t close = column_type.rfind(')');
    if (close == std::string_view::npos || close <= open + 1) return {};
    return std::string(column_type.substr(open + 1, close - open - 1));
}

// ---- Database and schema

Core::Status MariaDBAdapter::fill_meta_database(const std::shared_ptr<MetaDatabase>& database, bool recursive) {
    OMBRIX_RETURN_VAL_IF_NULL(database, {});
    return fill_database(database, recursive, true);
}

Core::Status MariaDBAdapter::fill_database(const std::shared_ptr<MetaDatabase>& database, bool recursive,
                                           bool with_comment) {
    if (!database->is_filled()) {
        const std::string sql =
            std::string("SELECT SCHEMA_NAME, DEFAULT_CHARACTER_SET_NAME, DEFAULT_COLLATION_NAME") +
            (with_comment ? ", SCHEMA_COMMENT" : "") +
            " FROM `information_schema`.`SCHEMATA` WHERE SCHEMA_NAME = " + text_lit(database->get_name()) +
            " ORDER BY SCHEMA_NAME ASC;";
        auto read = read_rows(*get_connection(), sql);
        OMBRIX_RETURN_IF_ERROR(read);
        const Rows& rows = *read;
        if (!rows.empty()) {
            database->set_attribute("CHARACTER SET", rows.text(1, 0));
            database->set_attribute("COLLATE", rows.text(2, 0));
            if (with_comment) database->set_comment(rows.text(3, 0));
        }
        database->append(database->get_name());
        database->set_data(MetaObject::FILLED, Core::Value::from_int(1));
    }
    if (recursive)
        for (const auto& schema : *database->get_schemas())
            if (auto filled = fill_meta_schema(schema, true); !filled) return filled;
    return {};
}

namespace {

constexpr std::string_view kListedTypes = "('BASE TABLE', 'VIEW', 'SYSTEM VIEW', 'SYSTEM VERSIONED', 'SEQUENCE')";

/// The object a schema's listing makes of a catalogue row (name, TABLE_TYPE): a view, a sequence
/// or a table (one that keeps its rows' history marked so).
std::shared_ptr<MetaObject> listed_object(const std::string& database, const std::string& schema, const std::string& name,
                                          const std::string& type) {
    if (type == "VIEW") return MetaView::with_names(database, schema, name);
    auto table = MetaTable::with_names(database, schema, name);
    if (type == "SEQUENCE") table->set_option(std::string(MariaDBBuilder::SEQUENCE), "YES");
    if (type == "SYSTEM VERSIONED") table->set_option(std::string(MariaDBBuilder::SYSTEM_VERSIONING), "YES");
    return table;
}

}  // namespace

Core::Result<std::shared_ptr<MetaObject>> MariaDBAdapter::find_table_object(const std::string& schema,
                                                                           const std::string& name) {
    auto rows = read_rows(*get_connection(),
                          "SELECT TABLE_NAME, TABLE_TYPE FROM `information_schema`.`TABLES` WHERE TABLE_SCHEMA = " +
                              text_lit(schema) + " AND TABLE_NAME = " + text_lit(name) + " AND TABLE_TYPE IN " +
                              std::string(kListedTypes) + ";");
    OMBRIX_RETURN_IF_ERROR(rows);
    // The catalogue compares names as the file system does; the listing's match is exact.
    for (std::size_t i = 0; i < rows->size(); ++i)
        if (rows->text(0, i) == name) return listed_object(schema, schema, name, rows->text(1, i));
    return std::shared_ptr<MetaObject>();
}

Core::Result<std::shared_ptr<MetaObject>> MariaDBAdapter::find_object(const std::string& schema,
                                                                     const std::string& name) {
    auto table = find_table_object(schema, name);
    if (!table || *table) return table;
    auto connection = get_connection();
    auto routines = read_rows(*connection,
        "SELECT ROUTINE_SCHEMA, ROUTINE_NAME, ROUTINE_TYPE FROM information_schema.ROUTINES WHERE DEFINER NOT LIKE "
        "'%mysql%' AND ROUTINE_SCHEMA = " + text_lit(schema) + " AND ROUTINE_NAME = " + text_lit(name) +
            " AND ROUTINE_TYPE IN ('FUNCTION', 'PROCEDURE', 'PACKAGE', 'PACKAGE BODY') ORDER BY ROUTINE_TYPE ASC;");
    OMBRIX_RETURN_IF_ERROR(routines);
    for (std::size_t i = 0; i < routines->size(); ++i) {
        if (routines->text(0, i) != schema || routines->text(1, i) != name) continue;
        auto function = MetaFunction::with_names(schema, schema, name);
        function->set_is_function(routines->text(2, i) == "FUNCTION");
        if (routines->text(2, i).starts_with("PACKAGE"))
            function->set_attribute(std::string(MetaFunction::PACKAGE), routines->text(2, i));
        return std::shared_ptr<MetaObject>(function);
    }
    auto events = read_rows(*connection, "SELECT EVENT_SCHEMA, EVENT_NAME FROM `information_schema`.`EVENTS` WHERE "
                                         "EVENT_SCHEMA = " + text_lit(schema) + " AND EVENT_NAME = " + text_lit(name) + ";");
    OMBRIX_RETURN_IF_ERROR(events);
    for (std::size_t i = 0; i < events->size(); ++i)
        if (events->text(0, i) == schema && events->text(1, i) == name)
            return std::shared_ptr<MetaObject>(MetaEvent::with_names(schema, schema, name));
    // A trigger's own file names it: SHOW CREATE TRIGGER reads nothing else, and its text names the
    // table whose triggers are then read.
    if (const auto source = created_trigger(*connection, schema, name)) {
        auto trigger = MetaTrigger::with_names(schema, schema, name);
        if (const auto table = trigger_table(source->head)) trigger->set_target(*table);
        return std::shared_ptr<MetaObject>(trigger);
    }
    return std::shared_ptr<MetaObject>();
}

Core::Status MariaDBAdapter::fill_meta_schema(const std::shared_ptr<MetaSchema>& schema, bool recursive) {
    OMBRIX_RETURN_VAL_IF_NULL(schema, {});
    if (!schema->is_filled()) {
        const std::string& database = schema->get_database();
        const std::string& name = schema->get_name();
        auto tables = read_rows(*get_connection(),
            "SELECT TABLE_NAME, TABLE_TYPE FROM `information_schema`.`TABLES` WHERE TABLE_SCHEMA = " + text_lit(name) +
                " AND (TABLE_TYPE IN " + std::string(kListedTypes) + ") ORDER BY TABLE_NAME ASC;");
        OMBRIX_RETURN_IF_ERROR(tables);
        const Rows& table_rows = *tables;
        for (std::size_t i = 0; i < table_rows.size(); ++i) {
            const std::string& type = table_rows.text(1, i);
            auto object = listed_object(database, name, table_rows.text(0, i), type);
            if (type == "VIEW")
                schema->get_views()->append(std::static_pointer_cast<MetaView>(object));
            else if (type == "SEQUENCE")
                schema->get_sequences()->append(std::static_pointer_cast<MetaTable>(object));
            else  // a table that keeps its rows' history is a table all the same
                schema->get_tables()->append(std::static_pointer_cast<MetaTable>(object));
        }

        auto routines = read_rows(*get_connection(),
            "SELECT r.ROUTINE_NAME, r.ROUTINE_TYPE, r.`DEFINER` FROM information_schema.ROUTINES r WHERE DEFINER "
            "NOT LIKE '%mysql%' AND BINARY ROUTINE_SCHEMA = " +
                text_lit(name) + " AND ROUTINE_TYPE IN ('FUNCTION', 'PROCEDURE', 'PACKAGE', 'PACKAGE BODY') ORDER BY "
                "ROUTINE_NAME ASC, ROUTINE_TYPE ASC;");
        OMBRIX_RETURN_IF_ERROR(routines);
        const Rows& routine_rows = *routines;
        for (std::size_t i = 0; i < routine_rows.size(); ++i) {
            auto function = MetaFunction::with_names(database, name, routine_rows.text(0, i));
            function->set_is_function(routine_rows.text(1, i) == "FUNCTION");
            // A package and its body are kept with the procedures, the body after its package.
            if (routine_rows.text(1, i).starts_with("PACKAGE"))
                function->set_attribute(std::string(MetaFunction::PACKAGE), routine_rows.text(1, i));
            (function->get_is_function() ? schema->get_functions() : schema->get_procedures())->append(function);
        }

        auto events = read_rows(*get_connection(),
            "SELECT EVENT_NAME, EVENT_TYPE FROM `information_schema`.`EVENTS` WHERE BINARY EVENT_SCHEMA = " +
                text_lit(name) + " ORDER BY EVENT_NAME ASC;");
        OMBRIX_RETURN_IF_ERROR(events);
        const Rows& event_rows = *events;
        for (std::size_t i = 0; i < event_rows.size(); ++i)
            schema->get_events()->append(MetaEvent::with_names(database, name, event_rows.text(0, i)));
        schema->set_data(MetaObject::FILLED, Core::Value::from_int(1));
    }
    if (!recursive) return {};
    return fill_schema_members(*schema);
}

Core::Status MariaDBAdapter::fill_schema_members(MetaSchema& schema) {
    const std::string& name = schema.get_name();
    const bool outline = schema.has_data(MetaObject::OUTLINE);
    auto connection = get_connection();

    // Tables: each catalogue once for the schema, its rows handed to their tables.
    std::vector<std::shared_ptr<MetaTable>> pending;
    for (const auto& table : *schema.get_tables())
        if (!table->is_filled()) pending.push_back(table);
    const bool views_pending = std::any_of(schema.get_views()->begin(), schema.get_views()->end(),
                                           [](const auto& view) { return !view->is_filled(); });
    ModelPtr column_model;
    if (!pending.empty() || views_pending) {
        auto model = connection->execute_as_model(columns_query(name), false);
        OMBRIX_RETURN_IF_ERROR(model);
        column_model = *model;
    }
    const Groups columns(column_model, kColumnsKey);
    if (!pending.empty()) {
        std::vector<ModelPtr> models{column_model};
        for (const std::string& sql : {index_query(name), trigger_query(name), foreign_query(name), check_query(name),
                                       options_query(name)}) {
            auto model = connection->execute_as_model(sql, false);
            OMBRIX_RETURN_IF_ERROR(model);
            models.push_back(*model);
        }
        const Groups indexes(models[1], kIndexKey);
        const Groups triggers(exactly(all_rows(models[2]), {{kTriggerSchema, name}}), kTriggerKey);
        const Groups foreign_keys(models[3], kForeignKey);
        const Groups checks(exactly(all_rows(models[4]), {{kCheckSchema, name}}), kCheckKey);
        const Groups options(models[5], kOptionsKey);
        const auto types = inspector();
        for (const auto& table : pending) {
            const std::string& table_name = table->get_name();
            apply_columns(*table, columns.of(table_name), *types);
            OMBRIX_STEP_DONE("fill_schema_table_columns");
            apply_indexes(*table, indexes.of(table_name));
            OMBRIX_STEP_DONE("fill_schema_table_index");
            apply_triggers(*table, triggers.of(table_name));
            for (const auto& trigger : *table->get_triggers()) restore_trigger_source(*connection, *trigger, name, true);
            OMBRIX_STEP_DONE("fill_schema_table_trigger");
            apply_foreign_keys(*table, foreign_keys.of(table_name));
            OMBRIX_STEP_DONE("fill_schema_table_foreign");
            apply_checks(*table, checks.of(table_name));
            OMBRIX_STEP_DONE("fill_schema_table_check");
            const bool partitioned = apply_options(*table, options.of(table_name));
            if (!outline)
                if (auto read = fill_create_text(*table, partitioned); !read) return read;
            OMBRIX_STEP_DONE("fill_schema_table_options");
            table->set_data(MetaObject::FILLED, Core::Value::from_int(1));
        }
    }

    for (const auto& sequence : *schema.get_sequences())
        if (!sequence->is_filled())
            if (auto filled = fill_sequence(*sequence); !filled) return filled;

    // Views: their catalogue once for the schema; their columns come with the tables'.
    if (views_pending) {
        auto model = connection->execute_as_model(view_query(name), false);
        OMBRIX_RETURN_IF_ERROR(model);
        const Groups views(*model, kViewKey);
        const auto types = inspector();
        for (const auto& view : *schema.get_views()) {
            if (view->is_filled() || !apply_view(*view, views.of(view->get_name()))) continue;
            apply_view_columns(*view, columns.of(view->get_name()), *types);
            view->set_data(MetaObject::FILLED, Core::Value::from_int(1));
        }
    }

    if (!schema.get_events()->empty()) {
        auto model = connection->execute_as_model(event_query(name), false);
        OMBRIX_RETURN_IF_ERROR(model);
        const Groups events(*model, kEventKey);
        std::vector<std::shared_ptr<MetaEvent>> read;
        for (const auto& event : *schema.get_events())
            if (apply_event(*event, events.of(event->get_name()), kFillMetaEvent)) read.push_back(event);
        restore_sources(*connection, name, read);
    }

    std::vector<std::shared_ptr<MetaFunction>> functions;
    for (const auto& function : *schema.get_functions())
        if (!function->is_filled()) functions.push_back(function);
    if (!functions.empty()) {
        auto routines = connection->execute_as_model(routine_query(name), false);
        OMBRIX_RETURN_IF_ERROR(routines);
        auto parameters = connection->execute_as_model(parameter_query(name), false);
        OMBRIX_RETURN_IF_ERROR(parameters);
        const Groups routine_groups(*routines, kRoutineKey, 0);
        const Groups parameter_groups(*parameters, kParameterKey, kParameterKind);
        std::vector<std::shared_ptr<MetaFunction>> read;
        for (const auto& function : functions) {
            const std::string key = function->routine_type() + " " + function->get_name();
            if (!apply_routine(*function, routine_groups.of(key), kFillMetaFunction)) continue;
            read.push_back(function);
            if (function->is_package() ||
                apply_parameters(*function, parameter_groups.of(key), kFillMetaFunction))
                function->set_data(MetaObject::FILLED, Core::Value::from_int(1));
        }
        restore_sources(*connection, name, read);
    }
    return {};
}

// ---- Tables

Core::Status MariaDBAdapter::fill_meta_table(const std::shared_ptr<MetaTable>& table, bool recursive) {
    OMBRIX_RETURN_VAL_IF_NULL(table, {});
    if (table->is_filled()) return {};
    // A sequence is a table of the server's own making: its definition is what it holds.
    if (MariaDBBuilder::is_sequence(*table)) return fill_sequence(*table);
    if (auto filled = fill_table_alone(*table, recursive); !filled) return filled;
    table->set_data(MetaObject::FILLED, Core::Value::from_int(1));
    return {};
}

Core::Status MariaDBAdapter::fill_table_alone(MetaTable& table, bool recursive) {
    const std::string& schema = table.get_schema();
    const std::string& name = table.get_name();
    auto connection = get_connection();

    const auto types = inspector();
    OMBRIX_RETURN_IF_ERROR(apply_query(*connection, columns_query(schema, name),
                                       [&](const Rows& rows) { apply_columns(table, rows, *types); }));
    OMBRIX_STEP_DONE("fill_schema_table_columns");
    // The primary key is known from the indexes alone, so they are read even for the columns only.
    OMBRIX_RETURN_IF_ERROR(
        apply_query(*connection, index_query(schema, name), [&](const Rows& rows) { apply_indexes(table, rows); }));
    OMBRIX_STEP_DONE("fill_schema_table_index");
    if (!recursive) return {};

    OMBRIX_RETURN_IF_ERROR(apply_query(*connection, trigger_query(schema, name), [&](const Rows& rows) {
        apply_triggers(table, exactly(rows, {{kTriggerKey, name}, {kTriggerSchema, schema}}));
    }));
    for (const auto& trigger : *table.get_triggers()) restore_trigger_source(*connection, *trigger, schema, true);
    OMBRIX_STEP_DONE("fill_schema_table_trigger");
    OMBRIX_RETURN_IF_ERROR(apply_query(*connection, foreign_query(schema, name),
                                       [&](const Rows& rows) { apply_foreign_keys(table, rows); }));
    OMBRIX_STEP_DONE("fill_schema_table_foreign");

    // The two operations below take the shared pointer; the table is always owned by one.
    auto self = std::static_pointer_cast<MetaTable>(table.shared_from_this());
    if (auto checked = fill_schema_table_check(self); !checked) return checked;
    OMBRIX_STEP_DONE("fill_schema_table_check");
    if (auto options = fill_schema_table_options(self); !options) return options;
    OMBRIX_STEP_DONE("fill_schema_table_options");
    return {};
}

Core::Status MariaDBAdapter::fill_sequence(MetaTable& sequence) {
    const std::string name = ident(sequence.get_schema()) + "." + ident(sequence.get_name());
    // Its definition as the server writes it after the name ("start with 1 minvalue 1 ... ENGINE=InnoDB").
    auto created = read_rows(*get_connection(), "SHOW CREATE SEQUENCE " + name + ";");
    OMBRIX_RETURN_IF_ERROR(created);
    if (created->size() != 1 || created->columns() < 2) return {};
    const std::string text = created->text(1, 0);
    std::size_t at = text.find('`');
    if (at == std::string::npos || !backtick_name(text, at)) return {};
    sequence.set_option(std::string(MariaDBBuilder::SEQUENCE), "YES");
    sequence.set_attribute(std::string(MariaDBBuilder::SEQUENCE_DEFINITION), trim(std::string_view(text).substr(at)));
    // Where it stands: the next value it hands out once its cache is spent.
    auto position = read_rows(*get_connection(), "SELECT next_not_cached_value FROM " + name + ";");
    OMBRIX_RETURN_IF_ERROR(position);
    if (position->size() == 1 && !position->is_null(0, 0))
        sequence.set_data(std::string(MariaDBBuilder::SEQUENCE_NEXT), Core::Value::from_string(position->text(0, 0)));
    sequence.set_data(MetaObject::FILLED, Core::Value::from_int(1));
    return {};
}

Core::Status MariaDBAdapter::fill_schema_table_check(const std::shared_ptr<MetaTable>& table) {
    OMBRIX_RETURN_VAL_IF_NULL(table, {});
    return apply_query(*get_connection(), check_query(table->get_schema(), table->get_name()), [&](const Rows& rows) {
        apply_checks(*table, exactly(rows, {{kCheckKey, table->get_name()}, {kCheckSchema, table->get_schema()}}));
    });
}

Core::Status MariaDBAdapter::fill_schema_table_options(const std::shared_ptr<MetaTable>& table) {
    OMBRIX_RETURN_VAL_IF_NULL(table, {});
    auto rows = read_rows(*get_connection(), options_query(table->get_schema(), table->get_name()));
    OMBRIX_RETURN_IF_ERROR(rows);
    return fill_create_text(*table, apply_options(*table, exactly(*rows, {{kOptionsKey, table->get_name()}})));
}

Core::Status MariaDBAdapter::fill_create_text(MetaTable& table, bool partitioned) {
    return apply_query(*get_connection(),
                       "SHOW CREATE TABLE " + ident(table.get_schema()) + "." + ident(table.get_name()) + ";",
                       [&](const Rows& rows) {
                           if (rows.size() == 1 && rows.columns() > 1)
                               apply_create_text(table, rows.text(1, 0), partitioned);
                       });
}

// ---- Views, indexes, triggers, routines, events

Core::Status MariaDBAdapter::fill_meta_view(const std::shared_ptr<MetaView>& view) {
    OMBRIX_RETURN_VAL_IF_NULL(view, {});
    if (view->is_filled()) return {};
    auto rows = read_rows(*get_connection(), view_query(view->get_schema(), view->get_name()));
    OMBRIX_RETURN_IF_ERROR(rows);
    if (!apply_view(*view, *rows)) return {};
    const auto types = inspector();
    OMBRIX_RETURN_IF_ERROR(apply_query(*get_connection(), columns_query(view->get_schema(), view->get_name()),
                                       [&](const Rows& columns) { apply_view_columns(*view, columns, *types); }));
    view->set_data(MetaObject::FILLED, Core::Value::from_int(1));
    return {};
}

Core::Status MariaDBAdapter::fill_meta_index(const std::shared_ptr<MetaIndex>& index) {
    OMBRIX_RETURN_VAL_IF_NULL(index, {});
    if (index->is_filled()) return {};
    // Asked by its table's schema and name, so that the server opens that table alone.
    auto read = read_rows(*get_connection(),
        "SELECT TABLE_NAME, NON_UNIQUE, INDEX_TYPE, INDEX_COMMENT, SEQ_IN_INDEX, COLUMN_NAME, SUB_PART, COLLATION, "
        "TABLE_SCHEMA FROM `information_schema`.`STATISTICS` WHERE TABLE_SCHEMA = " +
            text_lit(index->get_schema()) + " AND TABLE_NAME = " + text_lit(index->get_entity()) +
            " AND INDEX_NAME = " + text_lit(index->get_name()) + " ORDER BY SEQ_IN_INDEX ASC;");
    OMBRIX_RETURN_IF_ERROR(read);
    const Rows rows = exactly(*read, {{0, index->get_entity()}, {8, index->get_schema()}});
    if (!rows.present(__PRETTY_FUNCTION__)) return {};
    if (rows.text(1, 0) == "0") index->set_kind("UNIQUE");
    index->set_method(rows.text(2, 0));
    index->set_comment(rows.text(3, 0));
    for (std::size_t i = 0; i < rows.size(); ++i) index->append(key_part_of(rows, i, 5, 6, 7, 2));
    index->set_data(MetaObject::FILLED, Core::Value::from_int(1));
    return {};
}

Core::Status MariaDBAdapter::fill_meta_trigger(const std::shared_ptr<MetaTrigger>& trigger) {
    OMBRIX_RETURN_VAL_IF_NULL(trigger, {});
    if (trigger->is_filled()) return {};
    // Asked within its schema (a trigger's schema is its table's) and, when the trigger already
    // names it, its table, which the server then reads alone.
    const std::string& table = trigger->get_target();
    const auto query = [&](bool of_table) {
        return read_rows(*get_connection(),
            "SELECT EVENT_OBJECT_TABLE, DEFINER, ACTION_TIMING, EVENT_MANIPULATION, ACTION_ORIENTATION, "
            "ACTION_STATEMENT, SQL_MODE, COLLATION_CONNECTION, TRIGGER_SCHEMA, TRIGGER_NAME FROM "
            "information_schema.TRIGGERS WHERE EVENT_OBJECT_SCHEMA = " +
                text_lit(trigger->get_schema()) + (of_table ? " AND EVENT_OBJECT_TABLE = " + text_lit(table) : std::string()) +
                " AND TRIGGER_NAME = " + text_lit(trigger->get_name()) + ";");
    };
    auto read = query(!table.empty());
    if (read && !table.empty() && read->empty()) read = query(false);  // it is another table's
    OMBRIX_RETURN_IF_ERROR(read);
    const Rows rows = exactly(*read, {{8, trigger->get_schema()}, {9, trigger->get_name()}});
    if (!rows.present(__PRETTY_FUNCTION__)) return {};
    trigger->set_target(rows.text(0, 0));
    trigger->set_definer(rows.text(1, 0));
    trigger->set_timing(rows.text(2, 0));
    trigger->set_event(rows.text(3, 0));
    trigger->set_for_each(trim(rows.text(4, 0)));
    trigger->set_body(program_body(rows.text(5, 0)));
    set_session(*trigger, rows.text(6, 0), rows.text(7, 0));
    restore_trigger_source(*get_connection(), *trigger, trigger->get_schema(), false);
    trigger->set_data(MetaObject::FILLED, Core::Value::from_int(1));
    return {};
}

Core::Status MariaDBAdapter::fill_meta_function(const std::shared_ptr<MetaFunction>& function) {
    OMBRIX_RETURN_VAL_IF_NULL(function, {});
    if (function->is_filled()) return {};
    // The routine of the function's kind: a function and a procedure may share a name.
    // A model that names no kind of its own (a procedure is what a new one says) takes the routine of
    // that name there is.
    auto routine = read_rows(*get_connection(),
                             routine_query(function->get_schema(), function->get_name(), function->routine_type()));
    OMBRIX_RETURN_IF_ERROR(routine);
    if (routine->empty()) {
        routine = read_rows(*get_connection(), routine_query(function->get_schema(), function->get_name(), {}));
        OMBRIX_RETURN_IF_ERROR(routine);
    }
    if (!apply_routine(*function, *routine, __PRETTY_FUNCTION__)) return {};
    const std::string type = function->routine_type();
    bool filled = function->is_package();
    if (!filled) {
        auto parameters =
            read_rows(*get_connection(), parameter_query(function->get_schema(), function->get_name(), type));
        OMBRIX_RETURN_IF_ERROR(parameters);
        filled = apply_parameters(*function, *parameters, __PRETTY_FUNCTION__);
    }
    restore_sources<MetaFunction>(*get_connection(), function->get_schema(), {function}, function->get_name());
    if (filled) function->set_data(MetaObject::FILLED, Core::Value::from_int(1));
    return {};
}

Core::Status MariaDBAdapter::fill_meta_event(const std::shared_ptr<MetaEvent>& event) {
    OMBRIX_RETURN_VAL_IF_NULL(event, {});
    return apply_query(*get_connection(), event_query(event->get_schema(), event->get_name()),
                       [&](const Rows& rows) {
                           if (apply_event(*event, rows, __PRETTY_FUNCTION__))
                               restore_sources<MetaEvent>(*get_connection(), event->get_schema(), {event},
                                                          event->get_name());
                       });
}

// ---- Users and roles

Core::Status MariaDBAdapter::fill_privileges(const std::string& sql, Core::StringMap& privileges) {
    return apply_query(*get_connection(), sql, [&](const Rows& rows) { apply_grants(privileges, rows); });
}

Core::Status MariaDBAdapter::fill_meta_user(const std::shared_ptr<MetaUser>& user) {
    OMBRIX_RETURN_VAL_IF_NULL(user, {});
    if (user->is_filled()) return {};
    const auto statements = statement();
    auto detail =
        read_rows(*get_connection(), statements->show_user_detail(user->get_database(), user->get_schema(), user->get_name()));
    OMBRIX_RETURN_IF_ERROR(detail);
    const Rows& rows = *detail;
    if (!rows.empty()) {
        user->set_password(rows.text(2, 0));
        static constexpr std::pair<const char*, std::size_t> kAttributes[] = {
            {"PLUGIN", 3},       {"PASSWORD_POLICY", 4},  {"SSL_TYPE", 5},         {"X509_CIPHER", 6},
            {"X509_ISSUER", 7},  {"X509_SUBJECT", 8},     {"MAX_QUERIES", 9},      {"MAX_UPDATES", 10},
            {"MAX_CONNECTIONS", 11}, {"USER_CONNECTIONS", 12}, {"MAX_STATEMENT_TIME", 13}};
        for (const auto& [key, column] : kAttributes) user->set_attribute(key, rows.text(column, 0));
        const std::size_t width = rows.columns();
        user->set_attribute("PASSWORD_CHANGED", width > 14 ? rows.text(14, 0) : "NULL");
        user->set_attribute("PASSWORD_LIFETIME", width > 15 ? rows.text(15, 0) : "NULL");
        user->set_attribute("ACCOUNT_STATE", width > 16 ? rows.text(16, 0) : "N");
    }
    if (auto related = load_relation(user); !related) return related;

    Core::StringMap privileges = user->get_privileges();
    auto granted = fill_privileges(
        statements->show_user_rights(user->get_database(), user->get_schema(), user->get_name()), privileges);
    if (!granted) return granted;
    user->set_privileges(std::move(privileges));
    user->set_data(MetaObject::FILLED, Core::Value::from_int(1));
    return {};
}

Core::Status MariaDBAdapter::load_relation(const std::shared_ptr<MetaUser>& user) {
    OMBRIX_RETURN_VAL_IF_NULL(user, {});
    const std::string& name = user->get_name();
    const auto at = name.find('@');
    const std::string account = name.substr(0, at);
    // A name without a host means any host, as in the account statements.
    const std::string host = at == std::string::npos ? std::string("%") : name.substr(at + 1);
    auto read = read_rows(*get_connection(),
                          std::string(kRelationSelect) + "USER = " + text_lit(account) + " AND HOST = " + text_lit(host) + ";");
    OMBRIX_RETURN_IF_ERROR(read);
    const Rows& rows = *read;
    if (!rows.present(__PRETTY_FUNCTION__)) return {};
    Core::StringMap relations = user->get_relations();
    apply_relations(relations, rows);
    user->set_relations(std::move(relations));
    return {};
}

Core::Status MariaDBAdapter::fill_meta_role(const std::shared_ptr<MetaRole>& role) {
    OMBRIX_RETURN_VAL_IF_NULL(role, {});
    if (role->is_filled()) return {};
    const auto statements = statement();
    auto detail = get_connection()->execute_as_model(
        statements->show_role_detail(role->get_database(), role->get_schema(), role->get_name()), false);
    OMBRIX_RETURN_IF_ERROR(detail);
    if (const std::size_t n = (*detail)->get_n_items(); n > 0)
        g_warning("%s: Row count: %u", G_STRLOC, static_cast<unsigned>(n));

    const std::string& name = role->get_name();
    auto members =
        read_rows(*get_connection(), std::string(kRelationSelect) + "Role = " + text_lit(name.substr(0, name.find('@'))) + ";");
    OMBRIX_RETURN_IF_ERROR(members);
    Core::StringMap relations = role->get_relations();
    apply_relations(relations, *members);
    role->set_relations(std::move(relations));

    Core::StringMap privileges = role->get_privileges();
    auto granted = fill_privileges(
        statements->show_role_rights(role->get_database(), role->get_schema(), role->get_name()), privileges);
    if (!granted) return granted;
    role->set_privileges(std::move(privileges));
    role->set_data(MetaObject::FILLED, Core::Value::from_int(1));
    return {};
}

// ---- Dispatch

Core::Status MariaDBAdapter::fill_meta_object(const std::shared_ptr<MetaObject>& meta_object, bool recursive) {
    OMBRIX_RETURN_VAL_IF_NULL(meta_object, {});
    using Providers::Contracts::DBObject;
    switch (meta_object->character()) {
    case DBObject::DATABASE: return fill_meta_database(std::dynamic_pointer_cast<MetaDatabase>(meta_object), recursive);
    case DBObject::SCHEMA: return fill_meta_schema(std::dynamic_pointer_cast<MetaSchema>(meta_object), recursive);
    case DBObject::TABLE: return fill_meta_table(std::dynamic_pointer_cast<MetaTable>(meta_object), recursive);
    case DBObject::EVENT: return fill_meta_event(std::dynamic_pointer_cast<MetaEvent>(meta_object));
    case DBObject::FUNCTION: return fill_meta_function(std::dynamic_pointer_cast<MetaFunction>(meta_object));
    case DBObject::INDEX: return fill_meta_index(std::dynamic_pointer_cast<MetaIndex>(meta_object));
    case DBObject::ROLE: return fill_meta_role(std::dynamic_pointer_cast<MetaRole>(meta_object));
    case DBObject::TRIGGER: return fill_meta_trigger(std::dynamic_pointer_cast<MetaTrigger>(meta_object));
    case DBObject::USER: return fill_meta_user(std::dynamic_pointer_cast<MetaUser>(meta_object));
    case DBObject::VIEW: return fill_meta_view(std::dynamic_pointer_cast<MetaView>(meta_object));
    default: return {};
    }
}

OMBRIX_DEFINE_TYPE(MariaDBAdapter, "OmbrixSolvaneSupportsDatabaseMariaDBAdapter");

// ---- Before 10.5

std::shared_ptr<MariaDBAdapterBelowV105> MariaDBAdapterBelowV105::create(IConnection* connection) {
    OMBRIX_RETURN_VAL_IF_NULL(connection, nullptr);
    return std::shared_ptr<MariaDBAdapterBelowV105>(new MariaDBAdapterBelowV105(connection));
}

Core::Status MariaDBAdapterBelowV105::fill_meta_database(const std::shared_ptr<MetaDatabase>& database,
                                                         bool recursive) {
    OMBRIX_RETURN_VAL_IF_NULL(database, {});
    return fill_database(database, recursive, false);
}

OMBRIX_DEFINE_TYPE(MariaDBAdapterBelowV105, "OmbrixSolvaneSupportsDatabaseMariaDBAdapterBelowV105");

}  // namespace Ombrix::Solvane::Supports::Database
