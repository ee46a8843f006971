#pragma once

#include "backend.h"
#include "statement.h"

#include <QString>

#include <cstdint>

namespace orv {

class Connection;

// One statement on the connection's store, its values bound as parameters: on a file a prepared
// statement of the engine, on a server the same text sent with its values. Texts are written for
// the file with ?1, ?2, ...; where the server's dialect differs the caller passes the server's text,
// in which ?N means the same parameter.
class StoreQuery final {
public:
    enum class Keep {
        Kept, // units run it every time: kept prepared between uses
        Once, // prepared for this use alone
        // Kept, after the kept statements are dropped if the file's schema changed meanwhile.
        KeptChecked,
        // The same; and on a file made before our own tables a statement naming one reads as no rows.
        KeptMayLack,
    };
    StoreQuery(Connection &connection, const QString &text, QString what, Keep keep = Keep::Kept);
    StoreQuery(StoreQuery &&) noexcept = default;
    StoreQuery(const StoreQuery &) = delete;
    StoreQuery &operator=(const StoreQuery &) = delete;
    StoreQuery &operator=(StoreQuery &&) = delete;
    ~StoreQuery();

    StoreQuery &bind(int index, const QString &value);
    StoreQuery &bind(int index, std::int64_t value);
    // A single widens to a double exactly, so it reads back as the same single.
    StoreQuery &bind(int index, float value);
    StoreQuery &bind(int index, double value);
    StoreQuery &bindNull(int index);

    // Whether it stepped to a row; a failure raises StoreError with the statement's `what`.
    bool next();
    // Runs a statement that returns no rows; a failure raises StoreError with `what`, or with the
    // statement's when that is empty.
    void run(const QString &what = QString());
    // The rows the last run changed.
    std::int64_t changes() const;

    int columnCount() const;
    bool isNull(int column) const;
    std::int64_t integer(int column) const;
    double real(int column) const;
    // A null reads as a null string.
    QString text(int column) const;

private:
    Connection &m_connection;
    QString m_what;
    Statement m_file; // on a file
    // On a server: the text with $N, the values, and the rows once run.
    store::Backend *m_backend = nullptr;
    QString m_serverText;
    store::TextParameters m_parameters;
    store::StatementRows m_rows;
    bool m_ran = false;
    int m_row = -1;

    void put(int index, std::optional<QByteArray> value);
    void runOnServer(const QString &what);
    const std::optional<QByteArray> &cell(int column) const;
};

} // namespace orv
