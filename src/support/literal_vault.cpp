#include "support/literal_vault.h"

#include <glib.h>
#include <openssl/evp.h>

#include <memory>

#include "support/key_pieces.h"

namespace quensary {
namespace {

struct CipherContextFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

constexpr int kBlockSize = 16;

std::string JoinKey(std::span<const std::string_view> pieces) {
  std::string key;
  for (std::string_view piece : pieces)
    key += piece;
  return key;
}

const EVP_CIPHER* CipherForKeyLength(size_t length) {
  switch (length) {
    case 16:
      return EVP_aes_128_ecb();
    case 24:
      return EVP_aes_192_ecb();
    case 32:
      return EVP_aes_256_ecb();
    default:
      return nullptr;
  }
}

bool IsBase64Alphabet(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

// Runs AES-ECB with PKCS#7 padding in one direction. Absent when the key has no AES length,
// or (when decrypting) the input is not whole blocks or the padding is malformed.
std::optional<std::string> RunCipher(std::span<const std::string_view> pieces,
                                     const unsigned char* input, size_t length, bool encrypt) {
  const std::string key = JoinKey(pieces);
  const EVP_CIPHER* cipher = CipherForKeyLength(key.size());
  if (cipher == nullptr)
    return std::nullopt;
  if (!encrypt && (length == 0 || length % kBlockSize != 0))
    return std::nullopt;

  CipherContext ctx(EVP_CIPHER_CTX_new());
  if (!ctx)
    return std::nullopt;
  const auto* key_bytes = reinterpret_cast<const unsigned char*>(key.data());
  if (EVP_CipherInit_ex(ctx.get(), cipher, nullptr, key_bytes, nullptr, encrypt ? 1 : 0) != 1) {
    return std::nullopt;
  }
  std::string output(length + kBlockSize, '\0');
  auto* out = reinterpret_cast<unsigned char*>(output.data());
  int written = 0;
  int final_written = 0;
  if (EVP_CipherUpdate(ctx.get(), out, &written, input, static_cast<int>(length)) != 1 ||
      EVP_CipherFinal_ex(ctx.get(), out + written, &final_written) != 1) {
    return std::nullopt;
  }
  output.resize(static_cast<size_t>(written + final_written));
  return output;
}

}  // namespace

std::optional<std::vector<unsigned char>> DecodeBase64Strict(std::string_view text) {
  if (text.size() % 4 != 0)
    return std::nullopt;
  size_t padding = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '=') {
      // Padding may only close the text, at most two characters of it.
      if (i + 2 < text.size())
        return std::nullopt;
      ++padding;
    } else if (padding > 0 || !IsBase64Alphabet(c)) {
      return std::nullopt;
    }
  }
  std::vector<unsigned char> bytes(text.size() / 4 * 3);
  if (text.empty())
    return bytes;
  // EVP_DecodeBlock would skip surrounding white space; the checks above already refused it.
  const int decoded =
      EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                      static_cast<int>(text.size()));
  if (decoded < 0)
    return std::nullopt;
  bytes.resize(static_cast<size_t>(decoded) - padding);
  return bytes;
}

std::string RevealText(std::string_view stored) {
  return RevealTextWithKeyPieces(stored, KeyPieces);
}

std::string SealText(std::string_view plain) {
  return SealTextWithKeyPieces(plain, KeyPieces);
}

std::string RevealTextWithKeyPieces(std::string_view stored,
                                    std::span<const std::string_view> pieces) {
  const auto cipher_text = DecodeBase64Strict(stored);
  if (!cipher_text)
    return {};
  auto plain = RunCipher(pieces, cipher_text->data(), cipher_text->size(), false);
  if (!plain || !g_utf8_validate(plain->data(), static_cast<gssize>(plain->size()), nullptr)) {
    return {};
  }
  return std::move(*plain);
}

std::string SealTextWithKeyPieces(std::string_view plain,
                                  std::span<const std::string_view> pieces) {
  const auto cipher_text =
      RunCipher(pieces, reinterpret_cast<const unsigned char*>(plain.data()), plain.size(), true);
  if (!cipher_text)
    return {};
  std::string encoded(4 * ((cipher_text->size() + 2) / 3) + 1, '\0');
  const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                                     reinterpret_cast<const unsigned char*>(cipher_text->data()),
                                     static_cast<int>(cipher_text->size()));
  encoded.resize(static_cast<size_t>(length));
  return encoded;
}

}  // namespace quensary
