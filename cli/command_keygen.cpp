// ombrix keygen: a new RSA key pair written as PEM files.
#include <filesystem>
#include <iostream>
#include <system_error>

#include "commands.hpp"
#include "solvane/Supports/Crypto/openssl_cipher.hpp"

namespace Ombrix::Cli {

namespace {

struct KeygenOptions {
    std::string directory;
    bool force = false;
};

}  // namespace

void add_keygen_command(CLI::App& app, Context&) {
    auto options = std::make_shared<KeygenOptions>();
    auto* keygen = app.add_subcommand("keygen", "Write a new RSA-2048 key pair as PEM files (private.pem, public.pem)");
    keygen->add_option("-o,--output", options->directory, "Folder for the key files (created when missing)")->required();
    keygen->add_flag("--force", options->force, "Replace key files that already exist");
    keygen->callback([options] {
        namespace fs = std::filesystem;
        const fs::path folder(options->directory);
        const fs::path private_file = folder / "private.pem";
        const fs::path public_file = folder / "public.pem";

        std::error_code error;
        fs::create_directories(folder, error);
        if (error) throw Failure("cannot create " + folder.string() + ": " + error.message());
        if (!options->force)
            for (const fs::path& file : {private_file, public_file})
                if (fs::exists(fs::symlink_status(file, error)))
                    throw Failure(file.string() + " already exists (use --force to replace it)");

        auto cipher = Solvane::Supports::Crypto::OpenSSLAsymmetricCipher::create();
        if (auto status = cipher->initialize(); !status)
            throw Failure("cannot generate a key pair: " + status.error().message);
        if (auto status = cipher->save_key_file(public_file.string(), private_file.string()); !status)
            throw Failure("cannot write the key files in " + folder.string() + ": " + status.error().message);
        std::cout << "private key: " << private_file.string() << " (mode 0600)\n"
                  << "public key:  " << public_file.string() << "\n";
    });
}

}  // namespace Ombrix::Cli
