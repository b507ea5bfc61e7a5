#include "clock/dialogs/CustomerServiceDialog.h"

#include "clock/dialogs/MakerInfo.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QLabel* centred(const QString& text, const char* name)
{
    auto* label = new QLabel(text);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

} // namespace

CustomerServiceDialog::CustomerServiceDialog(QWidget* parent) : QDialog(parent)
{
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setWindowTitle(QStringLiteral("客服支持"));

    auto* mainLayout = new QVBoxLayout(this);
    mainLayout->setObjectName(QStringLiteral("mainLayout"));
    mainLayout->addWidget(centred(QStringLiteral("灵拓软件在线客服"), "titleLabel"));
    mainLayout->addWidget(centred(QStringLiteral("灵拓软件已通过微信官方认证\n我们竭诚为顾客提供专业而卓越的服务体验！"),
                                  "valuesLabel"));
    mainLayout->addWidget(centred(QStringLiteral("↓请用微信扫码咨询客服↓"), "qrCodeTitleLabel"));

    QLabel* qrCode = centred(QString(), "qrCodeLabel");
    const QPixmap picture(QStringLiteral(":/img/wxqrcode.png"));
    if (picture.isNull())
        qrCode->setText(QStringLiteral("二维码加载失败"));
    else
        qrCode->setPixmap(picture.scaled(200, 200, Qt::KeepAspectRatio, Qt::FastTransformation));
    mainLayout->addWidget(qrCode);

    mainLayout->addWidget(centred(QStringLiteral("客服在线时间: ") + QString::fromUtf8(MakerInfo::kServiceHours),
                                  "serviceTimeLabel"));
    QLabel* instruction = centred(
        QStringLiteral("如果您已安装并运行了电脑版微信，请点击下方按钮进入对话"
                       "（<a href='%1'>下载电脑版微信</a>）")
            .arg(QString::fromUtf8(MakerInfo::kWeChatDownloadPage)),
        "weChatInstructionLabel");
    instruction->setOpenExternalLinks(true);
    mainLayout->addWidget(instruction);

    auto* weChat = new QPushButton(QStringLiteral("点击此处进入微信对话"));
    weChat->setObjectName(QStringLiteral("weChatButton"));
    auto* close = new QPushButton(QStringLiteral("关闭"));
    close->setObjectName(QStringLiteral("closeButton"));
    connect(weChat, &QPushButton::clicked, this, &CustomerServiceDialog::onWeChatClick);
    connect(close, &QPushButton::clicked, this, &CustomerServiceDialog::onCloseClick);
    mainLayout->addWidget(weChat);
    mainLayout->addWidget(close);

    applyLightScheme();
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void CustomerServiceDialog::applyLightScheme()
{
    setStyleSheet(QStringLiteral(
        "QDialog { background-color: white; }"
        "QLabel { color: #333333; font-size: 18px; }"
        "QLabel#titleLabel { font-size: 22px; font-weight: bold; }"
        "QLabel#serviceTimeLabel { font-size: 16px; color: #d32f2f; }"
        "QPushButton { background-color: #f5f5f5; color: #333333; border: 1px solid #cccccc; "
        "border-radius: 5px; padding: 8px 16px; font-size: 18px; }"
        "QPushButton:hover { background-color: #e8e8e8; }"));
}

QString CustomerServiceDialog::unreachableText()
{
    return QStringLiteral("无法打开微信对话。请用微信扫描二维码，或手动添加客服：%1，邮箱：%2")
        .arg(QString::fromUtf8(MakerInfo::kSupportChatAccount), QString::fromUtf8(MakerInfo::kSupportEmail));
}

void CustomerServiceDialog::onWeChatClick()
{
    if (QDesktopServices::openUrl(QUrl(QString::fromUtf8(MakerInfo::kSupportChatLink)))) {
        close();
        return;
    }
    QMessageBox::information(this, QStringLiteral("提示"), unreachableText());
}

void CustomerServiceDialog::onCloseClick()
{
    close();
}
