// Password hashes for signing in: Argon2id strings (libsodium's crypto_pwhash_str), so the
// salt and the cost travel with the hash and a later, costlier setting still verifies old ones.
#ifndef KORVANE_WEB_PASSWORDS_H_
#define KORVANE_WEB_PASSWORDS_H_

#include <optional>
#include <string>
#include <string_view>

namespace korvane::web {

// The hash of `password`; nullopt when libsodium cannot start or runs out of memory.
std::optional<std::string> HashPassword(std::string_view password);
// Whether `password` is the one `hash` was made from; false for a hash that is no Argon2id
// string.
bool VerifyPassword(std::string_view hash, std::string_view password);

}  // namespace korvane::web

#endif  // KORVANE_WEB_PASSWORDS_H_
