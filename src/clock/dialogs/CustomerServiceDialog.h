#pragma once

// 客服支持: the maker's support chat, by QR code or by a link that opens the chat in the desktop
// WeChat client. Built hidden with the main window and only shown and hidden afterwards.

#include <QDialog>

class CustomerServiceDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CustomerServiceDialog(QWidget* parent = nullptr);

    // The notice shown when no browser takes the chat link: the QR code, or the account and
    // e-mail address to add by hand.
    static QString unreachableText();

public slots:
    // Opens the chat link and closes the dialog; shows the notice instead when that fails.
    void onWeChatClick();
    void onCloseClick();

private:
    void applyLightScheme();
};
