#include "corvane/catalogue/SqliteStatement.h"

#include <QByteArray>

#include <sqlite3.h>

namespace corvane {

SqliteStatement::SqliteStatement(sqlite3 *connection, const QString &sql)
{
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(connection, text.constData(), int(text.size()), &statement_, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
    }
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(statement_);
}

bool SqliteStatement::bind(int index, const QVariant &value)
{
    int result = SQLITE_OK;
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        result = sqlite3_bind_null(statement_, index);
        break;
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        result = sqlite3_bind_int64(statement_, index, value.toLongLong());
        break;
    case QMetaType::Double:
        result = sqlite3_bind_double(statement_, index, value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        result = sqlite3_bind_blob64(statement_, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                                     SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        result = sqlite3_bind_text64(statement_, index, text.constData(), sqlite3_uint64(text.size()),
                                     SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
    }
    }
    return result == SQLITE_OK;
}

int SqliteStatement::step()
{
    return sqlite3_step(statement_);
}

void SqliteStatement::reset()
{
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

int SqliteStatement::columnCount() const
{
    return sqlite3_column_count(statement_);
}

QVariant SqliteStatement::column(int index) const
{
    switch (sqlite3_column_type(statement_, index)) {
    case SQLITE_INTEGER:
        return QVariant::fromValue<qint64>(sqlite3_column_int64(statement_, index));
    case SQLITE_FLOAT:
        return sqlite3_column_double(statement_, index);
    case SQLITE_TEXT: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement_, index));
        return QString::fromUtf8(text, sqlite3_column_bytes(statement_, index));
    }
    case SQLITE_BLOB: {
        const auto *bytes = static_cast<const char *>(sqlite3_column_blob(statement_, index));
        return QByteArray(bytes, sqlite3_column_bytes(statement_, index));
    }
    default:
        return {};
    }
}

QString sqliteErrorText(sqlite3 *connection)
{
    return QString::fromUtf8(sqlite3_errmsg(connection));
}

bool sqliteExecute(sqlite3 *connection, const QString &sql, QString *error)
{
    char *message = nullptr;
    const int result = sqlite3_exec(connection, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (result != SQLITE_OK && error) {
        *error = message ? QString::fromUtf8(message) : sqliteErrorText(connection);
    }
    sqlite3_free(message);
    return result == SQLITE_OK;
}

} // namespace corvane
