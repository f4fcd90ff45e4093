/// @file The test sandbox server's connection settings and scratch schemas.
#pragma once

#include <memory>
#include <string>

#include "providers/Contracts/face_server.hpp"

namespace Ombrix::Testing {

/// Connection settings of the running sandbox, read from its env file.
struct Sandbox {
    std::string host;
    unsigned port = 0;
    std::string user;
    std::string password;
    std::string dir;
    std::string ssl_ca;
    std::string ssl_cert;
    std::string ssl_key;
    std::string ssl_key_encrypted;
    std::string ssl_key_password;

    /// The settings of the sandbox in $OMBRIX_SANDBOX_DIR; the test fails when none is running.
    static const Sandbox& get();
    /// A MariaDB profile pointing at the sandbox.
    std::shared_ptr<Providers::Contracts::Server> profile() const;
    /// Runs SQL through the client library directly (for setting up and checking); fails the test on error.
    void exec(const std::string& sql) const;
};

/// A scratch schema created for one test and dropped afterwards.
class ScratchSchema {
public:
    explicit ScratchSchema(const std::string& prefix);
    ~ScratchSchema();
    const std::string& name() const { return m_name; }

private:
    std::string m_name;
};

}  // namespace Ombrix::Testing
