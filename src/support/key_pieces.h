#pragma once

#include <array>
#include <string_view>

namespace quensary {

// The literal key is never stored whole: it is joined from these pieces at every use.
// Joined, they give 32 bytes, so the literals are sealed with AES-256.
inline constexpr std::array<std::string_view, 8> KeyPieces = {
    "r8Tq", "Vn2e", "Lw5K", "zc9H", "Pa3j", "Ux7M", "gd4S", "Yb6f",
};

}  // namespace quensary
