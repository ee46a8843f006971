#include "securekey.h"

#include <sodium.h>

#include <cstring>
#include <new>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace orv {

namespace {

// A crash while a key is in memory must not leave it in a core file; sodium_malloc already keeps
// its pages out of dumps, but copies the engine makes of the key are ordinary memory. Switched off
// for the rest of the run: turning it back on would need a count of the keys alive.
void forbidCoreDumps() noexcept
{
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
}

} // namespace

void SecureWiper::operator()(unsigned char *bytes) const noexcept
{
    sodium_memzero(bytes, size);
    sodium_free(bytes);
}

SecureBytes::SecureBytes(std::size_t size)
{
    if (size == 0)
        return;
    if (sodium_init() < 0)
        throw std::bad_alloc();
    forbidCoreDumps();
    // Locked out of swap, fenced by guard pages and left out of core dumps; a lock limit too low
    // for it costs only the swap guard.
    auto *bytes = static_cast<unsigned char *>(sodium_malloc(size));
    if (!bytes)
        throw std::bad_alloc();
    sodium_memzero(bytes, size);
    m_data = std::unique_ptr<unsigned char, SecureWiper>(bytes, SecureWiper{size});
    m_size = size;
}

SecureBytes::~SecureBytes() = default;

SecureBytes::SecureBytes(SecureBytes &&other) noexcept : m_data(std::move(other.m_data)), m_size(other.m_size)
{
    other.m_size = 0;
}

SecureBytes &SecureBytes::operator=(SecureBytes &&other) noexcept
{
    if (this != &other) {
        m_data = std::move(other.m_data);
        m_size = other.m_size;
        other.m_size = 0;
    }
    return *this;
}

bool SecureBytes::equals(const SecureBytes &other) const noexcept
{
    if (m_size != other.m_size)
        return false;
    return m_size == 0 || sodium_memcmp(data(), other.data(), m_size) == 0;
}

SecureKey SecureKey::random()
{
    SecureKey key = zeroed();
    randombytes_buf(key.data(), size);
    return key;
}

SecureKey SecureKey::zeroed()
{
    SecureKey key;
    key.m_bytes = SecureBytes(size);
    return key;
}

SecureKey SecureKey::copy() const
{
    if (isNull())
        return {};
    SecureKey same = zeroed();
    std::memcpy(same.data(), data(), size);
    return same;
}

SecureBytes SecureKey::engineText() const
{
    // x' + two digits a byte + ' : sodium_bin2hex's closing zero lands where the last quote goes.
    constexpr std::size_t digits = 2 * size;
    SecureBytes text(digits + 3);
    unsigned char *out = text.data();
    out[0] = 'x';
    out[1] = '\'';
    sodium_bin2hex(reinterpret_cast<char *>(out + 2), digits + 1, data(), size);
    out[digits + 2] = '\'';
    return text;
}

} // namespace orv
