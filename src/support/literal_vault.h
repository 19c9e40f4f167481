#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quensary {

// Reveals one sealed literal of the program: strict standard Base64 of the AES-ECB
// (PKCS#7) ciphertext of its UTF-8 text under the key joined from KeyPieces.
// Returns the empty text on every failure; nothing is cached.
std::string RevealText(std::string_view stored);

// The forward direction, used by the build's literal sealer and by tests.
std::string SealText(std::string_view plain);

// The same two operations with other key pieces, so tests can check what a wrong key does.
std::string RevealTextWithKeyPieces(std::string_view stored,
                                    std::span<const std::string_view> pieces);
std::string SealTextWithKeyPieces(std::string_view plain, std::span<const std::string_view> pieces);

// Strict standard Base64: the alphabet with '+' and '/', '=' padding to a multiple of four,
// no white space or line breaks anywhere. Absent on any deviation.
std::optional<std::vector<unsigned char>> DecodeBase64Strict(std::string_view text);

}  // namespace quensary
