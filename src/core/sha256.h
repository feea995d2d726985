#pragma once

#include <QByteArray>
#include <cstdint>
#include <memory>

struct evp_md_ctx_st;

namespace pagorra {

// SHA-256 through the system's crypto library, which uses the processor's SHA instructions
// where it has them: hashing every photo a run reads then costs a few per cent of decoding
// it, where Qt's own implementation costs a third.
class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void add(const char *bytes, std::int64_t count);
    // The digest (32 bytes) of everything added; nothing may be added after it.
    QByteArray result();

  private:
    struct Free {
        void operator()(evp_md_ctx_st *context) const;
    };
    std::unique_ptr<evp_md_ctx_st, Free> m_context;
    QByteArray m_result;
};

} // namespace pagorra
