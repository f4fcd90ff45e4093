#include "providers/Core/async.hpp"

#include <glib.h>

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
    std::thread([work = std::move(work), callback = std::move(callback)]() mutable {
        AsyncResultPtr result;
        try {
            result = work();
        } catch (const std::exception& e) {
            result = AsyncResult::failure(Error{"default", -1, e.what()});
        }
        if (!result) result = AsyncResult::failure(Error{"default", -1, "asynchronous work gave no result"});
        post_to_main([callback = std::move(callback), result = std::move(result)]() mutable {
            if (callback) callback(std::move(result));
        });
    }).detach();
}

void run_main_until(const std::function<bool()>& done) {
    GMainContext* context = g_main_context_default();
    while (!done()) g_main_context_iteration(context, TRUE);
}

}  // namespace Ombrix::Core
