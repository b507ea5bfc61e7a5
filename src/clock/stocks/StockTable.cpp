#include "clock/stocks/StockTable.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// Opens the default connection on path. create: the file's folder and the table are made when
// missing (SQLite makes the file itself).
bool openDatabase(const QString& path, bool create)
{
    QSqlDatabase db = QSqlDatabase::contains(QSqlDatabase::defaultConnection)
                          ? QSqlDatabase::database(QSqlDatabase::defaultConnection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    if (db.isOpen() && db.databaseName() == path)
        return true;
    db.close();
    if (create)
        QDir().mkpath(QFileInfo(path).absolutePath());
    else if (!QFileInfo::exists(path)) {
        // SQLite would make an empty file: reading never creates one.
        qWarning().noquote() << "无法打开数据库: " << path;
        return false;
    }
    db.setDatabaseName(path);
    if (!db.open()) {
        qWarning().noquote() << "无法打开数据库: " << db.lastError().text();
        return false;
    }
    if (create) {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS stocks (code TEXT, name TEXT)"))) {
            qWarning().noquote() << "查询失败: " << query.lastError().text();
            return false;
        }
    }
    return true;
}

} // namespace

bool StockTable::loadStockTable(const QString& path)
{
    if (!openDatabase(path, false))
        return false;
    QSqlQuery query(QSqlDatabase::database());
    if (!query.exec(QStringLiteral("SELECT code, name FROM stocks"))) {
        qWarning().noquote() << "查询失败: " << query.lastError().text();
        return false;
    }
    QMap<QString, QString> rows;
    while (query.next())
        rows.insert(query.value(0).toString(), query.value(1).toString());
    m_stocks = rows;
    return true;
}

bool StockTable::addStock(const QString& code, const QString& name, const QString& path)
{
    if (!openDatabase(path, true))
        return false;
    QSqlQuery query(QSqlDatabase::database());
    query.prepare(QStringLiteral("SELECT code FROM stocks WHERE code = ?"));
    query.addBindValue(code);
    if (!query.exec()) {
        qWarning().noquote() << "查询失败: " << query.lastError().text();
        return false;
    }
    if (query.next())
        return true;
    QSqlQuery insert(QSqlDatabase::database());
    insert.prepare(QStringLiteral("INSERT INTO stocks (code, name) VALUES (?, ?)"));
    insert.addBindValue(code);
    insert.addBindValue(name);
    if (!insert.exec()) {
        qWarning().noquote() << "查询失败: " << insert.lastError().text();
        return false;
    }
    return true;
}

QString StockTable::lookupStockName(const QString& code) const
{
    return m_stocks.value(code);
}

void StockTable::insert(const QString& code, const QString& name)
{
    m_stocks.insert(code, name);
}
