#pragma once

// The appearance dialog (外观设置 ▸ 调整外观): the clock's font, text colour, background colour
// and transparency, and time format. Every choice goes into the settings store the moment it is
// made and is announced by a signal, so the clock shows it at once; 应用 saves and closes,
// 重置 writes the default look and saves at once. Frameless, dragged by its top strip.

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

class SetDlg : public QDialog
{
    Q_OBJECT

public:
    // The offered time formats, in their order in the combo box.
    static const QStringList& timeFormats();

    explicit SetDlg(QWidget* parent = nullptr);

    // Centred 20 px below the clock, or above it when the screen's available area ends first;
    // kept 10 px inside the area's left, right and top edges.
    static QPoint placementNear(const QRect& clock, const QSize& dialog, const QRect& available);

signals:
    void fontChanged(const QFont& font);
    void fontColorChanged(const QColor& color);
    void backgroundColorChanged(const QColor& color);
    void backgroundAlphaChanged(int alpha);

private slots:
    void on_pushButton_font_clicked();
    void on_pushButton_font_color_clicked();
    void on_pushButton_background_color_clicked();
    void on_horizontalSlider_background_alpha_valueChanged(int value);
    void on_comboBox_timetype_currentIndexChanged(const QString& text);
    void on_pushButton_load_defaults_clicked();
    void on_pushButton_close_clicked();

private:
    void buildForm();
    void loadFields();
    void showFontColor(const QColor& color);
    void showBackgroundColor(const QColor& color);

    QLineEdit* m_font = nullptr;
    QLineEdit* m_fontRgb = nullptr;
    QLabel* m_fontSwatch = nullptr;
    QLineEdit* m_backgroundRgb = nullptr;
    QLabel* m_backgroundSwatch = nullptr;
    QSlider* m_alpha = nullptr;
    QComboBox* m_timeType = nullptr;
};
