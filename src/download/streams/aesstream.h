#pragma once
#include <QByteArray>
#include <memory>

struct AVAES;

// HLS pieces encrypted with AES-128 in CBC mode, opened with libavutil's
// AES (so no other crypto library). AesStream undoes it as the bytes
// arrive, so an encrypted piece never has to be held whole: each call
// gives back the whole blocks it can, holding back the last one, whose
// PKCS#7 padding finish() takes off.
namespace vidrona::download::streams {

class AesStream
{
public:
    // false from ok() when key or iv are not 16 bytes.
    AesStream(const QByteArray &key, const QByteArray &iv);
    ~AesStream();
    bool ok() const { return m_aes != nullptr; }

    // The plain bytes that can be given out so far (possibly none).
    QByteArray feed(const char *data, qsizetype length);
    // The last plain bytes; false when the data was not whole blocks or the
    // padding is wrong (another key).
    bool finish(QByteArray *out);

private:
    QByteArray decrypt(qsizetype length);
    std::unique_ptr<AVAES, void (*)(void *)> m_aes;
    QByteArray m_chain;   // the IV, moved along block by block
    QByteArray m_pending; // bytes not given out yet: at most one block plus a part
};

// data decrypted with AES-128 in CBC mode and its PKCS#7 padding taken
// off; empty with *ok false when key or iv are not 16 bytes, data is not
// whole blocks, or the padding is wrong (the key is not this piece's).
QByteArray decryptAes128(const QByteArray &data, const QByteArray &key, const QByteArray &iv, bool *ok);

} // namespace vidrona::download::streams
