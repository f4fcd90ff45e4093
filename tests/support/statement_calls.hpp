/// @file Every statement-factory operation that takes text, callable with any views for its texts.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "solvane/Contracts/Database/statement.hpp"
#include "tests/support/log_capture.hpp"

namespace Ombrix::Testing {

/// One operation: its name, the names of its text arguments in order, and a call that passes
/// `texts[i]` as the i-th of them (other arguments get ordinary values).
struct StatementTextCall {
    using Texts = std::vector<std::string_view>;
    const char* operation;
    std::vector<const char*> arguments;
    std::function<std::string(Solvane::Contracts::Database::IStatement&, const Texts&)> call;
};

inline std::vector<StatementTextCall> statement_text_calls() {
    using Providers::Contracts::DataType;
    using Providers::Contracts::DBObject;
    using Solvane::Contracts::Database::IStatement;
    using T = StatementTextCall::Texts;
    const std::vector<const char*> listing{"database", "user_schema"};
    // Each listing takes (database, user_schema, out column).
    auto lister = [](std::string (IStatement::*op)(std::string_view, std::string_view, int&)) {
        return [op](IStatement& s, const T& t) {
            int column = 0;
            return (s.*op)(t[0], t[1], column);
        };
    };
    return {
        {"show_tables", listing, lister(&IStatement::show_tables)},
        {"show_views", listing, lister(&IStatement::show_views)},
        {"show_checks", listing, lister(&IStatement::show_checks)},
        {"show_excludes", listing, lister(&IStatement::show_excludes)},
        {"show_foreigns", listing, lister(&IStatement::show_foreigns)},
        {"show_rules", listing, lister(&IStatement::show_rules)},
        {"show_uniques", listing, lister(&IStatement::show_uniques)},
        {"show_indexes", listing, lister(&IStatement::show_indexes)},
        {"show_triggers", listing, lister(&IStatement::show_triggers)},
        {"show_functions", listing, lister(&IStatement::show_functions)},
        {"show_procedures", listing, lister(&IStatement::show_procedures)},
        {"show_users", listing, lister(&IStatement::show_users)},
        {"show_roles", listing, lister(&IStatement::show_roles)},
        {"change_database", {"database"}, [](IStatement& s, const T& t) { return s.change_database(t[0]); }},
        {"build_explain", {"statement", "format"},
         [](IStatement& s, const T& t) { return s.build_explain(t[0], t[1]); }},
        {"build_analyze", {"statement", "format"},
         [](IStatement& s, const T& t) { return s.build_analyze(t[0], t[1]); }},
        {"show_table_spaces", {"database"},
         [](IStatement& s, const T& t) {
             int column = 0;
             return s.show_table_spaces(t[0], column);
         }},
        {"show_table_schemas", {"database"},
         [](IStatement& s, const T& t) {
             int column = 0;
             return s.show_table_schemas(t[0], column);
         }},
        {"call_function", {"database", "user_schema", "function", "parameters"},
         [](IStatement& s, const T& t) { return s.call_function(t[0], t[1], t[2], t[3]); }},
        {"call_procedure", {"database", "user_schema", "procedure", "parameters"},
         [](IStatement& s, const T& t) { return s.call_procedure(t[0], t[1], t[2], t[3]); }},
        {"show_source", {"database", "user_schema", "name"},
         [](IStatement& s, const T& t) {
             int column = 0;
             return s.show_source(DBObject::TABLE, t[0], t[1], t[2], column);
         }},
        {"show_structure", {"database", "user_schema", "table"},
         [](IStatement& s, const T& t) {
             int column = 0;
             return s.show_structure(t[0], t[1], t[2], column);
         }},
        {"show_content", {"database", "user_schema", "table", "columns", "where", "order"},
         [](IStatement& s, const T& t) { return s.show_content(t[0], t[1], t[2], t[3], t[4], t[5], 0, 10); }},
        {"show_user_detail", {"database", "user_schema", "username"},
         [](IStatement& s, const T& t) { return s.show_user_detail(t[0], t[1], t[2]); }},
        {"show_role_detail", {"database", "user_schema", "rolename"},
         [](IStatement& s, const T& t) { return s.show_role_detail(t[0], t[1], t[2]); }},
        {"show_user_rights", {"database", "user_schema", "username"},
         [](IStatement& s, const T& t) { return s.show_user_rights(t[0], t[1], t[2]); }},
        {"show_role_rights", {"database", "user_schema", "rolename"},
         [](IStatement& s, const T& t) { return s.show_role_rights(t[0], t[1], t[2]); }},
        {"grant_user_rights", {"database", "user_schema", "username", "rights", "object"},
         [](IStatement& s, const T& t) { return s.grant_user_rights(t[0], t[1], t[2], t[3], t[4]); }},
        {"revoke_user_rights", {"database", "user_schema", "username", "rights", "object"},
         [](IStatement& s, const T& t) { return s.revoke_user_rights(t[0], t[1], t[2], t[3], t[4]); }},
        {"grant_role_rights", {"database", "user_schema", "rolename", "rights", "object"},
         [](IStatement& s, const T& t) { return s.grant_role_rights(t[0], t[1], t[2], t[3], t[4]); }},
        {"revoke_role_rights", {"database", "user_schema", "rolename", "rights", "object"},
         [](IStatement& s, const T& t) { return s.revoke_role_rights(t[0], t[1], t[2], t[3], t[4]); }},
        {"show_effected", {"database", "user_schema", "table", "where"},
         [](IStatement& s, const T& t) { return s.show_effected(t[0], t[1], t[2], t[3]); }},
        {"show_relations", {"database", "user_schema", "table"},
         [](IStatement& s, const T& t) { return s.show_relations(t[0], t[1], t[2]); }},
        {"rename_object", {"database", "user_schema", "old_name", "new_name"},
         [](IStatement& s, const T& t) { return s.rename_object(DBObject::TABLE, t[0], t[1], t[2], t[3]); }},
        {"drop_object", {"database", "user_schema", "object_name", "object_target"},
         [](IStatement& s, const T& t) { return s.drop_object(DBObject::INDEX, t[0], t[1], t[2], t[3]); }},
        {"empty_table", {"database", "user_schema", "table"},
         [](IStatement& s, const T& t) { return s.empty_table(t[0], t[1], t[2]); }},
        {"transaction", {"name"}, [](IStatement& s, const T& t) { return s.transaction(t[0]); }},
        {"rollback", {"name"}, [](IStatement& s, const T& t) { return s.rollback(t[0]); }},
        {"commit", {"name"}, [](IStatement& s, const T& t) { return s.commit(t[0]); }},
        {"pack_value", {"value"}, [](IStatement& s, const T& t) { return s.pack_value(DataType::STRING, t[0]); }},
        {"quote_identifier", {"identifier", "schema"},
         [](IStatement& s, const T& t) { return s.quote_identifier(t[0], t[1]); }},
        {"build_sql_update", {"schema", "table"},
         [](IStatement& s, const T& t) { return s.build_sql_update(t[0], t[1], {"a"}, {"1"}, {"k"}, {"2"}); }},
        {"build_sql_insert", {"schema", "table"},
         [](IStatement& s, const T& t) { return s.build_sql_insert(t[0], t[1], {"a"}, {"1"}); }},
        {"build_sql_delete", {"schema", "table"},
         [](IStatement& s, const T& t) { return s.build_sql_delete(t[0], t[1], {"k"}, {"2"}); }},
        {"build_sql_view", {"user_schema", "view_name", "statements"},
         [](IStatement& s, const T& t) { return s.build_sql_view(t[0], t[1], t[2]); }},
    };
}

/// Calls every operation once per text argument with that argument null (a default view) and the
/// others set: each call gives "" and exactly the critical naming the operation and the argument.
/// Empty texts, which are set, never write a critical.
inline void expect_null_texts_refused(Solvane::Contracts::Database::IStatement& statement) {
    for (const auto& c : statement_text_calls()) {
        {
            LogCapture log;
            (void)c.call(statement, StatementTextCall::Texts(c.arguments.size(), ""));
            EXPECT_TRUE(log.criticals().empty()) << c.operation << " refused empty texts";
        }
        for (std::size_t i = 0; i < c.arguments.size(); ++i) {
            StatementTextCall::Texts texts(c.arguments.size(), "x");
            texts[i] = std::string_view{};
            LogCapture log;
            EXPECT_EQ(c.call(statement, texts), "") << c.operation << " without " << c.arguments[i];
            ASSERT_EQ(log.criticals().size(), 1u) << c.operation << " without " << c.arguments[i];
            EXPECT_NE(log.criticals()[0].find(std::string("::") + c.operation + ": assertion '" + c.arguments[i] +
                                              " != NULL' failed"),
                      std::string::npos)
                << log.criticals()[0];
        }
    }
}

}  // namespace Ombrix::Testing
