#include "solvane/Foundation/container.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "solvane/Foundation/services.hpp"
#include "tests/support/log_capture.hpp"

using namespace Ombrix;
using Solvane::Contracts::Container::IContainer;
using Solvane::Contracts::Container::ServiceType;
using Solvane::Foundation::Container;
using Solvane::Foundation::Services;

namespace {

class IClock {
public:
    virtual ~IClock() = default;
    virtual int now() const = 0;
};

class IUnrelated {
public:
    virtual ~IUnrelated() = default;
};

struct Plain {
    int value = 0;
};

std::atomic<int> g_clocks_made{0};

class Clock : public Core::Object, public IClock {
public:
    static std::shared_ptr<Clock> create() { return std::shared_ptr<Clock>(new Clock()); }
    static const Core::TypeInfo& static_type() {
        static const Core::TypeInfo& info = Core::TypeInfo::define<Clock, Core::Object>("OmbrixTestsClock").build();
        return info;
    }
    const Core::TypeInfo& type_info() const override { return static_type(); }
    int now() const override { return 42; }

protected:
    Clock() { ++g_clocks_made; }
};

// Derives from a registered class without registering itself: not a key.
class UnregisteredClock final : public Clock {};

class Audit final : public Core::Object {
public:
    static std::shared_ptr<Audit> create() { return std::shared_ptr<Audit>(new Audit()); }
    static const Core::TypeInfo& static_type() {
        static const Core::TypeInfo& info = Core::TypeInfo::define<Audit, Core::Object>("OmbrixTestsAudit").build();
        return info;
    }
    const Core::TypeInfo& type_info() const override { return static_type(); }

private:
    Audit() = default;
};

std::atomic<int> g_repositories_made{0};

// Takes its clock and audit at construction; `spare` is an ordinary property.
class Repository final : public Core::Object {
public:
    static std::shared_ptr<Repository> create() { return std::shared_ptr<Repository>(new Repository()); }
    static const Core::TypeInfo& static_type() {
        static const Core::TypeInfo& info =
            Core::TypeInfo::define<Repository, Core::Object>("OmbrixTestsRepository")
                .property("clock", &Repository::get_clock, &Repository::set_clock, std::shared_ptr<Clock>{},
                          Core::ReadWrite | Core::ConstructOnly)
                .property("audit", &Repository::get_audit, &Repository::set_audit, std::shared_ptr<Audit>{},
                          Core::ReadWrite | Core::Construct)
                .property("spare", &Repository::get_spare, &Repository::set_spare, std::shared_ptr<Clock>{})
                .build();
        return info;
    }
    const Core::TypeInfo& type_info() const override { return static_type(); }

    const std::shared_ptr<Clock>& get_clock() const { return m_clock; }
    void set_clock(std::shared_ptr<Clock> value) { m_clock = std::move(value); }
    const std::shared_ptr<Audit>& get_audit() const { return m_audit; }
    void set_audit(std::shared_ptr<Audit> value) { m_audit = std::move(value); }
    const std::shared_ptr<Clock>& get_spare() const { return m_spare; }
    void set_spare(std::shared_ptr<Clock> value) { m_spare = std::move(value); }

private:
    Repository() {
        ++g_repositories_made;
        // Widens the window in which two first resolutions could overlap.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::shared_ptr<Clock> m_clock;
    std::shared_ptr<Audit> m_audit;
    std::shared_ptr<Clock> m_spare;
};

// Needs another node at construction: registered under its own key it depends on itself.
class Node final : public Core::Object {
public:
    static std::shared_ptr<Node> create() { return std::shared_ptr<Node>(new Node()); }
    static const Core::TypeInfo& static_type() {
        static const Core::TypeInfo& info =
            Core::TypeInfo::define<Node, Core::Object>("OmbrixTestsNode")
                .property("next", &Node::get_next, &Node::set_next, std::shared_ptr<Node>{},
                          Core::ReadWrite | Core::Construct)
                .build();
        return info;
    }
    const Core::TypeInfo& type_info() const override { return static_type(); }
    const std::shared_ptr<Node>& get_next() const { return m_next; }
    void set_next(std::shared_ptr<Node> value) { m_next = std::move(value); }

private:
    Node() = default;
    std::shared_ptr<Node> m_next;
};

class Shape : public Core::Object {
public:
    static const Core::TypeInfo& static_type() {
        static const Core::TypeInfo& info =
            Core::TypeInfo::define<Shape, Core::Object>("OmbrixTestsShape").abstract().build();
        return info;
    }
    const Core::TypeInfo& type_info() const override { return static_type(); }
    virtual double area() const = 0;
};

}  // namespace

TEST(Container, EachKeyResolvesToOneSingleton) {
    auto container = Container::create();
    container->register_type<IClock, Clock>();
    EXPECT_TRUE(container->has<IClock>());
    EXPECT_FALSE(container->has<Clock>());

    auto first = container->resolve<IClock>();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->now(), 42);
    EXPECT_EQ(container->resolve<IClock>(), first);

    // Another key is another singleton, even when the same class stands behind it.
    auto by_class = container->resolve<Clock>();
    ASSERT_NE(by_class, nullptr);
    EXPECT_NE(std::static_pointer_cast<IClock>(by_class), first);
    EXPECT_EQ(container->resolve<Clock>(), by_class);
    EXPECT_TRUE(container->has<Clock>());
}

TEST(Container, RegisteredInstancesAreReturnedAndReplaced) {
    auto container = Container::create();
    auto one = Clock::create();
    auto two = Clock::create();
    container->register_instance<IClock>(one);
    EXPECT_EQ(container->resolve<IClock>().get(), one.get());
    container->register_instance<IClock>(two);
    EXPECT_EQ(container->resolve<IClock>().get(), two.get());
    // The type-erased form hands out the same object.
    EXPECT_EQ(container->resolve(ServiceType::of<IClock>()), std::static_pointer_cast<Core::Object>(two));
}

TEST(Container, ConstructsAConcreteClassNobodyRegisteredAndKeepsIt) {
    auto container = Container::create();
    const int before = g_repositories_made;
    auto repository = container->resolve<Repository>();
    ASSERT_NE(repository, nullptr);
    EXPECT_EQ(container->resolve<Repository>(), repository);
    EXPECT_EQ(g_repositories_made - before, 1);
    EXPECT_TRUE(container->has<Repository>());
}

TEST(Container, InjectsOnlyConstructPropertiesWhoseTypeIsAKey) {
    auto container = Container::create();
    auto clock = Clock::create();
    container->register_instance<Clock>(clock);

    auto repository = container->resolve<Repository>();
    ASSERT_NE(repository, nullptr);
    EXPECT_EQ(repository->get_clock(), clock);
    EXPECT_EQ(repository->get_audit(), nullptr);  // Audit is no key: left at its default
    EXPECT_EQ(repository->get_spare(), nullptr);  // not a construct property
}

TEST(Container, InjectedKeysAreResolvedThroughTheirFactoryOrClassAndKept) {
    auto container = Container::create();
    int factory_calls = 0;
    container->register_factory<Clock>([&](IContainer&) {
        ++factory_calls;
        return Clock::create();
    });
    container->register_type<Audit, Audit>();

    auto repository = container->resolve<Repository>();
    ASSERT_NE(repository, nullptr);
    ASSERT_NE(repository->get_clock(), nullptr);
    ASSERT_NE(repository->get_audit(), nullptr);
    // The dependencies became the singletons of their keys.
    EXPECT_EQ(container->resolve<Clock>(), repository->get_clock());
    EXPECT_EQ(container->resolve<Audit>(), repository->get_audit());
    EXPECT_EQ(factory_calls, 1);
}

TEST(Container, FactoriesRunOnceWithTheContainerAndANullResultIsNotKept) {
    auto container = Container::create();
    container->register_instance<Audit>(Audit::create());
    int calls = 0;
    std::shared_ptr<Audit> seen;
    container->register_factory<IClock>([&](IContainer& c) -> std::shared_ptr<Clock> {
        ++calls;
        seen = c.resolve<Audit>();
        return calls == 1 ? nullptr : Clock::create();
    });

    EXPECT_EQ(container->resolve<IClock>(), nullptr);
    EXPECT_NE(seen, nullptr);
    auto clock = container->resolve<IClock>();
    ASSERT_NE(clock, nullptr);
    EXPECT_EQ(container->resolve<IClock>(), clock);
    EXPECT_EQ(calls, 2);
}

TEST(Container, UnregisteredInterfacesAndAbstractClassesResolveToNull) {
    Testing::LogCapture log;
    auto container = Container::create();
    EXPECT_EQ(container->resolve<IClock>(), nullptr);
    EXPECT_EQ(container->resolve<Shape>(), nullptr);
    EXPECT_FALSE(container->has<IClock>());
    EXPECT_FALSE(container->has<Shape>());
    EXPECT_TRUE(log.criticals().empty());
}

TEST(Container, RefusesKeysThatAreNeitherInterfacesNorObjectClasses) {
    Testing::LogCapture log;
    auto container = Container::create();

    EXPECT_FALSE(container->has<int>());
    EXPECT_EQ(container->resolve(ServiceType::of<Plain>()), nullptr);
    EXPECT_EQ(log.criticals().size(), 2u);
    EXPECT_TRUE(log.has_critical("assertion 'type.is_interface () || type.is_object ()' failed"));

    container->register_instance(ServiceType::of<std::string>(), Clock::create());
    container->register_type(ServiceType::of<UnregisteredClock>(), ServiceType::of<Clock>());
    container->register_factory(ServiceType::of<double>(), [](IContainer&) { return Clock::create(); });
    EXPECT_EQ(log.criticals().size(), 5u);
    EXPECT_TRUE(log.has_critical("assertion 'key_type.is_interface () || key_type.is_object ()' failed"));
    EXPECT_FALSE(container->has<Clock>());
}

TEST(Container, RefusesRegistrationsWhoseValueDoesNotFitTheKey) {
    Testing::LogCapture log;
    auto container = Container::create();

    container->register_instance<IClock>(std::shared_ptr<Clock>());
    EXPECT_TRUE(log.has_critical("assertion 'instance != NULL' failed"));
    container->register_instance(ServiceType::of<Audit>(), Clock::create());
    EXPECT_TRUE(log.has_critical("assertion 'instance.get_type ().is_a (key_type)' failed"));
    container->register_type(ServiceType::of<IClock>(), ServiceType::of<Plain>());
    EXPECT_TRUE(log.has_critical("assertion 'value_type.is_object ()' failed"));
    container->register_type(ServiceType::of<Audit>(), ServiceType::of<Clock>());
    EXPECT_TRUE(log.has_critical("assertion 'value_type.is_a (key_type)' failed"));
    EXPECT_EQ(log.criticals().size(), 4u);
    EXPECT_FALSE(container->has<IClock>());
    EXPECT_FALSE(container->has<Audit>());
}

TEST(Container, AClassThatDoesNotImplementItsInterfaceKeyIsCaughtAtResolution) {
    // Type-erased registrations cannot see a C++ base class; the object made is checked instead.
    Testing::LogCapture log;
    auto container = Container::create();
    container->register_type(ServiceType::of<IUnrelated>(), ServiceType::of<Clock>());
    EXPECT_EQ(container->resolve<IUnrelated>(), nullptr);
    EXPECT_TRUE(log.has_critical("Container::resolve: assertion 'value_type.is_a (key_type)' failed"));

    container->register_factory(ServiceType::of<IUnrelated>(), [](IContainer&) { return Audit::create(); });
    EXPECT_EQ(container->resolve<IUnrelated>(), nullptr);
    EXPECT_TRUE(log.has_critical("Container::resolve: assertion 'instance.get_type ().is_a (key_type)' failed"));
}

TEST(Container, ADependencyCycleLeavesThePropertyAtItsDefault) {
    Testing::LogCapture log;
    auto container = Container::create();
    container->register_type<Node, Node>();
    auto node = container->resolve<Node>();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->get_next(), nullptr);
    ASSERT_EQ(log.warnings().size(), 1u);
    EXPECT_NE(log.warnings()[0].find("dependency cycle while resolving OmbrixTestsNode"), std::string::npos);
    EXPECT_EQ(container->resolve<Node>(), node);
}

TEST(Container, ConcurrentFirstResolutionsShareOneSingleton) {
    auto container = Container::create();
    container->register_type<IClock, Clock>();
    const int before = g_repositories_made;
    std::vector<std::shared_ptr<Repository>> seen(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&, i] { seen[i] = container->resolve<Repository>(); });
    for (auto& thread : threads) thread.join();
    ASSERT_NE(seen[0], nullptr);
    for (const auto& repository : seen) EXPECT_EQ(repository, seen[0]);
    EXPECT_EQ(g_repositories_made - before, 1);
}

TEST(Services, OneProcessWideContainer) {
    Services::initialize();
    auto* container = &Services::container();
    Services::initialize();
    EXPECT_EQ(&Services::container(), container);

    auto audit = Audit::create();
    Services::register_instance<Audit>(audit);
    EXPECT_EQ(Services::get<Audit>(), audit);
    EXPECT_EQ(Services::get(ServiceType::of<Audit>()), std::static_pointer_cast<Core::Object>(audit));
    EXPECT_TRUE(container->has<Audit>());
}
