#pragma once

// The public web pages the clock's menus open in the browser, in one place.

#include <QUrl>

namespace WebPages {

// 大盘云图: a heat map of the whole Chinese stock market.
inline QUrl marketHeatMap()
{
    return QUrl(QStringLiteral("https://dapanyuntu.com/"));
}

// The official download pages of the two trading clients.
inline QUrl thsDownload()
{
    return QUrl(QStringLiteral("https://download.10jqka.com.cn/"));
}
inline QUrl tdxDownload()
{
    return QUrl(QStringLiteral("https://www.tdx.com.cn/soft.html"));
}

// The maker's own site: its start page lists the downloads, "#download" jumps to the newest
// version.
inline QUrl makerDownload()
{
    return QUrl(QStringLiteral("https://www.zentrik.com.cn/"));
}
inline QUrl makerUpdate()
{
    return QUrl(QStringLiteral("https://www.zentrik.com.cn/#download"));
}

// The page of a download menu entry by its data code (1 THS, 2 TDX, 9 the maker's software);
// an invalid URL for any other code.
inline QUrl downloadPage(int code)
{
    switch (code) {
    case 1:
        return thsDownload();
    case 2:
        return tdxDownload();
    case 9:
        return makerDownload();
    default:
        return QUrl();
    }
}

} // namespace WebPages
