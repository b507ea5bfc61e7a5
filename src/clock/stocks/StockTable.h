#pragma once

// The codes and names the program knows, kept in memory and in the SQLite file "stocks.db"
// (table stocks, text columns code and name). Used on the GUI thread, through Qt's default
// database connection.
//
// When the file or its table is missing, adding a stock creates them, so a code learned once is
// still known after the next start.

#include <QMap>
#include <QString>

class StockTable
{
public:
    // Replaces the table's content with the file's rows (a later duplicate code wins). False, with
    // the table as it was, when the file cannot be opened or read.
    bool loadStockTable(const QString& path);
    // Writes the stock into the file unless its code is there already. True when the code is in
    // the file afterwards. The table in memory is not changed (see insert).
    bool addStock(const QString& code, const QString& name, const QString& path);
    // The name of the code, empty when unknown.
    QString lookupStockName(const QString& code) const;
    void insert(const QString& code, const QString& name);
    int size() const { return m_stocks.size(); }

private:
    QMap<QString, QString> m_stocks;
};
