#pragma once

#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace corvane {

// One prepared statement, finalised when it goes out of scope.
class SqliteStatement {
public:
    SqliteStatement(sqlite3 *connection, const QString &sql);
    ~SqliteStatement();

    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    bool isValid() const { return statement_ != nullptr; }
    // Binds a value to the 1-based parameter: null, integer, real, text or bytes.
    bool bind(int index, const QVariant &value);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    void reset();
    int columnCount() const;
    QVariant column(int index) const;

private:
    sqlite3_stmt *statement_ = nullptr;
};

QString sqliteErrorText(sqlite3 *connection);
// Runs statements that return no rows; false with the error text on failure.
bool sqliteExecute(sqlite3 *connection, const QString &sql, QString *error = nullptr);

} // namespace corvane
