// The command line's logs: a main log in the log folder, and with --verbose every record on stderr.
#include "solvane/Foundation/logging.hpp"

#include <glib.h>
#include <glib/gstdio.h>

#include <iostream>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "context.hpp"
#include "solvane/Contracts/Log/face_log.hpp"
#include "solvane/Foundation/services.hpp"
#include "solvane/Supports/Crypto/openssl_cipher.hpp"
#include "solvane/Supports/Log/handler_delegate.hpp"
#include "solvane/Supports/Log/handler_file_temp.hpp"
#include "solvane/Supports/Log/manager.hpp"

namespace Ombrix::Cli {

namespace {

// The main log keeps one identity across runs, so each run appends to the same rotating files.
constexpr const char* kMainLog = "6F4D4252-4958-4C4F-8700-434C49000001";
constexpr std::int64_t kMaxLogSize = 10 * 1024 * 1024;

// The profiles whose connections this run opened: each has a temporary per-connection log.
std::mutex connection_logs_lock;
std::set<std::string> connection_logs;

}  // namespace

void note_connection_log(const std::string& uuid) {
    std::lock_guard lock(connection_logs_lock);
    if (!uuid.empty()) connection_logs.insert(uuid);
}

std::string Context::log_folder() const {
    if (!log_dir.empty()) return log_dir;
    return std::string(g_get_user_cache_dir()) + "/ombrix/log";
}

void start_logging(const Context& context) {
    using namespace Solvane;
    using Contracts::Log::LogLevel;
    const std::string folder = context.log_folder();
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) throw Failure("cannot create the log folder " + folder);
    Foundation::Services::initialize();
    Foundation::Services::register_type<Contracts::Log::ILogManager, Supports::Log::LogManager>();
    // The cipher that protects the passwords of profiles added with --protect.
    Foundation::Services::register_instance<Contracts::Crypto::ISymmetricCipher>(
        Supports::Crypto::OpenSSLSymmetricCipher::create());
    Foundation::LoggingService::initialize(kMainLog, context.verbose ? LogLevel::DEBUG : LogLevel::PLAIN,
                                           folder.c_str(), kMaxLogSize);
    if (context.verbose) {
        static std::mutex stderr_lock;
        auto handler = Supports::Log::DelegateHandler::create(
            [](const std::shared_ptr<void>&, LogLevel, std::string_view message) {
                std::lock_guard lock(stderr_lock);
                std::cerr << message;
                if (message.empty() || message.back() != '\n') std::cerr << '\n';
            },
            std::make_shared<int>(0));
        handler->set_threshold(LogLevel::DEBUG);
        Foundation::LoggingService::append_handler(handler);
    }
}

void stop_logging() {
    using namespace Solvane;
    // A connection's temporary log is there for a host that shows it beside the connection; a
    // command-line run has shown what it wanted by now, so the files (which hold the run's SQL)
    // go with it instead of piling up in the temporary folder.
    std::vector<std::string> files;
    if (auto manager = Foundation::LoggingService::get_manager()) {
        std::lock_guard lock(connection_logs_lock);
        for (const auto& uuid : connection_logs) {
            auto logger = manager->open(uuid);
            if (!logger) continue;
            for (const auto& handler : logger->get_handlers())
                if (auto temp = std::dynamic_pointer_cast<Supports::Log::TempFileLogHandler>(handler))
                    files.push_back(temp->get_path());
        }
    }
    Foundation::LoggingService::shutdown();
    for (const auto& file : files)
        if (!file.empty()) g_remove(file.c_str());
}

}  // namespace Ombrix::Cli
