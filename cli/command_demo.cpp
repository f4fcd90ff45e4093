// ombrix demo: start the sandbox server and show what the back end does with it.
#include <iostream>

#include "commands.hpp"
#include "describe.hpp"
#include "output.hpp"
#include "providers/Core/json.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Transform/patcher.hpp"

namespace Ombrix::Cli {

namespace {

namespace MM = Solvane::MetaModel;

constexpr const char* kDemoSchema = "ombrix_demo";

// A small shop: two tables joined by a foreign key, a view, a function and a few rows.
constexpr const char* kDemoObjects =
    "DROP DATABASE IF EXISTS ombrix_demo;"
    "CREATE DATABASE ombrix_demo COMMENT 'made by ombrix demo';"
    "CREATE TABLE ombrix_demo.customers (id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,"
    " name VARCHAR(60) NOT NULL, email VARCHAR(120) NULL, UNIQUE KEY uq_email (email)) COMMENT 'who buys';"
    "CREATE TABLE ombrix_demo.orders (id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,"
    " customer_id INT UNSIGNED NOT NULL, placed DATETIME(3) NOT NULL, total DECIMAL(10,2) NOT NULL DEFAULT 0,"
    " CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id) REFERENCES ombrix_demo.customers (id),"
    " CONSTRAINT ck_orders_total CHECK (total >= 0)) COMMENT 'what they bought';"
    "CREATE VIEW ombrix_demo.big_orders AS SELECT id, customer_id, total FROM ombrix_demo.orders WHERE total > 100;"
    "CREATE FUNCTION ombrix_demo.with_tax(amount DECIMAL(10,2)) RETURNS DECIMAL(10,2) DETERMINISTIC"
    " RETURN amount * 1.2;"
    "INSERT INTO ombrix_demo.customers (name, email) VALUES ('Ada', 'ada@example.com'), ('Bo', NULL);"
    "INSERT INTO ombrix_demo.orders (customer_id, placed, total) VALUES (1, '2026-01-02 10:00:00.125', 250.00),"
    " (1, '2026-02-03 11:30:00', 19.99), (2, '2026-03-04 12:45:30.5', 120.50);";

constexpr const char* kDemoQuery =
    "select c.name, count(*) as orders, sum(o.total) as spent, ombrix_demo.with_tax(sum(o.total)) as with_tax "
    "from ombrix_demo.customers c join ombrix_demo.orders o on o.customer_id = c.id group by c.name order by c.name";

void heading(const char* text) { std::cout << "\n== " << text << "\n"; }

}  // namespace

void add_demo_command(CLI::App& app, Context& context) {
    auto* demo = app.add_subcommand("demo", "Start the sandbox MariaDB server, add a \"sandbox\" profile and tour it");
    demo->callback([&context] {
        const SandboxInfo sandbox = ensure_sandbox();
        std::cout << "Sandbox MariaDB server running on " << sandbox.host << ":" << sandbox.port << " (files in "
                  << sandbox.dir << ")\n";

        auto setting = context.load_profiles();
        if (auto old = find_profile(*setting, "sandbox")) setting->remove(old, "", "");
        auto server = sandbox_profile(sandbox, "sandbox");
        setting->append(server, "", "");
        if (auto saved = setting->save(); !saved)
            throw Failure("cannot write the profile file: " + saved.error().message);
        std::cout << "Profile \"sandbox\" (" << server->get_uuid() << ") saved to " << setting->get_filename() << "\n";

        auto connection = open_connection(context, "sandbox");
        std::cout << "Connected to MariaDB " << connection->get_version() << "\n";
        if (auto made = connection->execute(kDemoObjects); !made) throw DatabaseFailure(describe_error(made.error()));

        heading("A query (ombrix query \"...\")");
        auto formatted = connection->formatter()->beautify(kDemoQuery);
        std::cout << (formatted ? *formatted : std::string(kDemoQuery)) << "\n\n";
        auto model = connection->execute_as_model(kDemoQuery);
        if (!model) throw DatabaseFailure(describe_error(model.error()));
        print_grid(std::cout, **model);

        heading("The schema's tables (ombrix explore --schema ombrix_demo --kind table)");
        auto tables =
            connection->explorer()->load_objects(kDemoSchema, kDemoSchema, Providers::Contracts::DBObject::TABLE, "");
        if (!tables) throw DatabaseFailure(describe_error(tables.error()));
        print_grid(std::cout, **tables);

        heading("The schema read into the meta model (ombrix describe ombrix_demo)");
        auto before = read_schema(connection, kDemoSchema, true);
        print_summary(std::cout, *before);

        heading("A change, compared with the model saved before it (ombrix meta save / meta diff)");
        const char* change = "ALTER TABLE ombrix_demo.customers ADD COLUMN city VARCHAR(40) NULL AFTER name";
        std::cout << change << "\n";
        if (auto altered = connection->execute_no_query(change); !altered)
            throw DatabaseFailure(describe_error(altered.error()));
        auto after = read_schema(connection, kDemoSchema, true);
        auto patched =
            Solvane::Transform::Patcher::diff_json(Core::Json::to_pretty(Core::Json::serialize(*before)),
                                                   Core::Json::to_pretty(Core::Json::serialize(*after)), false);
        if (!patched) throw Failure("cannot compare the models: " + patched.error().message);
        // Only what differs: the columns that were compared and found inserted, deleted or updated.
        using Providers::Contracts::DataVersion;
        const auto identical = static_cast<unsigned>(DataVersion::IDENTICAL);
        const auto initial = static_cast<unsigned>(DataVersion::INITIAL);
        if (auto tree = Core::Json::parse(*patched); tree && tree->contains("tables")) {
            for (const auto& table : (*tree)["tables"]) {
                if (!table.contains("columns")) continue;
                for (const auto& column : table["columns"]) {
                    const auto version = column.value("version", identical);
                    if (version == identical || version == initial) continue;
                    std::cout << "  " << table.value("name", "") << "." << column.value("name", "") << ": "
                              << Providers::Contracts::to_string(static_cast<DataVersion>(version)) << "\n";
                }
            }
        }

        std::cout << "\nThe demo schema stays on the sandbox server; try: ombrix describe ombrix_demo.orders --json\n";
    });
}

}  // namespace Ombrix::Cli
