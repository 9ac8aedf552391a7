#pragma once

#include <openssl/evp.h>

#include <memory>
#include <string>
#include <string_view>

namespace skiff::server {

// An incremental SHA-256 whose running state can be finished on a copy.
class Sha256 {
  public:
    Sha256();
    Sha256(const Sha256& other);
    Sha256& operator=(const Sha256& other);
    Sha256(Sha256&&) noexcept = default;
    Sha256& operator=(Sha256&&) noexcept = default;

    void update(std::string_view bytes);
    // 64 lower-case hex digits of everything fed so far; the state itself is not consumed.
    std::string hexDigest() const;

  private:
    struct Free {
        void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    };
    std::unique_ptr<EVP_MD_CTX, Free> m_context;
};

std::string sha256Hex(std::string_view bytes);

}  // namespace skiff::server
