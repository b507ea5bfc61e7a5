#include "trade/FieldReaders.h"

#include "platform/api/Platform.h"
#include "trade/StockRules.h"
#include "trade/WindowUtils.h"

#include <QDebug>

namespace FieldReaders {

namespace {

bool isLive(trade::HWND window)
{
    platform::Desktop* d = platform::services().desktop;
    return window != 0 && d && d->isWindow(window);
}

QString cleanedNumber(const QString& text)
{
    QString cleaned = text.trimmed();
    cleaned.remove(QLatin1Char(','));
    cleaned.remove(QLatin1Char(' '));
    cleaned.remove(QChar(0x3000));
    return cleaned;
}

enum class Kind
{
    Quantity,
    Price
};

FieldReadResult readEdit(trade::HWND dialog, trade::HWND& cache, int index, QString& text, Kind kind)
{
    if (!dialog)
        return FieldNoDialog;
    bool cached = isLive(cache);
    trade::HWND control = cached ? cache : 0;
    if (!cached) {
        if (index < 0)
            return FieldIndexNotConfigured;
        control = WindowUtils::findNthEdit(dialog, index);
        if (!control)
            return FieldControlMissing;
        cache = control;
    }
    QString read;
    if (!WindowUtils::readControlText(control, read))
        return FieldNoAnswer;
    if (read.isEmpty())
        return FieldEmpty;
    const bool valid = kind == Kind::Quantity ? StockRules::isInteger(read) : StockRules::isPrice(read);
    if (!valid)
        return FieldInvalid;
    text = read;
    const char* label = kind == Kind::Quantity
                            ? (cached ? "stock trade num (cached):" : "stock trade num (configured index):")
                            : (cached ? "stock buy price (cached):" : "stock buy price (configured index):");
    qDebug().noquote() << label << text;
    return FieldReadOk;
}

} // namespace

FieldReadResult readMaxQuantity(trade::HWND dialog, trade::HWND& cache, int index, int& value)
{
    if (!dialog)
        return FieldNoDialog;
    const bool cached = isLive(cache);
    QString raw;
    trade::HWND control = 0;
    if (cached) {
        if (!WindowUtils::readControlText(cache, raw))
            return FieldNoAnswer;
    } else {
        if (index < 0) {
            qDebug().noquote() << "最大数量索引未配置";
            return FieldIndexNotConfigured;
        }
        control = WindowUtils::findNthStatic(dialog, index, &raw);
        if (!control) {
            qDebug().noquote() << "无法读取最大数量，索引：" << index;
            return FieldControlMissing;
        }
    }
    const QString text = cleanedNumber(raw);
    if (text.isEmpty())
        return FieldEmpty;
    // The client fills the control in a moment after the dialog opens; cache it once it has.
    if (!cached)
        cache = control;
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    if (!ok) {
        qDebug().noquote() << "最大可买数量无效：" << text;
        return FieldInvalid;
    }
    if (number < 0)
        return FieldNegative;
    value = number;
    if (cached)
        qDebug().noquote() << "读取最大可买/可卖数量（使用缓存）：" << value;
    else
        qDebug().noquote() << "读取到最大可买数量：" << value;
    return FieldReadOk;
}

FieldReadResult readQuantity(trade::HWND dialog, trade::HWND& cache, int index, QString& text)
{
    return readEdit(dialog, cache, index, text, Kind::Quantity);
}

FieldReadResult readPrice(trade::HWND dialog, trade::HWND& cache, int index, QString& text)
{
    return readEdit(dialog, cache, index, text, Kind::Price);
}

} // namespace FieldReaders
