#include "providers/Core/async.hpp"

#include <glib.h>

#include <memory>
#include <system_error>
#include <thread>

namespace Ombrix::Core {

namespace {

gboolean run_once(gpointer data) {
    auto* callback = static_cast<std::function<void()>*>(data);
    (*callback)();
    return G_SOURCE_REMOVE;
}

void destroy_callback(gpointer data) { delete static_cast<std::function<void()>*>(data); }

}  // namespace

void post_to_main(std::function<void()> callback) {
    auto* heap = new std::function<void()>(std::move(callback));
    g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, run_once, heap, destroy_callback);
}

void run_in_thread(std::function<AsyncResultPtr()> work, AsyncReadyCallback callback) {
    // Held outside the thread object: a thread that cannot start still completes the call.
    auto ready = std::make_shared<AsyncReadyCallback>(std::move(callback));
    const auto complete = [ready](AsyncResultPtr result) {
        post_to_main([ready, result = std::move(result)]() mutable {
            if (*ready) (*ready)(std::move(result));
        });
    };
    try {
        std::thread([work = std::move(work), complete]() mutable {
            AsyncResultPtr result;
            try {
                result = work();
            } catch (const std::exception& e) {
                result = AsyncResult::failure(Error{"default", -1, e.what()});
            }
            if (!result) result = AsyncResult::failure(Error{"default", -1, "asynchronous work gave no result"});
            complete(std::move(result));
        }).detach();
    } catch (const std::system_error& e) {
        // No thread could be started (a limit on threads or memory): the call fails with that.
        complete(AsyncResult::failure(Error{"default", -1, std::string("cannot start a worker thread: ") + e.what()}));
    }
}

void run_main_until(const std::function<bool()>& done) {
    GMainContext* context = g_main_context_default();
    while (!done()) g_main_context_iteration(context, TRUE);
}

}  // namespace Ombrix::Core
