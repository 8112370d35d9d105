// SHA-256 by Nettle (GNU's cryptographic library, Debian's nettle-dev), the
// digest hex-encoded.
#include "checksum.h"

#include <nettle/sha2.h>

#include <cstdint>

namespace hxrate::tools {

std::string sha256Hex(std::string_view bytes) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, SHA256_DIGEST_SIZE, digest);
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * SHA256_DIGEST_SIZE);
    for (std::uint8_t b : digest) {
        hex += digits[b >> 4];
        hex += digits[b & 0xf];
    }
    return hex;
}

}  // namespace hxrate::tools
