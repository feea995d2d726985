#include "core/sha256.h"

#include <openssl/evp.h>

#include <new>

namespace pagorra {

void Sha256::Free::operator()(evp_md_ctx_st *context) const
{
    EVP_MD_CTX_free(context);
}

Sha256::Sha256() : m_context(EVP_MD_CTX_new())
{
    if (!m_context || EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr) != 1)
        throw std::bad_alloc();
}

Sha256::~Sha256() = default;

void Sha256::add(const char *bytes, std::int64_t count)
{
    EVP_DigestUpdate(m_context.get(), bytes, std::size_t(count));
}

QByteArray Sha256::result()
{
    if (m_result.isEmpty()) {
        m_result.resize(EVP_MAX_MD_SIZE);
        unsigned int length = 0;
        EVP_DigestFinal_ex(m_context.get(), reinterpret_cast<unsigned char *>(m_result.data()), &length);
        m_result.truncate(qsizetype(length));
    }
    return m_result;
}

} // namespace pagorra
