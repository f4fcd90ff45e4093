// ombrix ddl and ombrix diff: a schema's (or one object's) create script, and the script that
// turns one schema's structure into another's.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <vector>

#include "commands.hpp"
#include "describe.hpp"
#include "output.hpp"
#include "providers/Core/file.hpp"
#include "providers/Core/json.hpp"
#include "solvane/Model/database.hpp"
#include "solvane/Model/event.hpp"
#include "solvane/Model/function.hpp"
#include "solvane/Model/role.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/user.hpp"
#include "solvane/Model/view.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_builder.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_quote.hpp"
#include "solvane/Supports/Database/MariaDB/mariadb_sql_text.hpp"
#include "solvane/Supports/Database/script.hpp"
#include "solvane/Transform/patcher.hpp"

namespace Ombrix::Cli {

namespace {

namespace MM = Solvane::MetaModel;
namespace DB = Solvane::Supports::Database;
using Providers::Contracts::DataVersion;

std::shared_ptr<DB::MariaDBBuilder> builder_of(const Connection& connection) {
    auto builder = std::dynamic_pointer_cast<DB::MariaDBBuilder>(connection->builder());
    if (!builder) throw Failure("the connection has no MariaDB builder");
    return builder;
}

// ---------------------------------------------------------------- ddl

struct DdlOptions {
    std::string profile;
    std::string target;
    std::string as;
    std::string user;
    std::string role;
};

void run_ddl(const Context& context, const DdlOptions& options) {
    if (options.target.empty() == (options.user.empty() && options.role.empty()))
        throw Failure("ddl needs either SCHEMA[.OBJECT] or --user/--role");
    auto connection = open_connection(context, options.profile);
    auto builder = builder_of(connection);
    std::string text;
    if (!options.user.empty()) {
        auto user = MM::MetaUser::with_names("", "", options.user, "USER");
        check_database(connection->adapter()->fill_meta_user(user));
        text = builder->build_user(user) + builder->build_grants(user);
    } else if (!options.role.empty()) {
        auto role = MM::MetaRole::with_names("", "", options.role, "ROLE");
        check_database(connection->adapter()->fill_meta_role(role));
        text = builder->build_role(role) + "\n" + builder->build_grants(role);
    } else if (const auto dot = options.target.find('.'); dot != std::string::npos) {
        const std::string schema = options.target.substr(0, dot);
        auto object = read_object(connection, schema, options.target.substr(dot + 1));
        if (!options.as.empty()) DB::retarget_schema(*object, schema, options.as);
        text = builder->build_create(object, true);
    } else {
        auto read = read_full_schema(connection, options.target);
        if (!options.as.empty()) {
            DB::retarget_schema(*read.database, options.target, options.as);
            read.database->set_name(options.as);
        }
        text = builder->build_schema_script(read.schema, read.database, true);
    }
    connection->close();
    std::cout << DB::runnable_script(text);
}

// ---------------------------------------------------------------- diff

struct DiffOptions {
    std::string from;
    std::string to;
    bool apply = false;
    bool allow_drop = false;
    bool strict = false;
};

/// One side of a comparison: a live schema or a stored model.
struct Side {
    std::string schema;
    std::shared_ptr<MM::MetaSchema> model;
    Connection connection;  ///< set for a live side
};

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

Side read_side(const Context& context, const std::string& argument) {
    Side side;
    if (Core::file_exists(argument) || ends_with(argument, ".json")) {
        auto text = Core::read_file(argument);
        if (!text) throw Failure("cannot read " + argument + ": " + text.error().message);
        auto model = MM::from_json_as<MM::MetaSchema>(*text);
        if (!model || !*model) throw Failure(argument + " holds no stored schema: " + (model ? "" : model.error().message));
        side.model = *model;
        side.schema = side.model->get_name();
        return side;
    }
    std::string profile;
    std::tie(profile, side.schema) = split_profile(argument);
    if (side.schema.empty()) throw Failure("'" + argument + "' names no schema ([PROFILE:]SCHEMA or a JSON file)");
    side.connection = open_connection(context, profile);
    side.model = read_full_schema(side.connection, side.schema).schema;
    return side;
}

/// A column's definition without its position.
std::string definition_of(const MM::MetaColumn& column) {
    auto node = Core::Json::serialize(column);
    for (const char* key : {"ordinal", "after", "version"}) node.erase(key);
    return node.dump();
}

/// Columns that kept their order relative to each other were not moved, even when a column was
/// added or dropped before them: their positions are read as equal, so that only what really
/// changed is compared as changed. The columns outside the longest common order moved.
void align_column_positions(const MM::MetaTable& from, const MM::MetaTable& to) {
    std::vector<std::string> a;
    std::vector<std::string> b;
    for (const auto& column : *from.get_columns())
        if (to.get_column(column->get_name())) a.push_back(column->get_name());
    for (const auto& column : *to.get_columns())
        if (from.get_column(column->get_name())) b.push_back(column->get_name());
    std::vector<std::vector<unsigned>> length(a.size() + 1, std::vector<unsigned>(b.size() + 1, 0));
    for (std::size_t i = a.size(); i-- > 0;)
        for (std::size_t j = b.size(); j-- > 0;)
            length[i][j] = a[i] == b[j] ? length[i + 1][j + 1] + 1 : std::max(length[i + 1][j], length[i][j + 1]);
    for (std::size_t i = 0, j = 0; i < a.size() && j < b.size();) {
        if (a[i] == b[j]) {
            auto old_column = from.get_column(a[i]);
            auto new_column = to.get_column(b[j]);
            if (definition_of(*old_column) == definition_of(*new_column)) {
                new_column->set_ordinal(old_column->get_ordinal());
                new_column->set_after(old_column->get_after());
            }
            ++i;
            ++j;
        } else if (length[i + 1][j] >= length[i][j + 1]) {
            ++i;
        } else {
            ++j;
        }
    }
}

/// Readies a side for comparing: procedures are compared as routines like functions, and columns
/// are aligned with the other side's.
void prepare(const Side& from, const Side& to) {
    for (const auto& side : {from.model, to.model}) {
        for (const auto& procedure : *side->get_procedures()) side->get_functions()->append(procedure);
        side->get_procedures()->clear();
    }
    for (const auto& table : *to.model->get_tables())
        for (const auto& old_table : *from.model->get_tables())
            if (old_table->get_name() == table->get_name()) align_column_positions(*old_table, *table);
}

/// The first line of a statement, for messages.
std::string headline(const std::string& statement) {
    const auto end = statement.find('\n');
    return end == std::string::npos ? statement : statement.substr(0, end) + " …";
}

void apply_script(const Side& from, const std::vector<DB::ScriptStatement>& statements) {
    const bool progress = isatty(STDERR_FILENO) != 0;
    if (auto used = from.connection->execute_no_query("USE " + DB::mariadb_quote_identifier(from.schema), false); !used)
        throw DatabaseFailure(describe_error(used.error()), 2);
    // The session settings a script of structure sets (a lax SQL mode among them), as `ddl` writes them.
    if (auto set = DB::run_statements(*from.connection, DB::MariaDBBuilder::session_prologue(false)); !set)
        throw DatabaseFailure(describe_error(set.error()), 2);
    std::string mode;
    for (std::size_t i = 0; i < statements.size(); ++i) {
        if (progress) std::cerr << "\rombrix: applying " << (i + 1) << "/" << statements.size() << std::flush;
        if (const auto set = DB::MariaDBBuilder::session_mode_for(statements[i].text, mode); !set.empty())
            (void)from.connection->execute_no_query(set, false);
        auto ran = from.connection->execute_no_query(statements[i].text, false);
        if (ran) continue;
        if (progress) std::cerr << "\n";
        std::cerr << "ombrix: statement " << (i + 1) << " of " << statements.size() << " failed: "
                  << describe_error(ran.error()) << "\n"
                  << statements[i].text << "\n";
        if (i == 0) throw Failure("nothing had run before it; the schema is unchanged", 2);
        std::cerr << "ombrix: these " << i << " statement(s) had run before it:\n";
        for (std::size_t done = 0; done < i; ++done) std::cerr << "  " << headline(statements[done].text) << "\n";
        throw Failure("the schema is partly changed", 2);
    }
    if (progress) std::cerr << "\n";
    (void)DB::run_statements(*from.connection, DB::MariaDBBuilder::session_epilogue(false));
    std::cerr << "ombrix: applied " << statements.size() << " statement(s) to " << from.schema << "\n";
}

void run_diff(Context& context, const DiffOptions& options) {
    Side from = read_side(context, options.from);
    Side to = read_side(context, options.to);
    if (options.apply && !from.connection) throw Failure("--apply needs FROM to be a live [PROFILE:]SCHEMA");
    prepare(from, to);

    std::shared_ptr<MM::MetaSchema> patched;
    const auto patcher = Solvane::Transform::Patcher::create();
    if (patcher->diff_meta_schema(to.model, from.model, options.strict, &patched) != DataVersion::UPDATE || !patched)
        return;
    // The members taken from TO are built under FROM's name, where the script runs.
    DB::retarget_schema(*patched, to.schema, from.schema);

    // A builder needs a connection only for mapped types, which a native script does not use.
    const auto builder_connection = from.connection ? from.connection : to.connection;
    std::shared_ptr<DB::MariaDBBuilder> builder;
    Connection offline;
    if (builder_connection) {
        builder = builder_of(builder_connection);
    } else {
        offline = Solvane::Supports::Database::MariaDBConnection::create();
        builder = builder_of(offline);
    }
    const auto statements = DB::split_script(builder->build_schema_patch(patched, true));
    if (statements.empty()) {
        std::cerr << "ombrix: the structures differ only in what no statement changes\n";
        return;
    }
    std::vector<std::string> texts;
    for (const auto& statement : statements) texts.push_back(statement.text);
    // With the session settings --apply runs it in, which its literals and lax CREATEs rely on.
    std::cout << DB::MariaDBBuilder::script_in_session(texts) << std::flush;
    context.exit_code = 1;

    const auto destructive = destructive_changes(*patched);
    for (const auto& change : destructive) std::cerr << "ombrix: destructive: the script " << change << "\n";
    if (!options.apply) return;
    if (!destructive.empty() && !options.allow_drop)
        throw Failure("refusing to apply a script that drops what FROM holds (--allow-drop to apply it)", 2);
    apply_script(from, statements);
}

}  // namespace

void add_ddl_commands(CLI::App& app, Context& context) {
    auto ddl_options = std::make_shared<DdlOptions>();
    auto* ddl = app.add_subcommand("ddl", "Print the script that creates a schema (or one object) as the server holds it");
    ddl->add_option("--profile", ddl_options->profile, "Profile name (default: the sandbox server)");
    ddl->add_option("TARGET", ddl_options->target, "SCHEMA, or SCHEMA.OBJECT (a table, view, routine, event or trigger)");
    ddl->add_option("--as", ddl_options->as, "Write the script for a schema of this name instead");
    ddl->add_option("--user", ddl_options->user, "The script of the account USER@HOST, with its grants");
    ddl->add_option("--role", ddl_options->role, "The script of the role ROLE, with its grants");
    ddl->callback([&context, ddl_options] { run_ddl(context, *ddl_options); });

    auto diff_options = std::make_shared<DiffOptions>();
    auto* diff = app.add_subcommand(
        "diff",
        "Print the script that turns FROM's structure into TO's; exit 0 when they match, 1 with a script, 2 on error");
    diff->add_option("FROM", diff_options->from, "[PROFILE:]SCHEMA or a JSON file from 'ombrix meta save'")->required();
    diff->add_option("TO", diff_options->to, "[PROFILE:]SCHEMA or a JSON file from 'ombrix meta save'")->required();
    diff->add_flag("--apply", diff_options->apply, "Run the script on FROM, statement by statement");
    diff->add_flag("--allow-drop", diff_options->allow_drop, "Let --apply drop tables, columns, views and routines");
    diff->add_flag("--strict", diff_options->strict, "Compare database and schema names as they stand");
    diff->callback([&context, diff_options] {
        // A diff tool exits 2 on every error, 1 only for differences.
        try {
            run_diff(context, *diff_options);
        } catch (const DatabaseFailure& e) {
            throw DatabaseFailure(e.what(), 2);
        } catch (const Failure& e) {
            throw Failure(e.what(), 2);
        }
    });
}

}  // namespace Ombrix::Cli
