/// @file The progress record a transform shares with its host, and the transform contract.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "providers/Core/error.hpp"
#include "providers/Core/object.hpp"
#include "solvane/Contracts/Database/connection.hpp"
#include "solvane/solvane_export.h"

namespace Ombrix::Solvane::Contracts {

/// What a running transform reports to the host that polls it: steps counted as successes or
/// failures, the time since the run began, queued messages and whether the run has finished.
/// Shared between the worker that runs the transform and the host; every change and every read
/// goes through the record's own recursive mutex.
class OMBRIX_SOLVANE_EXPORT ThreadProgress final : public Core::Object {
public:
    /// A copy of the record's fields, taken under its mutex.
    struct Snapshot {
        std::int64_t step = 0;
        std::int64_t success = 0;
        std::int64_t failure = 0;
        std::int64_t elapsed = 0;  // microseconds since the run's start
        bool finished = false;
    };

    /// `create()`: a record at zero, with no message queued.
    OMBRIX_CREATABLE_OBJECT(ThreadProgress, Core::Object);

    /// Counters, elapsed time and the finished flag back to zero (the queue is kept).
    void reset_counters();
    /// A step: the success or the failure counter and the step counter go up by one; `text`, if
    /// not empty, is queued after a timestamp and a blank. `elapsed` is the run's time so far.
    void step(bool success, std::string_view text, std::int64_t elapsed);
    /// Queues "<timestamp> <text>" without counting.
    void message(std::string_view text, std::int64_t elapsed);
    void set_finished(std::int64_t elapsed);

    Snapshot snapshot() const;
    /// Takes the oldest queued message, if any.
    bool pop_message(std::string& text);

    /// The mutex itself, for hosts that read or change several fields at once.
    std::recursive_mutex& mutex() const { return m_mutex; }

private:
    ThreadProgress() = default;

    mutable std::recursive_mutex m_mutex;
    Snapshot m_state;
    std::deque<std::string> m_messages;
};

}  // namespace Ombrix::Solvane::Contracts

/// A connection property of a transform (`server_source` or `server_target`), over the transform's
/// own `get_`/`set_` pair: the generic property interface sets, reads and hears of it as an object.
#define OMBRIX_TRANSFORM_CONNECTION_PROPERTY(id)                                                          \
    OMBRIX_PROPERTY_WITH(                                                                                 \
        std::shared_ptr<::Ombrix::Core::Object>, id, nullptr, ::Ombrix::Core::ReadWrite,                  \
        [](const ombrix_self& self) { return std::dynamic_pointer_cast<::Ombrix::Core::Object>(self.get_##id()); }, \
        [](ombrix_self& self, std::shared_ptr<::Ombrix::Core::Object> value) {                            \
            self.set_##id(std::dynamic_pointer_cast<::Ombrix::Solvane::Contracts::Database::IConnection>(value)); \
        })
/// The progress record of a transform, as a property.
#define OMBRIX_TRANSFORM_PROGRESS_PROPERTY()                                                             \
    OMBRIX_PROPERTY_WITH(                                                                                 \
        std::shared_ptr<::Ombrix::Solvane::Contracts::ThreadProgress>, progress, nullptr, ::Ombrix::Core::ReadWrite, \
        [](const ombrix_self& self) { return self.get_progress(); },                                      \
        [](ombrix_self& self, std::shared_ptr<::Ombrix::Solvane::Contracts::ThreadProgress> value) {      \
            self.set_progress(std::move(value));                                                          \
        })

namespace Ombrix::Solvane::Transform {

/// A job that moves structure or data from a source connection to a target connection: the host
/// sets both connections and a progress record, calls `initialize`, then runs `handle` on a worker
/// thread while it polls the progress.
class OMBRIX_SOLVANE_EXPORT ITransform {
public:
    virtual ~ITransform() = default;

    [[nodiscard]] virtual Core::Status initialize() = 0;
    [[nodiscard]] virtual Core::Status handle() = 0;

    virtual std::shared_ptr<Contracts::Database::IConnection> get_server_source() const = 0;
    virtual void set_server_source(std::shared_ptr<Contracts::Database::IConnection> connection) = 0;
    virtual std::shared_ptr<Contracts::Database::IConnection> get_server_target() const = 0;
    virtual void set_server_target(std::shared_ptr<Contracts::Database::IConnection> connection) = 0;
    virtual std::shared_ptr<Contracts::ThreadProgress> get_progress() const = 0;
    virtual void set_progress(std::shared_ptr<Contracts::ThreadProgress> progress) = 0;
};

}  // namespace Ombrix::Solvane::Transform
