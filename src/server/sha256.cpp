#include "server/sha256.hpp"

#include <cstdio>

namespace skiff::server {

Sha256::Sha256() : m_context(EVP_MD_CTX_new()) {
    EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr);
}

Sha256::Sha256(const Sha256& other) : m_context(EVP_MD_CTX_new()) {
    EVP_MD_CTX_copy_ex(m_context.get(), other.m_context.get());
}

Sha256& Sha256::operator=(const Sha256& other) {
    if (this != &other) EVP_MD_CTX_copy_ex(m_context.get(), other.m_context.get());
    return *this;
}

void Sha256::update(std::string_view bytes) {
    EVP_DigestUpdate(m_context.get(), bytes.data(), bytes.size());
}

std::string Sha256::hexDigest() const {
    Sha256 copy(*this);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(copy.m_context.get(), digest, &length);
    std::string hex(length * 2, '0');
    static constexpr char digits[] = "0123456789abcdef";
    for (unsigned int i = 0; i < length; ++i) {
        hex[2 * i] = digits[digest[i] >> 4];
        hex[2 * i + 1] = digits[digest[i] & 15];
    }
    return hex;
}

std::string sha256Hex(std::string_view bytes) {
    Sha256 hasher;
    hasher.update(bytes);
    return hasher.hexDigest();
}

}  // namespace skiff::server
