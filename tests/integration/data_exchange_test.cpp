// Table data through every exchange format and back on the sandbox server: exports streamed by the
// command-line client, imports into an empty copy, and the two tables' checksums compared; then the
// row-by-row importer of the library with every action, and the refusals of bad input.
#include <glib.h>
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "providers/Core/async.hpp"
#include "providers/Core/text.hpp"
#include "solvane/Model/column.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Supports/Data/Extractors/dsv_extractor.hpp"
#include "solvane/Supports/Data/Extractors/json_extractor.hpp"
#include "solvane/Supports/Data/Extractors/xml_extractor.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_connection.hpp"
#include "tests/support/cli_run.hpp"
#include "tests/support/sandbox.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using Ombrix::Testing::CliRun;
using Ombrix::Testing::Sandbox;
using Ombrix::Testing::ScratchSchema;
using Ombrix::Testing::TempDir;
namespace X = Ombrix::Solvane::Supports::Data::Extractors;


// Every kind of column the reader maps, with cells that break naive formats, and a generated
// column (exported, left out when imported).
const char* const kHostileTable =
    "CREATE TABLE %s (id INT PRIMARY KEY, s VARCHAR(200) NULL, txt TEXT NULL, bin VARBINARY(20) NULL, blb BLOB NULL, "
    "big BIGINT UNSIGNED NULL, num DECIMAL(65,30) NULL, dt DATETIME(6) NULL, tm TIME NULL, b BIT(5) NULL, "
    "en ENUM('a','b''c') NULL, st SET('x','y') NULL, j JSON NULL, f FLOAT NULL, d DOUBLE NULL, ti TINYINT NULL, "
    "dat DATE NULL, y YEAR NULL, ch CHAR(3) NULL, gen BIGINT AS (id * 2) VIRTUAL)";

const char* const kHostileRows =
    "INSERT INTO %s VALUES "
    "(1, 'quote '' and \" both, comma; tab\there', 'line1\\r\\nline2\\rline3\\nend', 0x00FF0041, '', "
    "18446744073709551615, '12345678901234567890123456789012345.123456789012345678901234567890', "
    "'2024-02-29 23:59:59.123456', '838:59:59', b'10101', 'b''c', 'x,y', '{\"k\": \"v\\\\\"q\"}', 1.5, -2.25e-300, "
    "-128, '2024-01-01', 2024, 'ab', DEFAULT),"
    "(2, '', NULL, '', NULL, 0, -0.5, NULL, '-12:00:00', b'0', 'a', '', '[]', NULL, NULL, 0, NULL, NULL, '', DEFAULT),"
    "(3, 'back\\\\slash \\\\N and 4-byte \xF0\x9F\x98\x80', 'NULL', NULL, 0x0D0A, NULL, NULL, "
    "'1000-01-01 00:00:00', '00:00:00', NULL, NULL, NULL, NULL, 0, 0, 127, '9999-12-31', 1901, '\\\\N', DEFAULT),"
    "(4, NULL, '', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, DEFAULT)";

std::string format(const char* pattern, const std::string& table) {
    return Ombrix::Core::strprintf(pattern, table.c_str());
}

class DataExchange : public ::testing::Test {
protected:
    CliRun ombrix(const std::vector<std::string>& args, const std::string& input = {}) {
        return Ombrix::Testing::run_cli(home, args, input);
    }

    /// What the standard client prints for `sql`: rows as tab-separated lines.
    std::string client(const std::string& sql) {
        const auto run = Ombrix::Testing::run_client(home, sql);
        EXPECT_EQ(run.status, 0) << sql << "\n" << run.err;
        return run.out;
    }

    /// CHECKSUM TABLE of each table, by the table's name.
    std::map<std::string, std::string> checksums(const std::string& tables) {
        auto run = ombrix({"query", "--format", "tsv", "--no-header", "CHECKSUM TABLE " + tables});
        EXPECT_EQ(run.status, 0) << run.err;
        std::map<std::string, std::string> sums;
        std::istringstream lines(run.out);
        std::string line;
        while (std::getline(lines, line)) {
            const auto tab = line.find('\t');
            if (tab != std::string::npos) sums[line.substr(line.find('.') + 1, tab - line.find('.') - 1)] = line.substr(tab + 1);
        }
        return sums;
    }

    TempDir home;
};

TEST_F(DataExchange, EveryFormatRoundTripsHostileCellsThroughTheCommandLine) {
    ScratchSchema schema("exchange_rt");
    const std::string db = "`" + schema.name() + "`";
    Sandbox::get().exec(format(kHostileTable, db + ".src"));
    Sandbox::get().exec(format(kHostileRows, db + ".src"));

    struct Case {
        std::string format;
        std::vector<std::string> options;
    };
    const std::vector<Case> cases = {
        {"csv", {"--null-text", "\\N"}},
        {"tsv", {"--null-text", "\\N"}},
        {"csv", {"--null-text", "", "--quote", "always"}},
        {"json", {}},
        {"xml", {}},
        {"sql-insert", {}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format + " #" + std::to_string(n));
        const std::string copy = "copy" + std::to_string(n++);
        Sandbox::get().exec("CREATE TABLE " + db + "." + copy + " LIKE " + db + ".src");
        const std::string file = home.file("data." + c.format);
        std::vector<std::string> args{"export", "--table", schema.name() + ".src", "--format", c.format, "-o", file};
        if (c.format == "sql-insert") args.insert(args.end(), {"--table-name", copy});
        args.insert(args.end(), c.options.begin(), c.options.end());
        auto run = ombrix(args);
        ASSERT_EQ(run.status, 0) << run.err;

        if (c.format == "sql-insert") {
            run = ombrix({"query", "-f", "-"}, "USE " + db + ";\n" + Ombrix::Testing::read_text(file));
        } else {
            std::vector<std::string> import{"import", "--table", schema.name() + "." + copy, "--format",
                                            c.format, "--file", file};
            import.insert(import.end(), c.options.begin(), c.options.end());
            // The quoting mode is an export option only.
            if (import.size() >= 2 && import[import.size() - 2] == "--quote") import.resize(import.size() - 2);
            run = ombrix(import);
            EXPECT_EQ(run.out, "Imported rows: 4, refused rows: 0\n");
        }
        ASSERT_EQ(run.status, 0) << run.err;
        auto sums = checksums(db + ".src, " + db + "." + copy);
        EXPECT_FALSE(sums["src"].empty());
        EXPECT_EQ(sums["src"], sums[copy]);

        // What the library writes, it reads back cell for cell: export, load, export again.
        if (c.format == "csv" || c.format == "xml") {
            auto first = ombrix({"export", "--table", schema.name() + "." + copy, "--format", c.format});
            ASSERT_EQ(first.status, 0) << first.err;
            std::shared_ptr<X::ImportingExtractor> extractor;
            if (c.format == "csv")
                extractor = X::DsvExtractor::create("csv");
            else
                extractor = X::XmlExtractor::create("xml");
            auto model = extractor->load_from_text(first.out, 0);
            ASSERT_TRUE(model && *model) << (model ? "no model" : model.error().message);
            std::string again;
            ASSERT_TRUE(extractor->export_to_text(*model, again, {}));
            EXPECT_EQ(again, first.out);
        }
    }
}

TEST_F(DataExchange, ImportRefusesBadRowsAndKeepsTheGoodOnes) {
    ScratchSchema schema("exchange_bad");
    const std::string table = schema.name() + ".t";
    Sandbox::get().exec("CREATE TABLE `" + schema.name() + "`.t (id INT PRIMARY KEY, name VARCHAR(10) NOT NULL)");

    // A number that is SQL, a short line, a duplicate key; the rest goes in.
    auto run = ombrix({"import", "--table", table, "--file", "-"},
                      "id,name\n1,one\n1); DROP TABLE t; --,x\n2\n3,three\n1,again\n4,four");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.out, "Imported rows: 3, refused rows: 3\n");
    EXPECT_NE(run.err.find("line 3 refused: column id: '1); DROP TABLE t; --' is not a number"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("line 4 refused"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("line 6 refused: Duplicate entry '1'"), std::string::npos) << run.err;
    run = ombrix({"query", "--format", "csv", "SELECT id, name FROM `" + schema.name() + "`.t ORDER BY id"});
    EXPECT_EQ(run.out, "id,name\n1,one\n3,three\n4,four\n");

    // A document that is not well-formed imports nothing.
    for (const auto& [fmt, text] : std::vector<std::pair<std::string, std::string>>{
             {"json", "{\"RECORDS\": [{\"id\": 10, \"name\": \"ten\"}, {\"id\": 11"},
             {"xml", "<?xml version=\"1.0\"?><RECORDS><RECORD><id>10</id><name>ten</name></RECORD><RECORD><id>11"}}) {
        run = ombrix({"import", "--table", table, "--format", fmt, "--file", "-"}, text);
        EXPECT_NE(run.status, 0) << fmt;
    }
    run = ombrix({"query", "--format", "csv", "--no-header", "SELECT COUNT(*) FROM `" + schema.name() + "`.t"});
    EXPECT_EQ(run.out, "3\n");
}

TEST_F(DataExchange, DocAndQueryFormatsWriteWhatTheSchemaHolds) {
    ScratchSchema schema("exchange_doc");
    Sandbox::get().exec("CREATE TABLE `" + schema.name() + "`.orders (id INT PRIMARY KEY COMMENT 'the <key>', "
                        "total DECIMAL(10,2) NOT NULL DEFAULT 0) COMMENT 'what was bought'");
    Sandbox::get().exec("CREATE VIEW `" + schema.name() + "`.big AS SELECT id FROM `" + schema.name() + "`.orders");
    for (const std::string fmt : {"html", "md"}) {
        for (const bool plain : {false, true}) {
            const auto file = home.file("doc." + fmt);
            std::vector<std::string> args{"doc", schema.name(), "--format", fmt, "-o", file};
            if (plain) args.push_back("--plain");
            auto run = ombrix(args);
            ASSERT_EQ(run.status, 0) << run.err;
            const auto text = Ombrix::Testing::read_text(file);
            EXPECT_NE(text.find(schema.name() + ".orders"), std::string::npos) << fmt;
            EXPECT_NE(text.find(schema.name() + ".big"), std::string::npos) << fmt;
            EXPECT_NE(text.find("the &lt;key&gt;"), std::string::npos) << text;
            // The plain dictionary lists columns only; the full one the view's reads and definition.
            EXPECT_EQ(text.find("Read by views") != std::string::npos, !plain) << fmt;
        }
    }
    auto run = ombrix({"query", "--format", "json"}, "SELECT 1 AS n, 'x' AS s, NULL AS z");
    EXPECT_EQ(run.out, "{\n    \"RECORDS\": [\n        {\n            \"n\": 1,\n            \"s\": \"x\",\n"
                       "            \"z\": null\n        }\n    ]\n}\n") << run.err;
    run = ombrix({"query", "--format", "md", "SELECT 1 AS n"});
    EXPECT_EQ(run.out, "| n |\n|---|\n| 1 |\n");
}

/// The library's row-by-row import: each action, counted as each format counts.
TEST_F(DataExchange, RowByRowImportRunsEachActionOnTheMainContext) {
    ScratchSchema schema("exchange_rows");
    Sandbox::get().exec("CREATE TABLE `" + schema.name() + "`.t (id INT PRIMARY KEY, name VARCHAR(10) NULL)");
    Sandbox::get().exec("CREATE TABLE `" + schema.name() + "`.nokey (id INT, name VARCHAR(10) NULL)");
    Sandbox::get().exec("INSERT INTO `" + schema.name() + "`.nokey VALUES (1, 'a'), (2, 'b')");
    auto connection = Ombrix::Solvane::Supports::Database::MariaDBConnection::create();
    ASSERT_TRUE(connection->open(Sandbox::get().profile(), nullptr));

    auto table_of = [&](const std::string& name, bool keyed) {
        auto table = Ombrix::Solvane::MetaModel::MetaTable::with_names("def", schema.name(), name);
        auto id = Ombrix::Solvane::MetaModel::MetaColumn::with_type("id", Ombrix::Providers::Contracts::DataType::INT32, "int");
        id->set_is_primary_key(keyed);
        auto col = Ombrix::Solvane::MetaModel::MetaColumn::with_type("name", Ombrix::Providers::Contracts::DataType::STRING,
                                                                         "varchar");
        for (const auto& c : {id, col}) {
            c->set_data("SOURCE", Ombrix::Core::Value::from_string(c->get_name()));
            table->get_columns()->append(c);
        }
        return table;
    };
    auto import = [&](const std::shared_ptr<X::ImportingExtractor>& extractor, const std::string& text,
                      const std::string& action, const std::string& table = "t") {
        extractor->get_options()["ACTION"] = action;
        bool done = false;
        Ombrix::Core::Result<std::int64_t> outcome = 0;
        extractor->import_from_text(text, connection, table_of(table, table == "t"), {},
                                    [&](Ombrix::Core::AsyncResultPtr result) {
                                        outcome = extractor->import_from_text_finish(result);
                                        done = true;
                                    });
        Ombrix::Core::run_main_until([&] { return done; });
        return outcome;
    };

    auto dsv = X::DsvExtractor::create("csv");
    auto count = import(dsv, "id,name\n1,one\n2,two\n3,\n", "append");
    ASSERT_TRUE(count) << count.error().message;
    EXPECT_EQ(*count, 3);
    // merge: an UPDATE, and an INSERT where it found nothing; JSON counts affected rows.
    auto json = X::JsonExtractor::create("json");
    count = import(json, R"({"RECORDS": [{"id": 2, "name": "TWO"}, {"id": 9, "name": null}]})", "merge");
    ASSERT_TRUE(count) << count.error().message;
    EXPECT_EQ(*count, 2);
    // delete by key; XML counts records, the refused one too.
    auto xml = X::XmlExtractor::create("xml");
    count = import(xml,
                   "<?xml version=\"1.0\"?><RECORDS><RECORD><id>1</id></RECORD><RECORD><id>x</id></RECORD>"
                   "</RECORDS>",
                   "delete");
    ASSERT_TRUE(count) << count.error().message;
    EXPECT_EQ(*count, 2);
    // Without a key among the columns, update and delete are refused instead of touching every row.
    dsv->set_continue_on_error(false);
    count = import(dsv, "id,name\n1,z\n", "update", "nokey");
    EXPECT_FALSE(count);
    // An action the importer does not know is an error before any row.
    count = import(dsv, "id,name\n5,x\n", "upsert");
    ASSERT_FALSE(count);
    EXPECT_EQ(count.error().message, "unknown import action 'upsert'");

    // Under NO_BACKSLASH_ESCAPES in the session, a backslash is stored as it is, in bulk and not.
    ASSERT_TRUE(connection->execute_no_query("SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"));
    count = import(dsv, "id,name\n10,a\\b\n", "append");
    ASSERT_TRUE(count) << count.error().message;
    dsv->get_options()["BULK"] = "true";
    count = import(dsv, "id,name\n11,c\\\\d\n", "append");
    ASSERT_TRUE(count) << count.error().message;
    dsv->get_options().erase("BULK");
    count = import(dsv, "id,name\n11,e\\f\n", "update");
    ASSERT_TRUE(count) << count.error().message;
    auto stored = connection->execute_as_scalar("SELECT GROUP_CONCAT(HEX(name) ORDER BY id) FROM `" + schema.name() +
                                                "`.t WHERE id >= 10");
    ASSERT_TRUE(stored);
    EXPECT_EQ((*stored)->to_string(), "615C62,655C66");
    ASSERT_TRUE(connection->execute_no_query("DELETE FROM `" + schema.name() + "`.t WHERE id >= 10"));

    auto rows = connection->execute_as_model("SELECT CONCAT(id, '=', IFNULL(name, 'NULL')) FROM `" + schema.name() +
                                             "`.t ORDER BY id");
    ASSERT_TRUE(rows);
    std::string seen;
    for (std::size_t i = 0; i < (*rows)->get_n_items(); ++i) seen += (*rows)->get_value_at(0, i)->to_string() + " ";
    EXPECT_EQ(seen, "2=TWO 3=NULL 9=NULL ");
    auto untouched = connection->execute_as_scalar("SELECT GROUP_CONCAT(name ORDER BY id) FROM `" + schema.name() +
                                                   "`.nokey");
    ASSERT_TRUE(untouched);
    EXPECT_EQ((*untouched)->to_string(), "a,b");
    connection->close();
}

/// A row goes into the table once, whatever the engine: a batch a table cannot roll back is not
/// sent again; and what the command counts is what the table holds.
/// An import that stopped goes on, with --resume, after the last batch its journal says is stored:
/// every row of the input ends up in the table once.
TEST_F(DataExchange, AnImportGoesOnFromItsJournalWithEveryRowOnce) {
    ScratchSchema schema("exchange_resume");
    const std::string table = schema.name() + ".t";
    Sandbox::get().exec("CREATE TABLE `" + schema.name() + "`.t (id INT PRIMARY KEY, n INT NOT NULL)");
    std::string lines;
    for (int i = 1; i <= 3000; ++i) lines += std::to_string(i) + "," + std::to_string(i) + (i == 2500 ? ",9" : "") + "\n";
    const auto file = home.file("rows.csv");
    Ombrix::Testing::write_text(file, lines);
    // Small batches, so that several are stored before the malformed line stops the import.
    g_setenv("OMBRIX_BULK_BYTES", "4096", TRUE);
    auto run = ombrix({"import", "--table", table, "--file", file, "--columns", "id,n", "--no-header", "--stop-on-error"});
    EXPECT_NE(run.status, 0);
    // The rows before the malformed line are stored, in several batches.
    EXPECT_EQ(client("SELECT COUNT(*) FROM `" + schema.name() + "`.t"), "2499\n");

    lines.replace(lines.find("2500,2500,9"), 11, "2500,2500");
    Ombrix::Testing::write_text(file, lines);
    run = ombrix({"import", "--table", table, "--file", file, "--columns", "id,n", "--no-header", "--resume"});
    g_unsetenv("OMBRIX_BULK_BYTES");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("going on after source row"), std::string::npos) << run.err;
    EXPECT_EQ(client("SELECT COUNT(*), COUNT(DISTINCT id), SUM(id = n), MIN(id), MAX(id) FROM `" + schema.name() + "`.t"),
              "3000\t3000\t3000\t1\t3000\n");
    // The journal went with the import that finished.
    run = ombrix({"import", "--table", table, "--file", file, "--columns", "id,n", "--no-header", "--resume"});
    EXPECT_NE(run.err.find("no journal of an earlier import"), std::string::npos) << run.err;
}

TEST_F(DataExchange, ImportStoresEachRowOnceOnEveryEngine) {
    ScratchSchema schema("exchange_once");
    const std::string db = "`" + schema.name() + "`";
    int n = 0;
    for (const std::string engine : {"InnoDB", "MyISAM", "Aria", "MEMORY"}) {
        for (const bool row_by_row : {false, true}) {
            SCOPED_TRACE(engine + (row_by_row ? " row by row" : " in bulk"));
            const std::string table = db + ".t" + std::to_string(n++);
            Sandbox::get().exec("CREATE TABLE " + table + " (id INT, s VARCHAR(3)) ENGINE=" + engine);
            std::vector<std::string> args{"import", "--table", schema.name() + ".t" + std::to_string(n - 1),
                                          "--file", "-"};
            if (row_by_row) args.push_back("--row-by-row");
            const auto run = ombrix(args, "id,s\n1,a\n2,toolong\n3,c\n");
            EXPECT_NE(run.status, 0);
            EXPECT_EQ(run.out, "Imported rows: 2, refused rows: 1\n");
            EXPECT_NE(run.err.find("line 3 refused: Data too long for column 's'"), std::string::npos) << run.err;
            EXPECT_EQ(client("SELECT id, s FROM " + table + " ORDER BY id"), "1\ta\n3\tc\n");
        }
    }
    // A record that feeds no column is refused, not stored as a row of defaults.
    Sandbox::get().exec("CREATE TABLE " + db + ".d (id INT DEFAULT 7)");
    const auto run = ombrix({"import", "--table", schema.name() + ".d", "--format", "json", "--file", "-"},
                            R"({"RECORDS": [{}, {"id": 1}]})");
    EXPECT_EQ(run.out, "Imported rows: 1, refused rows: 1\n");
    EXPECT_NE(run.err.find("record 1 refused: the row holds no column of the table"), std::string::npos) << run.err;
    EXPECT_EQ(client("SELECT id FROM " + db + ".d"), "1\n");
}

/// XML carries names that are no XML names, and NULLs, in both storages: an all-NULL first
/// record, a text equal to the NULL text; where a form cannot carry it, the export says so.
TEST_F(DataExchange, XmlCarriesEveryNameAndEveryNull) {
    ScratchSchema schema("exchange_xml");
    const std::string db = "`" + schema.name() + "`";
    Sandbox::get().exec("CREATE TABLE " + db + ".src (`0b2` INT NULL, `_x0041_` VARCHAR(10) NULL, `a b` VARCHAR(10) "
                        "NULL, `\xC3\xBC` TEXT NULL, `NULL` VARCHAR(10) NULL DEFAULT 'd', `x:y` DATE NULL)");
    Sandbox::get().exec("INSERT INTO " + db + ".src VALUES (NULL, NULL, NULL, NULL, NULL, NULL), "
                        "(1, 'NULL', '', 'x', '', '2024-01-02'), (2, 'a\\\\b', NULL, '', 'NULL', NULL)");
    struct Case {
        std::vector<std::string> options;
        std::string refusal;  // what the export says when it cannot carry the rows
    };
    const Case cases[] = {
        {{}, ""},
        {{"--xml-storage", "attribute"}, ""},
        {{"--null-text", "NULL"}, ""},
        {{"--null-text", ""}, ""},
        {{"--xml-storage", "attribute", "--null-text", "\\N"}, ""},
        {{"--xml-storage", "attribute", "--null-text", "NULL"}, "row 2, column _x0041_: the text equals the NULL text"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string copy = "copy" + std::to_string(n++);
        std::string trace;
        for (const auto& option : c.options) trace += option + " ";
        SCOPED_TRACE(trace);
        Sandbox::get().exec("CREATE TABLE " + db + "." + copy + " LIKE " + db + ".src");
        const std::string file = home.file(copy + ".xml");
        std::vector<std::string> args{"export", "--table", schema.name() + ".src", "--format", "xml", "-o", file};
        args.insert(args.end(), c.options.begin(), c.options.end());
        auto run = ombrix(args);
        if (!c.refusal.empty()) {
            EXPECT_NE(run.status, 0);
            EXPECT_NE(run.err.find(c.refusal), std::string::npos) << run.err;
            EXPECT_FALSE(g_file_test(file.c_str(), G_FILE_TEST_EXISTS));
            continue;
        }
        ASSERT_EQ(run.status, 0) << run.err;
        std::vector<std::string> import{"import", "--table", schema.name() + "." + copy, "--format", "xml",
                                        "--file", file};
        import.insert(import.end(), c.options.begin(), c.options.end());
        run = ombrix(import);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "Imported rows: 3, refused rows: 0\n");
        const auto sums = checksums(db + ".src, " + db + "." + copy);
        EXPECT_EQ(sums.at("src"), sums.at(copy));
    }
}

/// sql-update finds rows by the table's key, never by a first column that may repeat or be NULL.
TEST_F(DataExchange, SqlUpdateFindsRowsByTheirKey) {
    ScratchSchema schema("exchange_upd");
    const std::string db = "`" + schema.name() + "`";
    Sandbox::get().exec("CREATE TABLE " + db + ".k (grp INT NULL, id INT NOT NULL, v VARCHAR(10) NULL, UNIQUE (id))");
    Sandbox::get().exec("INSERT INTO " + db + ".k VALUES (1, 1, 'a'), (1, 2, 'b'), (NULL, 3, 'c')");
    Sandbox::get().exec("CREATE TABLE " + db + ".copy LIKE " + db + ".k");
    Sandbox::get().exec("INSERT INTO " + db + ".copy VALUES (1, 1, 'x'), (1, 2, 'y'), (NULL, 3, 'z')");
    auto run = ombrix({"export", "--table", schema.name() + ".k", "--format", "sql-update", "--table-name", "copy"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("WHERE `id` = 3;"), std::string::npos) << run.out;
    ASSERT_EQ(ombrix({"query", "-f", "-"}, "USE " + db + ";\n" + run.out).status, 0);
    const auto sums = checksums(db + ".k, " + db + ".copy");
    EXPECT_EQ(sums.at("k"), sums.at("copy"));

    // A query's rows take the key given; a NULL in it, or no key at all, is an error, not a file.
    run = ombrix({"export", "--sql", "SELECT grp, v FROM " + db + ".k", "--format", "sql-update", "--table-name",
                  "copy", "--key", "grp"});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("row 3: the key column grp is NULL"), std::string::npos) << run.err;
    run = ombrix({"export", "--sql", "SELECT id, v FROM " + db + ".k", "--format", "sql-update", "--table-name",
                  "copy", "--key", "id"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("UPDATE `copy` SET `id` = 1, `v` = 'a' WHERE `id` = 1;"), std::string::npos) << run.out;
    run = ombrix({"export", "--sql", "SELECT id FROM " + db + ".k", "--format", "sql-update", "--table-name", "copy"});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("give --key"), std::string::npos) << run.err;
    Sandbox::get().exec("CREATE TABLE " + db + ".loose (a INT NULL, UNIQUE (a))");
    const std::string file = home.file("loose.sql");
    run = ombrix({"export", "--table", schema.name() + ".loose", "--format", "sql-update", "-o", file});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("has no primary key and no unique key of NOT NULL columns"), std::string::npos) << run.err;
    EXPECT_FALSE(g_file_test(file.c_str(), G_FILE_TEST_EXISTS));
}

}  // namespace

namespace {

/// Adds to the server's global sql_mode for the test's life (its new sessions take it), then puts
/// back the mode it had (`saved`). Tests that use it run alone (see tests/CMakeLists.txt).
class GlobalSqlMode {
public:
    GlobalSqlMode(std::string saved, const std::string& added) : m_saved(std::move(saved)) {
        Sandbox::get().exec("SET GLOBAL sql_mode = '" + m_saved + "," + added + "'");
    }
    ~GlobalSqlMode() { Sandbox::get().exec("SET GLOBAL sql_mode = '" + m_saved + "'"); }

private:
    std::string m_saved;
};

}  // namespace

/// With NO_BACKSLASH_ESCAPES in the server's mode, every session starts with it: the statements and
/// scripts ombrix writes still store a backslash as one, in rows, comments, defaults and routines.
TEST_F(DataExchange, ServerSqlModeNoBackslashEscapesChangesNothingStored) {
    ScratchSchema source("nbe_src");
    ScratchSchema target("nbe_dst");
    const std::string src = "`" + source.name() + "`";
    const std::string dst = "`" + target.name() + "`";
    std::string saved = client("SELECT @@GLOBAL.sql_mode");
    ASSERT_FALSE(saved.empty());
    saved.pop_back();
    GlobalSqlMode mode(saved, "NO_BACKSLASH_ESCAPES");
    // Written by the standard client, in a session of that mode: 'a\b' is three characters.
    ASSERT_EQ(Ombrix::Testing::run_client(
                  home,
                  "CREATE TABLE c (id INT PRIMARY KEY, s VARCHAR(20) DEFAULT 'd\\e' COMMENT 'col\\c') COMMENT 't\\x';\n"
                  "INSERT INTO c VALUES (1, 'a\\b'), (2, 'q''\\\\'), (3, NULL), (4, '\\N');\n"
                  "CREATE PROCEDURE p() COMMENT 'p\\q' SELECT 'in\\body';\n"
                  "CREATE TABLE `k\\y` (id INT PRIMARY KEY, v INT);\n",
                  source.name())
                  .status,
              0);
    const auto show = [&](const std::string& db) {
        std::string text = client("SHOW CREATE TABLE " + db + ".c; SELECT id, HEX(s) FROM " + db + ".c ORDER BY id; "
                                  "SELECT ROUTINE_COMMENT, ROUTINE_DEFINITION FROM information_schema.ROUTINES "
                                  "WHERE ROUTINE_SCHEMA = '" + db.substr(1, db.size() - 2) + "'");
        return text;
    };
    const std::string expected = show(src);
    EXPECT_NE(expected.find("615C62"), std::string::npos) << expected;

    // A copy between servers, and the comparison of the two.
    auto run = ombrix({"transfer", "--source", source.name(), "--target", target.name(), "--verify"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(show(dst), expected);
    EXPECT_EQ(ombrix({"diff", source.name(), target.name()}).status, 0);
    // The catalogue finds a name that holds a backslash: its columns and its key.
    run = ombrix({"describe", target.name() + ".k\\y"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("id  INT"), std::string::npos) << run.out;
    EXPECT_EQ(ombrix({"export", "--table", target.name() + ".k\\y", "--format", "sql-update"}).status, 0);

    // A printed diff script, run by the standard client, and one run by --apply.
    client("ALTER TABLE " + dst + ".c COMMENT 'other', MODIFY s VARCHAR(20) DEFAULT 'x'");
    run = ombrix({"diff", target.name(), source.name()});
    ASSERT_EQ(run.status, 1) << run.err;
    ASSERT_EQ(Ombrix::Testing::run_client(home, run.out, target.name()).status, 0);
    EXPECT_EQ(show(dst), expected);
    client("ALTER TABLE " + dst + ".c COMMENT 'other'");
    EXPECT_EQ(ombrix({"diff", target.name(), source.name(), "--apply"}).status, 1);
    EXPECT_EQ(show(dst), expected);

    // Rows: changed ones put back by sync data; then each exchange format through a fresh copy.
    client("UPDATE " + dst + ".c SET s = 'changed' WHERE id = 1; DELETE FROM " + dst + ".c WHERE id = 2");
    run = ombrix({"sync", "data", "--source", source.name() + ".c", "--target", target.name() + ".c", "--apply"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(show(dst), expected);
    const std::vector<std::vector<std::string>> formats = {
        {"csv", "--null-text", "\\N"}, {"csv", "--null-text", "\\N", "--row-by-row"}, {"json"}, {"xml"}, {"sql-insert"}};
    for (const auto& format : formats) {
        SCOPED_TRACE(format.size() > 3 ? "csv row by row" : format[0]);
        client("TRUNCATE TABLE " + dst + ".c");
        const std::string file = home.file("c." + format[0]);
        std::vector<std::string> out{"export", "--table", source.name() + ".c", "--format", format[0], "-o", file};
        for (std::size_t i = 1; i < format.size() && format[i] != "--row-by-row"; ++i) out.push_back(format[i]);
        ASSERT_EQ(ombrix(out).status, 0);
        if (format[0] == "sql-insert") {
            ASSERT_EQ(Ombrix::Testing::run_client(home, Ombrix::Testing::read_text(file), target.name()).status, 0);
        } else {
            std::vector<std::string> in{"import", "--table", target.name() + ".c", "--format", format[0], "--file", file};
            in.insert(in.end(), format.begin() + 1, format.end());
            run = ombrix(in);
            ASSERT_EQ(run.status, 0) << run.err;
        }
        EXPECT_EQ(show(dst), expected);
    }
}
