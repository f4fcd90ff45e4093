// The MariaDB explorer's catalogue lists on the sandbox server: one object of each kind, named so
// that only a properly quoted schema name finds them, and each list's translated column titles.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "solvane/Supports/Database/MariaDB/mariadb_explorer.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "tests/support/message_catalogue.hpp"
#include "tests/support/provider.hpp"
#include "tests/support/provider_connection.hpp"
#include "tests/support/sandbox.hpp"

namespace {

using Ombrix::Providers::Contracts::DBObject;
using Ombrix::Solvane::Supports::Database::mariadb_quote_identifier;
using Ombrix::Solvane::Supports::Database::mariadb_quote_literal;
using Ombrix::Solvane::Supports::Database::MariaDBExplorer;
using Ombrix::Testing::describe;
using Ombrix::Testing::MessageCatalogue;
using Ombrix::Testing::open_provider;
using Ombrix::Testing::ProviderConnection;
using Ombrix::Testing::Sandbox;
using Ombrix::Testing::ScratchSchema;

using Texts = std::vector<std::string>;

/// A listing as texts: its column titles and its rows.
struct Listing {
    Texts titles;
    std::vector<Texts> rows;

    /// The first column of every row, sorted.
    Texts names() const {
        Texts out;
        for (const auto& row : rows) out.push_back(row.at(0));
        std::sort(out.begin(), out.end());
        return out;
    }
    /// The row whose first column is `name`; empty when there is none.
    Texts row(const std::string& name) const {
        for (const auto& r : rows)
            if (r.at(0) == name) return r;
        return {};
    }
};

/// An explorer on a provider opened on a scratch schema whose name holds a single quote.
class MariaDBExplorerOnServer : public ::testing::Test {
protected:
    void SetUp() override {
        m_schema = std::make_unique<ScratchSchema>("expl'q");
        m_provider = open_provider(db());
        ASSERT_NE(m_provider, nullptr);
        m_connection = std::make_unique<ProviderConnection>(m_provider);
        m_explorer = MariaDBExplorer::create(m_connection.get());
    }

    const std::string& db() const { return m_schema->name(); }
    std::string in_db(const std::string& name) const { return mariadb_quote_identifier(db()) + "." + mariadb_quote_identifier(name); }

    /// The objects of `kind` in the scratch schema; a failure fails the test and lists nothing.
    Listing list(DBObject kind) {
        Listing out;
        auto model = m_explorer->load_objects(db(), db(), kind, "");
        EXPECT_TRUE(model.has_value()) << to_string(kind) << ": " << (model ? "" : describe(model.error()));
        if (!model || !*model) return out;
        const auto& columns = (*model)->get_columns();
        for (std::size_t c = 0; c < columns->size(); ++c) out.titles.push_back(columns->get(c)->get_title());
        for (std::size_t r = 0; r < (*model)->get_n_items(); ++r) {
            Texts row;
            for (std::size_t c = 0; c < columns->size(); ++c) row.push_back((*model)->get_value_at(c, r)->to_string());
            out.rows.push_back(std::move(row));
        }
        return out;
    }

    std::unique_ptr<ScratchSchema> m_schema;
    std::shared_ptr<Ombrix::Providers::Supports::MariaDBProvider> m_provider;
    std::unique_ptr<ProviderConnection> m_connection;
    std::shared_ptr<MariaDBExplorer> m_explorer;
};

/// A user and a role of the server, named with a quote and a backtick, dropped again at the end.
struct Accounts {
    std::string user = "expl'u_" + std::to_string(getpid());
    std::string role = "expl`r_" + std::to_string(getpid());
    Accounts() {
        Sandbox::get().exec("DROP USER IF EXISTS " + mariadb_quote_literal(user) + "@'localhost'; DROP ROLE IF EXISTS " +
                            mariadb_quote_identifier(role) + "; CREATE USER " + mariadb_quote_literal(user) +
                            "@'localhost' WITH MAX_QUERIES_PER_HOUR 7; CREATE ROLE " + mariadb_quote_identifier(role));
    }
    ~Accounts() {
        Sandbox::get().exec("DROP USER IF EXISTS " + mariadb_quote_literal(user) + "@'localhost'; DROP ROLE IF EXISTS " +
                            mariadb_quote_identifier(role));
    }
};

TEST_F(MariaDBExplorerOnServer, ListsOneObjectOfEachKindWithItsColumns) {
    const std::string odd = "it's `odd`";
    Sandbox::get().exec(
        "CREATE TABLE " + in_db(odd) + " (id INT AUTO_INCREMENT PRIMARY KEY, a INT, b INT) COMMENT 'odd one';" +
        "CREATE INDEX " + mariadb_quote_identifier("ix'a`b") + " ON " + in_db(odd) + " (a, b);" +
        "CREATE VIEW " + in_db("v'1") + " AS SELECT id FROM " + in_db(odd) + ";" +
        "CREATE FUNCTION " + in_db("f`1") + "() RETURNS INT DETERMINISTIC RETURN 1;" +
        "CREATE PROCEDURE " + in_db("p'1") + "() SELECT 1;" +
        "CREATE TRIGGER " + in_db("t`1") + " BEFORE INSERT ON " + in_db(odd) + " FOR EACH ROW SET NEW.a = 1;" +
        "CREATE EVENT " + in_db("e'1") + " ON SCHEDULE EVERY 1 DAY DISABLE COMMENT 'daily' DO SELECT 1;" +
        "CREATE SEQUENCE " + in_db("s`1") + ";");
    const Accounts accounts;
    const Texts routine_titles = {"Name",    "Type",        "Deterministic", "Security type",
                                  "Definer", "Create time", "Modified time", "Comment"};

    const Listing tables = list(DBObject::TABLE);
    EXPECT_EQ(tables.titles, (Texts{"Name", "Auto increment", "Row format", "Rows", "Data length", "Create time",
                                    "Update time", "Engine", "Collation", "Comment"}));
    EXPECT_EQ(tables.names(), Texts{odd});  // neither the view nor the sequence
    const Texts table = tables.row(odd);
    ASSERT_EQ(table.size(), 10u);
    EXPECT_EQ(table[7], "InnoDB");
    EXPECT_EQ(table[9], "odd one");

    const Listing views = list(DBObject::VIEW);
    EXPECT_EQ(views.titles, (Texts{"Name", "Check option", "Updatable", "Security type", "Definer"}));
    EXPECT_EQ(views.names(), Texts{"v'1"});

    // The two-column index appears once, the primary key never.
    const Listing indexes = list(DBObject::INDEX);
    EXPECT_EQ(indexes.titles, (Texts{"Name", "Table", "Unique", "Type", "Comment"}));
    EXPECT_EQ(indexes.rows, (std::vector<Texts>{{"ix'a`b", odd, "1", "BTREE", ""}}));

    const Listing functions = list(DBObject::FUNCTION);
    EXPECT_EQ(functions.titles, routine_titles);
    EXPECT_EQ(functions.names(), Texts{"f`1"});
    EXPECT_EQ(functions.row("f`1").at(1), "FUNCTION");
    EXPECT_EQ(functions.row("f`1").at(2), "YES");
    const Listing procedures = list(DBObject::PROCEDURE);
    EXPECT_EQ(procedures.titles, routine_titles);
    EXPECT_EQ(procedures.names(), Texts{"p'1"});
    const Listing routines = list(DBObject::ROUTINE);
    EXPECT_EQ(routines.titles, routine_titles);
    EXPECT_EQ(routines.names(), (Texts{"f`1", "p'1"}));

    const Listing packages = list(DBObject::PACKAGE);
    EXPECT_EQ(packages.titles, (Texts{"Name", "Security type", "Definer", "Create time", "Modified time", "Comment"}));
    EXPECT_TRUE(packages.rows.empty());

    const Listing triggers = list(DBObject::TRIGGER);
    EXPECT_EQ(triggers.titles, (Texts{"Name", "Event", "Object", "Order", "Time", "Created", "Definer"}));
    EXPECT_EQ(triggers.names(), Texts{"t`1"});
    const Texts trigger = triggers.row("t`1");
    ASSERT_EQ(trigger.size(), 7u);
    EXPECT_EQ(trigger[1], "INSERT");
    EXPECT_EQ(trigger[2], db() + "." + odd);
    EXPECT_EQ(trigger[4], "BEFORE");

    const Listing events = list(DBObject::EVENT);
    EXPECT_EQ(events.titles, (Texts{"Name", "Event type", "Status", "Definer", "Create time", "Modified time",
                                    "Executed time", "Completion", "Comment"}));
    EXPECT_EQ(events.names(), Texts{"e'1"});
    const Texts event = events.row("e'1");
    ASSERT_EQ(event.size(), 9u);
    EXPECT_EQ(event[1], "RECURRING");
    EXPECT_EQ(event[2], "DISABLED");
    EXPECT_EQ(event[8], "daily");

    const Listing sequences = list(DBObject::SEQUENCE);
    EXPECT_EQ(sequences.titles,
              (Texts{"Name", "Row format", "Create time", "Update time", "Engine", "Collation", "Comment"}));
    EXPECT_EQ(sequences.names(), Texts{"s`1"});

    // Users and roles are the server's, listed apart from each other.
    const Listing users = list(DBObject::USER);
    EXPECT_EQ(users.titles, (Texts{"Name", "SSL type", "Super user", "Auth plugin", "Max queries per hour",
                                   "Max updates per hour", "Max connections per hour", "Max user connections"}));
    const Texts user = users.row(accounts.user + "@localhost");
    ASSERT_EQ(user.size(), 8u);
    EXPECT_EQ(user[4], "7");
    EXPECT_TRUE(users.row(accounts.role + "@").empty());
    const Listing roles = list(DBObject::ROLE);
    EXPECT_EQ(roles.titles, (Texts{"Name", "Default role"}));
    EXPECT_FALSE(roles.row(accounts.role).empty());
    EXPECT_TRUE(roles.row(accounts.user).empty());

    // The schema list has the comment column exactly when this server's catalogue has one.
    auto comment = m_provider->execute_scalar(
        "SELECT COUNT(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = 'information_schema' AND "
        "TABLE_NAME = 'SCHEMATA' AND COLUMN_NAME = 'SCHEMA_COMMENT'", false);
    ASSERT_TRUE(comment.has_value());
    Texts schema_titles = {"Name", "Default character", "Default collation"};
    if ((*comment)->to_string() == "1") schema_titles.push_back("Comment");
    for (DBObject kind : {DBObject::SCHEMA, DBObject::DATABASE}) {
        const Listing schemas = list(kind);
        EXPECT_EQ(schemas.titles, schema_titles) << to_string(kind);
        const Texts mine = schemas.row(db());
        ASSERT_EQ(mine.size(), schema_titles.size()) << to_string(kind);
        EXPECT_EQ(mine[1], "utf8mb4");
    }

    EXPECT_TRUE(list(DBObject::COLUMN).titles.empty());
}

TEST_F(MariaDBExplorerOnServer, ColumnTitlesGoThroughTheMessageCatalogue) {
    const MessageCatalogue catalogue({{"Name", "Nom"}, {"Default role", "Rôle par défaut"}});
    EXPECT_EQ(list(DBObject::ROLE).titles, (Texts{"Nom", "Rôle par défaut"}));
    EXPECT_EQ(list(DBObject::VIEW).titles, (Texts{"Nom", "Check option", "Updatable", "Security type", "Definer"}));
}

}  // namespace
