#pragma once

// The about box (关于): logo, name, version, description, the maker's web site and ownership
// notice, with 确定 and 访问官网. Built anew each time it is shown.

#include <QDialog>

class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // ":/img/company-logo.png", else ":/img/tray_icon.png", else the style's information icon.
    static QPixmap logo();
};
