#pragma once

// A line edit that reports every mouse press as clicked instead of placing the cursor: a field
// that opens a chooser when clicked.

#include <QLineEdit>

class BLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
