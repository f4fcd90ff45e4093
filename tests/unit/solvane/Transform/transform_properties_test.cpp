// Every transform's connections and progress record, through the generic property interface: set,
// read back and heard of, as a host or a container that knows no transform class would use them.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "solvane/Contracts/Transform/thread_progress.hpp"
#include "solvane/Supports/Database/connection.hpp"
#include "solvane/Transform/synchronizer.hpp"
#include "solvane/Transform/transfer.hpp"

namespace {

using namespace Ombrix;

TEST(TransformProperties, ConnectionsAndProgressAreSetReadAndHeardGenerically) {
    const std::vector<std::shared_ptr<Core::Object>> transforms{
        Solvane::Transform::Transfer::create({}), Solvane::Transform::StructureSynchronizer::create({}),
        Solvane::Transform::UserdataSynchronizer::create({})};
    for (const auto& transform : transforms) {
        SCOPED_TRACE(transform->type_name());
        auto* contract = dynamic_cast<Solvane::Transform::ITransform*>(transform.get());
        ASSERT_NE(contract, nullptr);
        std::vector<std::string> heard;
        transform->signal_notify().connect([&](std::string_view name) { heard.emplace_back(name); });

        auto source = Solvane::Supports::Database::ConnectionImpl::create();
        auto target = Solvane::Supports::Database::ConnectionImpl::create();
        auto progress = Solvane::Contracts::ThreadProgress::create();
        ASSERT_TRUE(transform->set_property("server-source", Core::Value::from_object(source)));
        ASSERT_TRUE(transform->set_property("server-target", Core::Value::from_object(target)));
        ASSERT_TRUE(transform->set_property("progress", Core::Value::from_object(progress)));
        EXPECT_EQ(contract->get_server_source().get(), source.get());
        EXPECT_EQ(contract->get_server_target().get(), target.get());
        EXPECT_EQ(contract->get_progress(), progress);
        EXPECT_EQ(transform->get_property("server-source").get_object<Core::Object>(), source);
        EXPECT_EQ(transform->get_property("progress").get_object<Core::Object>(), progress);
        // Set again to the same: no second notification.
        contract->set_server_source(source);
        EXPECT_EQ(heard, (std::vector<std::string>{"server-source", "server-target", "progress"}));
    }
}

}  // namespace
