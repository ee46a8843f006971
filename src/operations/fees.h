#pragma once

#include "data/fieldvalue.h"
#include "operations/outcome.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace orv {
class Connection;
class Recordset;
namespace store {
class ListPages;
}
} // namespace orv

namespace orv::ops {

// The fee standard as typed: water and electricity prices, monthly rent per person.
struct StandardForm {
    float water = 0;
    float power = 0;
    int rent = 0;
};

// The stored standard as its columns hold it; each value is taken as a price only where a rule
// needs it, so a column of another width fails there and nowhere sooner.
struct StoredStandard {
    FieldValue water;
    FieldValue power;
    FieldValue rent;
};

// The first row of the standard; none while no standard has been set.
std::optional<StoredStandard> storedStandard(Connection &connection);
// The typed standard's range checks, in order; done when it may be stored.
Outcome checkStandard(const StandardForm &form);
// What the user confirms before the standard is stored, in order: two questions on first use, one
// showing the stored and the new values on a change.
QStringList standardQuestions(const std::optional<StoredStandard> &stored, const StandardForm &form);
// Stores the standard as the table's one row, replacing a stored one.
Outcome setStandard(Connection &connection, const StandardForm &form);

// A room's meter readings on a day.
// The highest meter reading the forms and a spreadsheet's rows take.
constexpr int kReadingMax = 9999999;

struct ReadingForm {
    QDate date;
    QString room;
    int water = 0;
    int power = 0;
};

// The bill a utility settlement stored, as the fee list shows it.
struct UtilityBill {
    QString room;
    QString date;
    float water = 0;
    float power = 0;
    float total = 0;
};

// Records the readings, moves the room's base readings up to them and bills the consumption.
Outcome settleUtility(Connection &connection, const ReadingForm &form);
// The same, handing the stored bill to `billed` before it returns.
Outcome settleUtility(Connection &connection, const ReadingForm &form,
                      const std::function<void(const UtilityBill &)> &billed);

struct RentForm {
    QDate date;
    QString staffNo;
};

// A rent settlement as the rent list shows it; name and room as the resident's row holds them.
struct RentCharge {
    FieldValue name;
    QString staffNo;
    FieldValue room;
    std::int32_t rent = 0;
    QString date;
    QString paidUpTo;
};

// Charges the whole months since the check-in or the date paid up to, and moves that date on.
Outcome settleRent(Connection &connection, const RentForm &form);
// The same, handing the charge to `charged` before it returns.
Outcome settleRent(Connection &connection, const RentForm &form,
                   const std::function<void(const RentCharge &)> &charged);

// Hands each listed record to the caller, on the row it stands on, in the table's order.
using RecordSink = std::function<void(const Recordset &)>;

// Every stored utility bill.
void listFees(Connection &connection, const RecordSink &each);
// Every rent charge of the residents living here, with the date each is paid up to now. `found`
// runs once the rows are there, before the first of them.
void listRent(Connection &connection, const std::function<void()> &found, const RecordSink &each);
// The same two lists opened for reading on demand, in the same order (see store::ListPages).
std::unique_ptr<store::ListPages> feePages(Connection &connection);
std::unique_ptr<store::ListPages> rentPages(Connection &connection);

} // namespace orv::ops
