#pragma once

// Answers the message boxes and input dialogs a dialog under test opens, as a user would, and
// records what was asked. Answers are taken in order; a box with no answer left gets its
// default button (an input dialog is cancelled).
//
//   ModalAnswers answers({"是", "text:新方案"});
//   dialog.on_saveProfileButton_clicked();
//   QCOMPARE(answers.titles(), (QStringList{"保存成功"}));

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

class ModalAnswers : public QObject
{
public:
    // "是", "否", "确定", "OK", ...: the message box button with that text; "text:<value>" and
    // "item:<value>": an input dialog's value, accepted; "accept": an input dialog as offered;
    // "dir:<path>": a folder chooser's answer; anything else rejects an input dialog or a folder
    // chooser. texts() holds a message box's text, an input dialog's offered value.
    explicit ModalAnswers(QStringList answers = {}) : m_answers(std::move(answers))
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalAnswers::answer);
        m_timer.start(5);
    }

    QStringList titles() const { return m_titles; }
    QStringList texts() const { return m_texts; }
    int pending() const { return m_answers.size(); }

private:
    QString next() { return m_answers.isEmpty() ? QString() : m_answers.takeFirst(); }

    void answer()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            m_titles.append(box->windowTitle());
            m_texts.append(box->text());
            const QString choice = next();
            for (QAbstractButton* button : box->buttons()) {
                if (!choice.isEmpty() && button->text() == choice) {
                    button->click();
                    return;
                }
            }
            if (box->defaultButton())
                box->defaultButton()->click();
            else
                box->buttons().first()->click();
        } else if (auto* input = qobject_cast<QInputDialog*>(modal)) {
            m_titles.append(input->windowTitle());
            m_texts.append(input->textValue()); // what the dialog offers
            const QString choice = next();
            if (choice == QLatin1String("accept")) {
                input->accept();
            } else if (choice.startsWith(QLatin1String("text:"))) {
                input->setTextValue(choice.mid(5));
                input->accept();
            } else if (choice.startsWith(QLatin1String("item:"))) {
                input->setTextValue(choice.mid(5));
                input->accept();
            } else {
                input->reject();
            }
        } else if (auto* chooser = qobject_cast<QFileDialog*>(modal)) {
            m_titles.append(chooser->windowTitle());
            m_texts.append(QString());
            const QString choice = next();
            if (choice.startsWith(QLatin1String("dir:"))) {
                chooser->setDirectory(choice.mid(4));
                chooser->selectFile(choice.mid(4));
                static_cast<QDialog*>(chooser)->accept();
            } else {
                chooser->reject();
            }
        }
    }

    QStringList m_answers;
    QStringList m_titles;
    QStringList m_texts;
    QTimer m_timer;
};
