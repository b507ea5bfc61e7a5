#include "clock/dialogs/BLineEdit.h"

void BLineEdit::mousePressEvent(QMouseEvent*)
{
    emit clicked();
}
