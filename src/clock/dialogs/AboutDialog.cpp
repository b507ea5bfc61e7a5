#include "clock/dialogs/AboutDialog.h"

#include "clock/dialogs/MakerInfo.h"

#include <QApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QLabel* textLabel(const QString& html)
{
    auto* label = new QLabel(html);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setContentsMargins(15, 0, 0, 0);
    return label;
}

} // namespace

QPixmap AboutDialog::logo()
{
    for (const char* name : {":/img/company-logo.png", ":/img/tray_icon.png"}) {
        const QPixmap pixmap{QString::fromLatin1(name)};
        if (!pixmap.isNull())
            return pixmap;
    }
    qWarning().noquote() << "警告: 公司logo未找到，使用系统标准图标";
    return QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(64, 64);
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("关于"));
    setFixedSize(450, 250);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* logoLabel = new QLabel;
    logoLabel->setPixmap(logo().scaled(128, 128, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    logoLabel->setAlignment(Qt::AlignCenter);
    logoLabel->setMinimumWidth(128);
    logoLabel->setContentsMargins(10, 10, 10, 10);

    auto* line = new QFrame;
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setStyleSheet(QStringLiteral("color: #DDDDDD;"));

    const QString site = QString::fromUtf8(MakerInfo::kWebSite);
    auto* texts = new QVBoxLayout;
    texts->addWidget(textLabel(QStringLiteral("<h3>%1</h3>").arg(QString::fromUtf8(MakerInfo::kApplicationDisplayName))));
    texts->addWidget(textLabel(QStringLiteral("<p>版本：%1</p>").arg(QString::fromUtf8(MakerInfo::kVersion))));
    texts->addWidget(textLabel(QStringLiteral("<p>%1</p>").arg(QString::fromUtf8(MakerInfo::kDescription))));
    QLabel* siteLabel = textLabel(QStringLiteral("<p><a href='%1'>%1</a></p>").arg(site));
    siteLabel->setObjectName(QStringLiteral("siteLabel"));
    siteLabel->setOpenExternalLinks(true);
    texts->addWidget(siteLabel);
    texts->addWidget(textLabel(QStringLiteral("<p>%1</p>").arg(QString::fromUtf8(MakerInfo::kOwnershipNotice))));

    auto* ok = new QPushButton(QStringLiteral("确定"));
    auto* visit = new QPushButton(QStringLiteral("访问官网"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(visit, &QPushButton::clicked, this, [this, site] {
        QDesktopServices::openUrl(QUrl(site));
        accept();
    });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(visit);
    texts->addLayout(buttons);

    auto* columns = new QHBoxLayout(this);
    columns->addWidget(logoLabel, 1);
    columns->addWidget(line, 0);
    columns->addLayout(texts, 2);

    setStyleSheet(QStringLiteral(
        "QDialog {    background-color: white;}QLabel {    color: #333333;}QPushButton {    "
        "background-color: #4CAF50;    color: white;    border: none;    padding: 6px 12px;    "
        "border-radius: 4px;    min-width: 80px;}QPushButton:hover {    background-color: #45a049;}"));
}
