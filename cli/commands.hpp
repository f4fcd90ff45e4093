/// @file The commands of the command-line client, each group registered on the application.
#pragma once

#include <CLI/CLI.hpp>

#include "context.hpp"

namespace Ombrix::Cli {

void add_profile_commands(CLI::App& app, Context& context);
void add_demo_command(CLI::App& app, Context& context);
void add_query_command(CLI::App& app, Context& context);
void add_format_command(CLI::App& app, Context& context);
void add_meta_commands(CLI::App& app, Context& context);
void add_schema_commands(CLI::App& app, Context& context);
void add_ddl_commands(CLI::App& app, Context& context);
void add_data_commands(CLI::App& app, Context& context);
void add_transfer_command(CLI::App& app, Context& context);
void add_dump_commands(CLI::App& app, Context& context);
void add_sync_commands(CLI::App& app, Context& context);
void add_keygen_command(CLI::App& app, Context& context);
void add_settings_command(CLI::App& app, Context& context);
void add_cluster_commands(CLI::App& app, Context& context);

}  // namespace Ombrix::Cli
