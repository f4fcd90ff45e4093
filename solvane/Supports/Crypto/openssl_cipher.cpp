#include "solvane/Supports/Crypto/openssl_cipher.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <vector>

#include "providers/Core/file.hpp"
#include "providers/Core/text.hpp"

namespace Ombrix::Solvane::Supports::Crypto {

using Contracts::Crypto::CipherOutput;
using Contracts::Crypto::kCryptoErrorDomain;
using Contracts::Crypto::PemKeyPair;

namespace {

constexpr std::size_t kBlockSize = 16;
constexpr std::size_t kSaltSize = 8;  // what EVP_BytesToKey reads
constexpr unsigned long kPublicExponent = 65537;
constexpr int kKeyBits = 2048;

std::unexpected<Core::Error> crypto_error(int code, const char* message) {
    return Core::fail(std::string(kCryptoErrorDomain), code, message);
}

OpenSSLAsymmetricCipher::Keygen g_keygen = nullptr;

// RSA messages are user-visible; the symmetric ones are not (they only reach the log).
std::unexpected<Core::Error> rsa_error(int code, const char* message) { return crypto_error(code, Core::tr(message)); }

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct PkeyContextFree {
    void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
using PkeyContext = std::unique_ptr<EVP_PKEY_CTX, PkeyContextFree>;

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};

// A password callback that supplies no pass phrase: an encrypted key fails to load instead of
// OpenSSL asking on the terminal.
int no_pass_phrase(char*, int, int, void*) { return 0; }

File open_for_reading(std::string_view path) {
    return File(std::fopen(std::string(path).c_str(), "r"));
}

// The PEM text one writer puts into a memory buffer, with a zero byte after it.
template <class Writer>
std::vector<std::uint8_t> pem_text(Writer write) {
    std::unique_ptr<BIO, BioFree> bio(BIO_new(BIO_s_mem()));
    std::vector<std::uint8_t> text;
    if (bio) {
        write(bio.get());
        char* data = nullptr;
        const long size = BIO_get_mem_data(bio.get(), &data);
        if (size > 0 && data) text.assign(data, data + size);
    }
    text.push_back(0);
    return text;
}

bool has_private_key(EVP_PKEY* key) {
    if (!key) return false;
    BIGNUM* d = nullptr;
    const bool found = EVP_PKEY_get_bn_param(key, "d", &d) == 1;
    BN_clear_free(d);
    return found;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// OpenSSLSymmetricCipher

OpenSSLSymmetricCipher::OpenSSLSymmetricCipher() : m_context(EVP_CIPHER_CTX_new()) {}

OpenSSLSymmetricCipher::~OpenSSLSymmetricCipher() {
    EVP_CIPHER_CTX_free(m_context);
    OPENSSL_cleanse(m_key.data(), m_key.size());
    OPENSSL_cleanse(m_iv.data(), m_iv.size());
}

Core::Status OpenSSLSymmetricCipher::initialize(std::string_view key, std::string_view salt) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(key, crypto_error(-1, "key != NULL"));
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(salt, crypto_error(-1, "salt != NULL"));
    m_key_text.assign(key);
    m_salt_text.assign(salt);

    // The derivation reads exactly 8 salt bytes; a shorter salt is padded with zero bytes.
    std::array<unsigned char, kSaltSize> salt_bytes{};
    for (std::size_t i = 0; i < kSaltSize && i < salt.size(); ++i) salt_bytes[i] = static_cast<unsigned char>(salt[i]);

    if (key.size() > static_cast<std::size_t>(INT_MAX) ||
        EVP_BytesToKey(EVP_aes_256_cbc(), EVP_sha1(), salt_bytes.data(),
                       reinterpret_cast<const unsigned char*>(key.data()), static_cast<int>(key.size()), 2,
                       m_key.data(), m_iv.data()) == 0)
        return crypto_error(-1, "Failed to generate Cipher key and iv");
    return {};
}

Core::Result<CipherOutput> OpenSSLSymmetricCipher::encrypt(std::span<const std::uint8_t> data) {
    const std::size_t n = data.size();
    EVP_CIPHER_CTX_reset(m_context);
    if (!m_context || EVP_EncryptInit_ex(m_context, EVP_aes_256_cbc(), nullptr, m_key.data(), m_iv.data()) != 1)
        return crypto_error(-1, "Failed to initialize encrypt function");

    CipherOutput out;
    out.buffer.assign(n + kBlockSize, 0);
    int written = 0;
    if (n > static_cast<std::size_t>(INT_MAX) - kBlockSize ||
        EVP_EncryptUpdate(m_context, out.buffer.data(), &written, data.data(), static_cast<int>(n)) != 1)
        return crypto_error(-1, "Failed to encrypt data");
    int last = 0;
    if (EVP_EncryptFinal_ex(m_context, out.buffer.data() + written, &last) != 1)
        return crypto_error(-1, "Failed to encrypt data finally");
    out.length = static_cast<std::size_t>(written) + static_cast<std::size_t>(last);
    return out;
}

Core::Result<CipherOutput> OpenSSLSymmetricCipher::decrypt(std::span<const std::uint8_t> data) {
    const std::size_t n = data.size();
    EVP_CIPHER_CTX_reset(m_context);
    if (!m_context || EVP_DecryptInit_ex(m_context, EVP_aes_256_cbc(), nullptr, m_key.data(), m_iv.data()) != 1)
        return crypto_error(-1, "Failed to initialize decrypt function");

    // OpenSSL asks for a block more room than the plain text can take; the buffer handed back is
    // cut to n + 1 bytes, which always holds the plain text and its zero byte.
    CipherOutput out;
    out.buffer.assign(n + kBlockSize, 0);
    int written = 0;
    if (n > static_cast<std::size_t>(INT_MAX) - kBlockSize ||
        EVP_DecryptUpdate(m_context, out.buffer.data(), &written, data.data(), static_cast<int>(n)) != 1) {
        OPENSSL_cleanse(out.buffer.data(), out.buffer.size());
        return crypto_error(-1, "Failed to decrypt data");
    }
    int last = 0;
    if (EVP_DecryptFinal_ex(m_context, out.buffer.data() + written, &last) != 1) {
        OPENSSL_cleanse(out.buffer.data(), out.buffer.size());
        return crypto_error(-1, "Failed to decrypt data finally");
    }
    out.length = static_cast<std::size_t>(written) + static_cast<std::size_t>(last);
    out.buffer[out.length] = 0;
    out.buffer.resize(n + 1);
    return out;
}

OMBRIX_DEFINE_TYPE(OpenSSLSymmetricCipher, "OmbrixSolvaneSupportsCryptoOpenSSLSymmetricCipher");

// ---------------------------------------------------------------------------------------------
// OpenSSLAsymmetricCipher

OpenSSLAsymmetricCipher::~OpenSSLAsymmetricCipher() {
    EVP_PKEY_free(m_key);
    BN_free(m_exponent);
}

void OpenSSLAsymmetricCipher::replace_key(EVP_PKEY* key) {
    EVP_PKEY_free(m_key);
    m_key = key;
}

Core::Status OpenSSLAsymmetricCipher::initialize() {
    BN_free(m_exponent);
    m_exponent = BN_new();
    if (!m_exponent) return rsa_error(-1, "Failed to set bignum word.");
    if (const int rc = BN_set_word(m_exponent, kPublicExponent); rc != 1) return rsa_error(rc, "Failed to set bignum word.");

    PkeyContext context(EVP_PKEY_CTX_new_id(EVP_PKEY_RSA, nullptr));
    if (!context) return rsa_error(-1, "Failed to generate RSA key.");
    int rc = EVP_PKEY_keygen_init(context.get());
    if (rc == 1) rc = EVP_PKEY_CTX_set_rsa_keygen_bits(context.get(), kKeyBits);
    if (rc == 1) rc = EVP_PKEY_CTX_set1_rsa_keygen_pubexp(context.get(), m_exponent);
    EVP_PKEY* key = nullptr;
    if (rc == 1) rc = (g_keygen ? g_keygen : EVP_PKEY_keygen)(context.get(), &key);
    if (rc != 1) return rsa_error(rc, "Failed to generate RSA key.");
    // A generation that succeeded must have made an RSA key to hold.
    if (!key || EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA) {
        EVP_PKEY_free(key);
        return rsa_error(-1, "Failed to set RSA engine to public key.");
    }
    replace_key(key);
    return {};
}

void OpenSSLAsymmetricCipher::set_keygen(Keygen keygen) { g_keygen = keygen; }

Core::Result<std::vector<std::uint8_t>> OpenSSLAsymmetricCipher::sign(std::span<const std::uint8_t>) const {
    return rsa_error(-1, "signing is not supported");
}

Core::Status OpenSSLAsymmetricCipher::load_public_key(std::string_view public_key_file) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(public_key_file, rsa_error(-1, "Failed to load public key."));
    File file = open_for_reading(public_key_file);
    replace_key(file ? PEM_read_PUBKEY(file.get(), nullptr, no_pass_phrase, nullptr) : nullptr);
    if (!m_key) return rsa_error(-1, "Failed to load public key.");
    print_public();
    return {};
}

Core::Status OpenSSLAsymmetricCipher::load_private_key(std::string_view private_key_file) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(private_key_file, rsa_error(-1, "Failed to load private key."));
    File file = open_for_reading(private_key_file);
    replace_key(file ? PEM_read_PrivateKey(file.get(), nullptr, no_pass_phrase, nullptr) : nullptr);
    if (!m_key) return rsa_error(-1, "Failed to load private key.");
    return {};
}

PemKeyPair OpenSSLAsymmetricCipher::save_key() const {
    PemKeyPair pair;
    pair.public_key = pem_text([this](BIO* bio) { if (m_key) PEM_write_bio_PUBKEY(bio, m_key); });
    pair.private_key = pem_text([this](BIO* bio) {
        if (has_private_key(m_key)) PEM_write_bio_PrivateKey(bio, m_key, nullptr, nullptr, 0, nullptr, nullptr);
    });
    return pair;
}

Core::Status OpenSSLAsymmetricCipher::save_key_file(std::string_view public_key, std::string_view private_key) {
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(public_key, rsa_error(-1, "Failed to write public key."));
    OMBRIX_RETURN_VAL_IF_NULL_VIEW(private_key, rsa_error(-1, "Failed to write private key."));

    // Without a private key no file is touched.
    if (!has_private_key(m_key)) return rsa_error(-1, "Failed to write private key.");
    // Each file is written beside itself and renamed over the old one: a crash midway keeps the
    // old key whole, and the private key never exists readable by others, not even for a moment.
    const auto pem = save_key();
    // The PEM texts without the terminating NUL that save_key adds.
    const auto text = [](const std::vector<std::uint8_t>& bytes) {
        return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.empty() ? 0 : bytes.size() - 1);
    };
    if (text(pem.private_key).empty() || !Core::replace_file(std::string(private_key), text(pem.private_key), 0600))
        return rsa_error(-1, "Failed to write private key.");
    if (text(pem.public_key).empty() || !Core::replace_file(std::string(public_key), text(pem.public_key), 0644))
        return rsa_error(-1, "Failed to write public key.");
    return {};
}

Core::Result<CipherOutput> OpenSSLAsymmetricCipher::encrypt(std::span<const std::uint8_t> data) {
    PkeyContext context(m_key ? EVP_PKEY_CTX_new(m_key, nullptr) : nullptr);
    if (!context) return rsa_error(-1, "Failed to create public key context.");
    if (const int rc = EVP_PKEY_encrypt_init(context.get()); rc != 1)
        return rsa_error(rc, "Failed to call encrypt_init method.");
    if (const int rc = EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_OAEP_PADDING); rc < 1)
        return rsa_error(rc, "Failed to set encrypt parameter: PKCS1_OAEP_PADDING.");
    std::size_t size = 0;
    if (const int rc = EVP_PKEY_encrypt(context.get(), nullptr, &size, data.data(), data.size()); rc != 1)
        return rsa_error(rc, "Failed to get cipher data length.");
    CipherOutput out;
    out.buffer.assign(size, 0);
    out.length = size;
    if (const int rc = EVP_PKEY_encrypt(context.get(), out.buffer.data(), &out.length, data.data(), data.size()); rc != 1)
        return rsa_error(rc, "Failed to encrypt data.");
    return out;
}

Core::Result<CipherOutput> OpenSSLAsymmetricCipher::decrypt(std::span<const std::uint8_t> data) {
    PkeyContext context(m_key ? EVP_PKEY_CTX_new(m_key, nullptr) : nullptr);
    if (!context) return rsa_error(-1, "Failed to create public key context.");
    if (const int rc = EVP_PKEY_decrypt_init(context.get()); rc != 1)
        return rsa_error(rc, "Failed to call decrypt_init method.");
    if (const int rc = EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_OAEP_PADDING); rc < 1)
        return rsa_error(rc, "Failed to set decrypt parameter: PKCS1_OAEP_PADDING.");
    std::size_t size = 0;
    if (const int rc = EVP_PKEY_decrypt(context.get(), nullptr, &size, data.data(), data.size()); rc != 1)
        return rsa_error(rc, "Failed to get plain data length.");
    CipherOutput out;
    out.buffer.assign(size, 0);
    out.length = size;
    if (const int rc = EVP_PKEY_decrypt(context.get(), out.buffer.data(), &out.length, data.data(), data.size());
        rc != 1) {
        OPENSSL_cleanse(out.buffer.data(), out.buffer.size());
        return rsa_error(rc, "Failed to decrypt data.");
    }
    return out;
}

void OpenSSLAsymmetricCipher::print_public() const {
    if (!m_key) return;
    std::fflush(stdout);
    PEM_write_PUBKEY(stdout, m_key);
    std::fflush(stdout);
}

void OpenSSLAsymmetricCipher::print_private() const {
    if (!has_private_key(m_key)) return;
    std::fflush(stdout);
    PEM_write_PrivateKey(stdout, m_key, nullptr, nullptr, 0, nullptr, nullptr);
    std::fflush(stdout);
}

OMBRIX_DEFINE_TYPE(OpenSSLAsymmetricCipher, "OmbrixSolvaneSupportsCryptoOpenSSLAsymmetricCipher");

}  // namespace Ombrix::Solvane::Supports::Crypto
