#include "tradeconfig/TdxCalibration.h"

#include "platform/api/Platform.h"
#include "trade/StockRules.h"
#include "trade/WindowUtils.h"

#include <QList>

namespace TdxCalibration {

namespace {

// The dialog's direct children of that class, in the order FindWindowEx returns them.
QList<trade::HWND> childrenOfClass(trade::HWND dialog, const char16_t* className)
{
    QList<trade::HWND> children;
    platform::Desktop* desktop = platform::services().desktop;
    if (!desktop)
        return children;
    for (trade::HWND child = desktop->findWindowEx(dialog, 0, className, nullptr); child;
         child = desktop->findWindowEx(dialog, child, className, nullptr))
        children.append(child);
    return children;
}

// Pass A: a later match overwrites an earlier one, for the code and for the name.
void findCodeAndName(const QList<trade::HWND>& statics, Result& result)
{
    for (int i = 0; i < statics.size(); ++i) {
        const QString text = WindowUtils::getWindowText(statics.at(i));
        if (text.size() == 6 && StockRules::isInteger(text) && text == TestCode)
            result.code = i;
        if (StockRules::isValidStockName(text)
            && (text.contains(QStringLiteral("浦发")) || text.contains(QStringLiteral("银行"))))
            result.name = i;
    }
}

// Pass B: the first price and the first whole number that is not the code.
void findPriceAndQuantity(const QList<trade::HWND>& edits, Result& result)
{
    for (int i = 0; i < edits.size(); ++i) {
        const QString text = WindowUtils::getControlText(edits.at(i));
        if (result.price < 0 && StockRules::isPrice(text))
            result.price = i;
        if (result.quantity < 0 && StockRules::isInteger(text) && text != TestCode)
            result.quantity = i;
    }
}

// Pass C: the first whole number besides the code that is 0 or at least one lot.
void findMaxQuantity(const QList<trade::HWND>& statics, Result& result)
{
    for (int i = 0; i < statics.size(); ++i) {
        if (i == result.code)
            continue;
        const QString text = WindowUtils::getWindowText(statics.at(i));
        bool number = false;
        const int value = text.toInt(&number);
        if (StockRules::isInteger(text) && text != TestCode && number && (value == 0 || value >= 100)) {
            result.maxQuantity = i;
            return;
        }
    }
}

} // namespace

Result measure(trade::HWND dialog)
{
    Result result;
    findCodeAndName(childrenOfClass(dialog, u"Static"), result);
    findPriceAndQuantity(childrenOfClass(dialog, u"Edit"), result);
    findMaxQuantity(childrenOfClass(dialog, u"Static"), result);
    return result;
}

} // namespace TdxCalibration
