#include "clock/dialogs/SetDlg.h"

#include "clock/dialogs/TitleMoveWidget.h"
#include "config/ConfigManager.h"

#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QVBoxLayout>

namespace {

const int kTitleHeight = 30;

QString swatchStyle(const QColor& color)
{
    return QStringLiteral("background-color:rgb(%1,%2,%3);").arg(color.red()).arg(color.green()).arg(color.blue());
}

QString rgbText(const QColor& color)
{
    return QStringLiteral("%1,%2,%3").arg(color.red()).arg(color.green()).arg(color.blue());
}

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLineEdit* readOnlyField(const char* name)
{
    QLineEdit* field = named(new QLineEdit, name);
    field->setReadOnly(true);
    return field;
}

QLabel* swatch(const char* name)
{
    QLabel* label = named(new QLabel, name);
    label->setFixedSize(24, 24);
    return label;
}

} // namespace

const QStringList& SetDlg::timeFormats()
{
    static const QStringList formats = {
        QStringLiteral("yyyy-MM-dd hh:mm:ss"), QStringLiteral("yyyy/MM/dd hh:mm:ss"),
        QStringLiteral("dd-MM-yyyy hh:mm:ss"), QStringLiteral("yy-MM-dd hh:mm:ss"),
        QStringLiteral("MM-dd hh:mm:ss"),      QStringLiteral("hh:mm:ss"),
        QStringLiteral("hh:mm:ss:z"),          QStringLiteral("hh:mm:ss:zzz"),
    };
    return formats;
}

SetDlg::SetDlg(QWidget* parent) : QDialog(parent)
{
    buildForm();
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    new TitleMoveWidget(kTitleHeight, QString(), this);
    loadFields();
    // Connected after the fields are filled: filling them is no choice of the user's and must
    // not write anything (a stored format the box does not offer stays stored).
    QMetaObject::connectSlotsByName(this);

    if (parent) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        move(placementNear(parent->geometry(), size(), screen ? screen->availableGeometry() : QRect()));
    }
}

void SetDlg::buildForm()
{
    setObjectName(QStringLiteral("SetDlg"));
    setWindowTitle(QStringLiteral("Form"));
    resize(395, 387);
    setStyleSheet(QStringLiteral("QDialog#SetDlg{\n\tborder:1px solid rgb(0,0,0);\n}"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, kTitleHeight - 20, 12, 12);
    QLabel* heading = named(new QLabel(QStringLiteral("设置")), "label");
    heading->setAlignment(Qt::AlignCenter);
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    headingFont.setPointSize(headingFont.pointSize() + 2);
    heading->setFont(headingFont);
    layout->addWidget(heading);

    QGroupBox* fontBox = named(new QGroupBox(QStringLiteral("字体")), "groupBox");
    auto* fontGrid = new QGridLayout(fontBox);
    m_font = readOnlyField("lineEdit_font");
    fontGrid->addWidget(named(new QLabel(QStringLiteral("字体")), "label_2"), 0, 0);
    fontGrid->addWidget(m_font, 0, 1, 1, 2);
    fontGrid->addWidget(named(new QPushButton(QStringLiteral("字体")), "pushButton_font"), 0, 3);
    m_fontRgb = readOnlyField("lineEdit_font_rgb");
    m_fontSwatch = swatch("lineEdit_font_color");
    fontGrid->addWidget(named(new QLabel(QStringLiteral("颜色")), "label_3"), 1, 0);
    fontGrid->addWidget(m_fontRgb, 1, 1);
    fontGrid->addWidget(m_fontSwatch, 1, 2);
    fontGrid->addWidget(named(new QPushButton(QStringLiteral("颜色")), "pushButton_font_color"), 1, 3);
    layout->addWidget(fontBox);

    QGroupBox* timeBox = named(new QGroupBox(QStringLiteral("时间格式")), "groupBox_3");
    auto* timeRow = new QHBoxLayout(timeBox);
    m_timeType = named(new QComboBox, "comboBox_timetype");
    m_timeType->addItems(timeFormats());
    timeRow->addWidget(named(new QLabel(QStringLiteral("时间格式")), "label_7"));
    timeRow->addWidget(m_timeType, 1);
    layout->addWidget(timeBox);

    QGroupBox* backgroundBox = named(new QGroupBox(QStringLiteral("背景")), "groupBox_2");
    auto* backgroundGrid = new QGridLayout(backgroundBox);
    m_backgroundRgb = readOnlyField("lineEdit_background_rgb");
    m_backgroundSwatch = swatch("lineEdit_background_color");
    backgroundGrid->addWidget(named(new QLabel(QStringLiteral("颜色")), "label_6"), 0, 0);
    backgroundGrid->addWidget(m_backgroundRgb, 0, 1);
    backgroundGrid->addWidget(m_backgroundSwatch, 0, 2);
    backgroundGrid->addWidget(named(new QPushButton(QStringLiteral("颜色")), "pushButton_background_color"), 0,
                              3);
    m_alpha = named(new QSlider(Qt::Horizontal), "horizontalSlider_background_alpha");
    m_alpha->setRange(0, 255);
    backgroundGrid->addWidget(named(new QLabel(QStringLiteral("透明度:")), "label_4"), 1, 0);
    backgroundGrid->addWidget(m_alpha, 1, 1, 1, 3);
    layout->addWidget(backgroundBox);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(named(new QPushButton(QStringLiteral("重置")), "pushButton_load_defaults"));
    buttons->addWidget(named(new QPushButton(QStringLiteral("应用")), "pushButton_close"));
    layout->addLayout(buttons);
}

void SetDlg::loadFields()
{
    ConfigManager* config = ConfigManager::instance();
    m_font->setText(config->font().family());
    showFontColor(config->fontColor());
    showBackgroundColor(config->backgroundColor());
    m_alpha->setValue(config->backgroundAlpha());
    const int index = m_timeType->findText(config->timeType());
    if (index >= 0)
        m_timeType->setCurrentIndex(index);
}

void SetDlg::showFontColor(const QColor& color)
{
    m_fontSwatch->setStyleSheet(swatchStyle(color));
    m_fontRgb->setText(rgbText(color));
}

void SetDlg::showBackgroundColor(const QColor& color)
{
    m_backgroundSwatch->setStyleSheet(swatchStyle(color));
    m_backgroundRgb->setText(rgbText(color));
}

QPoint SetDlg::placementNear(const QRect& clock, const QSize& dialog, const QRect& available)
{
    int x = clock.x() + (clock.width() - dialog.width()) / 2;
    int y = clock.y() + clock.height() + 20;
    const int areaBottom = available.y() + available.height();
    const int areaRight = available.x() + available.width();
    if (y + dialog.height() > areaBottom)
        y = clock.y() - 20 - dialog.height();
    if (x < available.left())
        x = available.left() + 10;
    if (x + dialog.width() > areaRight)
        x = areaRight - 10 - dialog.width();
    if (y < available.top())
        y = available.top() + 10;
    return QPoint(x, y);
}

void SetDlg::on_pushButton_font_clicked()
{
    ConfigManager* config = ConfigManager::instance();
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, config->font(), this, QString());
    if (!ok)
        return;
    config->setFont(font);
    m_font->setText(font.family());
    emit fontChanged(font);
}

void SetDlg::on_pushButton_font_color_clicked()
{
    ConfigManager* config = ConfigManager::instance();
    const QColor color = QColorDialog::getColor(config->fontColor(), this, QString());
    if (!color.isValid())
        return;
    config->setFontColor(color);
    showFontColor(color);
    emit fontColorChanged(color);
}

void SetDlg::on_pushButton_background_color_clicked()
{
    ConfigManager* config = ConfigManager::instance();
    const QColor color = QColorDialog::getColor(config->backgroundColor(), this, QString());
    if (!color.isValid())
        return;
    config->setBackgroundColor(color);
    showBackgroundColor(color);
    emit backgroundColorChanged(color);
}

void SetDlg::on_horizontalSlider_background_alpha_valueChanged(int value)
{
    ConfigManager::instance()->setBackgroundAlpha(value);
    emit backgroundAlphaChanged(value);
}

void SetDlg::on_comboBox_timetype_currentIndexChanged(const QString& text)
{
    ConfigManager::instance()->setTimeType(text);
}

void SetDlg::on_pushButton_load_defaults_clicked()
{
    ConfigManager* config = ConfigManager::instance();
    config->resetAppearance();
    loadFields();
    emit fontChanged(config->font());
    emit fontColorChanged(config->fontColor());
    emit backgroundColorChanged(config->backgroundColor());
    emit backgroundAlphaChanged(config->backgroundAlpha());
}

void SetDlg::on_pushButton_close_clicked()
{
    ConfigManager* config = ConfigManager::instance();
    config->setTimeType(m_timeType->currentText());
    config->saveConfig();
    accept();
}
