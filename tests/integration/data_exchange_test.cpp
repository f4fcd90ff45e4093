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
        const auto file = home.file("doc." + fmt);
        auto run = ombrix({"doc", schema.name(), "--format", fmt, "-o", file});
        ASSERT_EQ(run.status, 0) << run.err;
        const auto text = Ombrix::Testing::read_text(file);
        EXPECT_NE(text.find(schema.name() + ".orders"), std::string::npos) << fmt;
        EXPECT_NE(text.find(schema.name() + ".big"), std::string::npos) << fmt;
        EXPECT_NE(text.find("the &lt;key&gt;"), std::string::npos) << text;
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

}  // namespace
