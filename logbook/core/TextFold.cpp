#include "TextFold.h"

#include <QSqlDriver>
#include <QString>
#include <QVariant>
#include <sqlite3.h>
#include <string>

namespace bravik::logbook {

namespace {

void fold(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = sqlite3_value_text(argv[0]);
    const int size = sqlite3_value_bytes(argv[0]);
    bool ascii = true, upper = false;
    for (int i = 0; i < size; ++i) {
        if (text[i] & 0x80) {
            ascii = false;
            break;
        }
        upper = upper || (text[i] >= 'A' && text[i] <= 'Z');
    }
    if (ascii && !upper) {
        sqlite3_result_value(context, argv[0]);
        return;
    }
    if (ascii) {
        thread_local std::string buffer;
        buffer.assign(reinterpret_cast<const char *>(text), size_t(size));
        for (char &c : buffer)
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        sqlite3_result_text(context, buffer.data(), size, SQLITE_TRANSIENT);
        return;
    }
    const QByteArray folded =
        QString::fromUtf8(reinterpret_cast<const char *>(text), size).toCaseFolded().toUtf8();
    sqlite3_result_text(context, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
}

} // namespace

bool registerTextFold(const QSqlDatabase &db)
{
    if (db.driverName() != QLatin1String("QSQLITE") || !db.driver())
        return false;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3 *connection = *static_cast<sqlite3 *const *>(handle.constData());
    if (!connection)
        return false;
    return sqlite3_create_function(connection, "bravik_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   &fold, nullptr, nullptr) == SQLITE_OK;
}

} // namespace bravik::logbook
