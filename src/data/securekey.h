#pragma once

#include <cstddef>
#include <memory>

namespace orv {

// Wipes, unlocks and frees what sodium_malloc gave.
struct SecureWiper {
    std::size_t size = 0;
    void operator()(unsigned char *bytes) const noexcept;
};

// Secret bytes (a database key, a key file's secret, the key's text for the engine) in memory that
// is locked out of swap, left out of core dumps and wiped when it ends. While one exists the process
// writes no core dump at all. Move-only; a moved-from holder is empty.
class SecureBytes final {
public:
    SecureBytes() noexcept = default;
    // Zero-filled; raises std::bad_alloc when the memory cannot be had.
    explicit SecureBytes(std::size_t size);
    ~SecureBytes();
    SecureBytes(SecureBytes &&other) noexcept;
    SecureBytes &operator=(SecureBytes &&other) noexcept;
    SecureBytes(const SecureBytes &) = delete;
    SecureBytes &operator=(const SecureBytes &) = delete;

    unsigned char *data() noexcept { return m_data.get(); }
    const unsigned char *data() const noexcept { return m_data.get(); }
    std::size_t size() const noexcept { return m_size; }
    bool isEmpty() const noexcept { return m_size == 0; }
    // Compared in constant time; holders of different sizes differ.
    bool equals(const SecureBytes &other) const noexcept;

private:
    std::unique_ptr<unsigned char, SecureWiper> m_data;
    std::size_t m_size = 0;
};

// A database's key: 256 random bits, the engine's raw key rather than a password.
class SecureKey final {
public:
    static constexpr std::size_t size = 32;

    SecureKey() noexcept = default;
    // A new key from the system's random source.
    static SecureKey random();
    // A key with every byte zero, to be filled in place (read from a file, unsealed).
    static SecureKey zeroed();
    // Another holder of the same key, in memory of its own: for work that outlives the caller's
    // holder or runs on another thread. A null key copies as null.
    SecureKey copy() const;

    unsigned char *data() noexcept { return m_bytes.data(); }
    const unsigned char *data() const noexcept { return m_bytes.data(); }
    bool isNull() const noexcept { return m_bytes.isEmpty(); }
    bool equals(const SecureKey &other) const noexcept { return m_bytes.equals(other.m_bytes); }
    // The text SQLCipher takes for a raw key, x'<64 hex digits>', in locked memory.
    SecureBytes engineText() const;

private:
    SecureBytes m_bytes;
};

} // namespace orv
