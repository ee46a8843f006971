#pragma once

#include "data/keyslots.h"
#include "data/securekey.h"
#include "operations/signedin.h"

#include <optional>

namespace orv::ops {

// The desk while the program runs: the open file's key slots, the database key they unsealed and
// who signed in. A file kept without operators has none of them. The application owns the one
// desk; windows read it and tell it of a sign-in or a sign-out.
class Desk final {
public:
    // True when the open file has a key file of its own.
    bool hasOperators() const noexcept { return m_slots.has_value(); }
    KeySlots *slots() noexcept { return m_slots ? &*m_slots : nullptr; }
    const SecureKey &key() const noexcept { return m_key; }
    const SignedIn &who() const noexcept { return m_who; }

    void signIn(KeySlots slots, SecureKey key, SignedIn who)
    {
        m_slots = std::move(slots);
        m_key = std::move(key);
        m_who = std::move(who);
    }
    // Forgets who signed in and drops the key; the slots stay, for the next sign-in.
    void signOut()
    {
        m_key = SecureKey();
        m_who = SignedIn();
    }

private:
    std::optional<KeySlots> m_slots;
    SecureKey m_key;
    SignedIn m_who;
};

} // namespace orv::ops
