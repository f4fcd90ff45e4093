// ombrix explore and ombrix describe: a server's objects as lists and summaries.
#include <iostream>
#include <map>

#include "commands.hpp"
#include "describe.hpp"
#include "output.hpp"
#include "providers/Core/json.hpp"
#include "solvane/Model/event.hpp"
#include "solvane/Model/function.hpp"
#include "solvane/Model/role.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/trigger.hpp"
#include "solvane/Model/user.hpp"
#include "solvane/Model/view.hpp"

namespace Ombrix::Cli {

namespace {

namespace MM = Solvane::MetaModel;
using Providers::Contracts::DBObject;

const std::map<std::string, DBObject>& explore_kinds() {
    static const std::map<std::string, DBObject> kinds{
        {"database", DBObject::DATABASE}, {"schema", DBObject::SCHEMA},     {"table", DBObject::TABLE},
        {"view", DBObject::VIEW},         {"function", DBObject::FUNCTION}, {"procedure", DBObject::PROCEDURE},
        {"routine", DBObject::ROUTINE},   {"package", DBObject::PACKAGE},   {"trigger", DBObject::TRIGGER},
        {"event", DBObject::EVENT},       {"index", DBObject::INDEX},       {"user", DBObject::USER},
        {"role", DBObject::ROLE},         {"sequence", DBObject::SEQUENCE},
    };
    return kinds;
}

struct ExploreOptions {
    std::string profile;
    std::string schema;
    std::string kind;
};

struct DescribeOptions {
    std::string profile;
    std::string target;
    std::string user;
    std::string role;
    bool json = false;
};

void print_object(const MM::MetaObject& object, bool json) {
    if (json)
        std::cout << Core::Json::to_pretty(Core::Json::serialize(object)) << "\n";
    else
        print_summary(std::cout, object);
}

}  // namespace

void add_schema_commands(CLI::App& app, Context& context) {
    auto explore_options = std::make_shared<ExploreOptions>();
    auto* explore = app.add_subcommand("explore", "List a schema's objects of one kind, as the object tree shows them");
    explore->add_option("--profile", explore_options->profile, "Profile name (default: the sandbox server)");
    explore->add_option("--schema", explore_options->schema,
                        "The schema to list (not needed for users, roles, "
                        "databases)");
    std::string kinds;
    for (const auto& [name, kind] : explore_kinds()) kinds += (kinds.empty() ? "" : "|") + name;
    explore->add_option("--kind", explore_options->kind, kinds)->required()->check([](const std::string& value) {
        return explore_kinds().contains(value) ? std::string() : "unknown kind '" + value + "'";
    });
    explore->callback([&context, explore_options] {
        auto connection = open_connection(context, explore_options->profile);
        auto model = connection->explorer()->load_objects(explore_options->schema, explore_options->schema,
                                                          explore_kinds().at(explore_options->kind), "");
        if (!model) throw DatabaseFailure(describe_error(model.error()));
        print_grid(std::cout, **model);
    });

    auto describe_options = std::make_shared<DescribeOptions>();
    auto* describe = app.add_subcommand("describe",
                                        "Read an object (a whole schema, recursively) from the "
                                        "server and print it");
    describe->add_option("--profile", describe_options->profile, "Profile name (default: the sandbox server)");
    describe->add_option("TARGET", describe_options->target,
                         "SCHEMA or SCHEMA.OBJECT (a table, view, routine, event or trigger)");
    describe->add_option("--user", describe_options->user, "Describe the account USER@HOST instead");
    describe->add_option("--role", describe_options->role, "Describe the role ROLE instead");
    describe->add_flag("--json", describe_options->json, "Print the model's JSON form");
    describe->callback([&context, describe_options] {
        const auto& options = *describe_options;
        if (options.target.empty() == (options.user.empty() && options.role.empty()))
            throw Failure("describe needs either SCHEMA[.OBJECT] or --user/--role");
        auto connection = open_connection(context, options.profile);
        std::shared_ptr<MM::MetaObject> object;
        if (!options.user.empty()) {
            auto user = MM::MetaUser::with_names("", "", options.user, "USER");
            check_database(connection->adapter()->fill_meta_user(user));
            object = user;
        } else if (!options.role.empty()) {
            auto role = MM::MetaRole::with_names("", "", options.role, "ROLE");
            check_database(connection->adapter()->fill_meta_role(role));
            object = role;
        } else if (const auto dot = options.target.find('.'); dot == std::string::npos) {
            object = read_full_schema(connection, options.target).schema;
        } else {
            object = read_object(connection, options.target.substr(0, dot), options.target.substr(dot + 1));
        }
        print_object(*object, options.json);
    });
}

}  // namespace Ombrix::Cli
