/// @file Sample meta models for the meta-model and comparison tests: a shop schema with every kind of member.
#pragma once

#include <memory>
#include <string>

#include "solvane/Model/database.hpp"
#include "solvane/Model/role.hpp"
#include "solvane/Model/schema.hpp"
#include "solvane/Model/table.hpp"
#include "solvane/Model/user.hpp"

namespace Ombrix::Testing {

namespace Meta = Solvane::MetaModel;

/// The "orders" table: three columns, a primary key, a foreign key, a check, an exclusion, a unique
/// key, an index, a trigger, a rule, options, a comment and attributes.
inline std::shared_ptr<Meta::MetaTable> sample_orders(const std::string& database, const std::string& schema) {
    using Providers::Contracts::DataType;
    auto table = Meta::MetaTable::with_names(database, schema, "orders");
    table->set_comment("orders of the shop");
    table->set_option("ENGINE", "InnoDB");
    table->set_option("AUTO_INCREMENT", "42");
    table->set_attribute("row_format", "DYNAMIC");

    auto id = table->new_column("id", DataType::UINT64);
    id->set_raw_type("bigint(20) unsigned");
    id->set_ordinal(1);
    id->set_is_unsigned(true);
    id->set_auto_increment(true);
    id->set_auto_increment_seed(42);
    id->set_not_null(true);
    id->set_is_primary_key(true);
    id->set_primary_ordinal(1);
    auto customer = table->new_column("customer_id", DataType::INT32);
    customer->set_raw_type("int(11)");
    customer->set_ordinal(2);
    customer->set_after("id");
    auto total = table->new_column("total", DataType::DECIMAL);
    total->set_raw_type("decimal(12,2)");
    total->set_ordinal(3);
    total->set_length(12);
    total->set_scale(2);
    total->set_default_value("0.00");
    total->set_comment("gross, with tax");

    auto primary = Meta::MetaUnique::with_name("PRIMARY");
    primary->set_is_primary_key(true);
    primary->set_columns("`id`");
    auto foreign = Meta::MetaForeignKey::with_names("fk_customer", schema, "customers");
    foreign->set_refer_database(database);
    foreign->set_local_columns("`customer_id`");
    foreign->set_refer_columns("`id`");
    foreign->set_delete_action("CASCADE");
    foreign->set_update_action("RESTRICT");
    auto check = Meta::MetaCheck::with_name("positive_total", "`total` >= 0");
    check->set_enforced(true);
    auto exclude = Meta::MetaExclude::with_name("no_overlap");
    exclude->set_index_method("gist");
    exclude->set_elements("period WITH &&");
    auto unique = Meta::MetaUnique::with_name("uq_customer_total");
    unique->set_columns("`customer_id`,`total`");
    for (std::shared_ptr<Meta::MetaConstraint> constraint :
         std::initializer_list<std::shared_ptr<Meta::MetaConstraint>>{primary, foreign, check, exclude, unique})
        table->get_constraints()->append(constraint);

    auto index = Meta::MetaIndex::with_names(database, schema, "orders", "ix_customer");
    index->set_method("BTREE");
    index->set_class("KEY");
    index->set_key_block_size(8);
    index->append("customer_id");
    index->append("total");
    table->get_indexes()->append(index);

    auto trigger = Meta::MetaTrigger::with_names(database, schema, "orders_bi");
    trigger->set_target("orders");
    trigger->set_timing("BEFORE");
    trigger->set_event("INSERT");
    trigger->set_body("SET NEW.total = ROUND(NEW.total, 2)");
    trigger->set_definer("root@localhost");
    table->get_triggers()->append(trigger);

    auto rule = Meta::MetaRule::with_name("no_delete");
    rule->set_event("DELETE");
    rule->set_action("NOTHING");
    rule->set_enable(true);
    table->get_rules()->append(rule);
    return table;
}

/// The "customers" table: two columns and a primary key.
inline std::shared_ptr<Meta::MetaTable> sample_customers(const std::string& database, const std::string& schema) {
    using Providers::Contracts::DataType;
    auto table = Meta::MetaTable::with_names(database, schema, "customers");
    table->new_column("id", DataType::INT32)->set_raw_type("int(11)");
    table->new_column("name", DataType::STRING)->set_raw_type("varchar(80)");
    auto primary = Meta::MetaUnique::with_name("PRIMARY");
    primary->set_is_primary_key(true);
    primary->set_columns("`id`");
    table->get_constraints()->append(primary);
    return table;
}

/// A schema with two tables, a view, a materialized view, a function, a procedure and an event; the
/// view's definition names the schema, as the server writes it.
inline std::shared_ptr<Meta::MetaSchema> sample_schema(const std::string& database, const std::string& schema) {
    auto result = Meta::MetaSchema::with_names(database, schema);
    result->set_comment("the shop");
    result->get_tables()->append(sample_orders(database, schema));
    result->get_tables()->append(sample_customers(database, schema));

    auto view = Meta::MetaView::with_names(database, schema, "big_orders");
    view->set_definition("select `" + schema + "`.`orders`.`id` AS `id`,`" + schema +
                         "`.`orders`.`total` AS `total` from `" + schema + "`.`orders` where `" + schema +
                         "`.`orders`.`total` > 100");
    result->get_views()->append(view);

    auto materialized = Meta::Materialized::with_names(database, schema, "order_totals");
    materialized->set_definition("select customer_id, total from orders");
    materialized->set_with_data(false);
    materialized->set_fill_factor("70");
    result->get_miews()->append(materialized);

    auto function = Meta::MetaFunction::with_names(database, schema, "with_tax");
    function->set_is_function(true);
    function->set_return_type("decimal(12,2)");
    function->set_parameters({"IN amount decimal(12,2)", "IN rate decimal(4,2)"});
    function->set_body("RETURN amount * (1 + rate)");
    result->get_functions()->append(function);

    auto procedure = Meta::MetaFunction::with_names(database, schema, "purge_old");
    procedure->set_parameters({"IN days int"});
    procedure->set_body("DELETE FROM orders WHERE 0");
    result->get_procedures()->append(procedure);

    auto event = Meta::MetaEvent::with_names(database, schema, "nightly_purge");
    event->set_schedule("EVERY 1 DAY");
    event->set_body("CALL purge_old(30)");
    event->set_state("ENABLE");
    event->set_completion("PRESERVE");
    result->get_events()->append(event);
    return result;
}

}  // namespace Ombrix::Testing
