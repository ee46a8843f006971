#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>

namespace orv {

// Codes for faults the record store finds itself; engine faults carry SQLite's own result code.
namespace StoreCode {
constexpr std::uint32_t InvalidPointer = 0x80004003;  // no connection or no recordset behind a handle
constexpr std::uint32_t InvalidArgument = 0x80070057; // values that cannot be compared
constexpr std::uint32_t TypeMismatch = 0x80020005;    // a value of the wrong kind for a column or a read
constexpr std::uint32_t Overflow = 0x8002000A;        // a number too large for its column
constexpr std::uint32_t NoCurrentRecord = 0x800A0BCD; // BOF, EOF or a deleted row
constexpr std::uint32_t ItemNotFound = 0x800A0CC1;    // a column the row set does not have
constexpr std::uint32_t ClosedObject = 0x800A0E78;    // operation on a closed recordset
constexpr std::uint32_t OpenObject = 0x800A0E79;      // Open on an open recordset
constexpr std::uint32_t PendingChanges = 0x800A0CB3;  // Close with written, unstored values
constexpr std::uint32_t ReadOnly = 0x800A0CB4;        // writes on a row set that is not one table
} // namespace StoreCode

// The one error every failing record-store operation raises.
class StoreError final : public std::runtime_error {
public:
    StoreError(std::uint32_t code, const QString &message);

    std::uint32_t code() const noexcept { return m_code; }
    // Says in plain words what went wrong; never contains the database key.
    const QString &message() const noexcept { return m_message; }

private:
    std::uint32_t m_code;
    QString m_message;
};

} // namespace orv
