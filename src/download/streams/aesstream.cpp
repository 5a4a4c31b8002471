#include "aesstream.h"

extern "C" {
#include <libavutil/aes.h>
#include <libavutil/mem.h>
}

namespace vidrona::download::streams {

namespace {
constexpr int Block = 16;
}

AesStream::AesStream(const QByteArray &key, const QByteArray &iv) : m_aes(nullptr, av_free), m_chain(iv)
{
    if (key.size() != Block || iv.size() != Block)
        return;
    m_aes.reset(av_aes_alloc());
    if (m_aes && av_aes_init(m_aes.get(), reinterpret_cast<const uint8_t *>(key.constData()), 128, 1) < 0)
        m_aes.reset();
}

AesStream::~AesStream() = default;

// Decrypts the first length bytes (whole blocks) of m_pending and drops them.
QByteArray AesStream::decrypt(qsizetype length)
{
    QByteArray out(length, Qt::Uninitialized);
    if (length > 0)
        av_aes_crypt(m_aes.get(), reinterpret_cast<uint8_t *>(out.data()),
                     reinterpret_cast<const uint8_t *>(m_pending.constData()), int(length / Block),
                     reinterpret_cast<uint8_t *>(m_chain.data()), 1);
    m_pending.remove(0, length);
    return out;
}

QByteArray AesStream::feed(const char *data, qsizetype length)
{
    if (!m_aes)
        return {};
    m_pending.append(data, length);
    // The last whole block may be the padded one: it waits for finish().
    const qsizetype rest = m_pending.size() % Block;
    const qsizetype ready = m_pending.size() - (rest == 0 ? Block : rest);
    return ready > 0 ? decrypt(ready) : QByteArray();
}

bool AesStream::finish(QByteArray *out)
{
    out->clear();
    if (!m_aes || m_pending.size() != Block)
        return false;
    QByteArray last = decrypt(Block);
    const int pad = uchar(last.back());
    if (pad < 1 || pad > Block || !last.endsWith(QByteArray(pad, char(pad))))
        return false;
    last.chop(pad);
    *out = last;
    return true;
}

QByteArray decryptAes128(const QByteArray &data, const QByteArray &key, const QByteArray &iv, bool *ok)
{
    *ok = false;
    if (key.size() != 16 || iv.size() != 16 || data.isEmpty() || data.size() % 16 != 0)
        return {};
    std::unique_ptr<AVAES, void (*)(void *)> aes(av_aes_alloc(), av_free);
    if (!aes || av_aes_init(aes.get(), reinterpret_cast<const uint8_t *>(key.constData()), 128, 1) < 0)
        return {};
    QByteArray out(data.size(), Qt::Uninitialized);
    QByteArray chain = iv; // av_aes_crypt moves it along
    av_aes_crypt(aes.get(), reinterpret_cast<uint8_t *>(out.data()), reinterpret_cast<const uint8_t *>(data.constData()),
                 int(data.size() / 16), reinterpret_cast<uint8_t *>(chain.data()), 1);
    const int pad = uchar(out.back());
    if (pad < 1 || pad > 16 || out.endsWith(QByteArray(pad, char(pad))) == false)
        return {};
    out.chop(pad);
    *ok = true;
    return out;
}

} // namespace vidrona::download::streams
