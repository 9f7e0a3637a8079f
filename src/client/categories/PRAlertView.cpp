#include "PRAlertView.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

// A warning alert with the two buttons, first then second; the caller owns it.
QMessageBox *makeAlert(const QString &firstTitle, const QString &secondTitle,
                       const QString &messageText, const QString &informativeText, QWidget *parent)
{
    auto *alert = new QMessageBox(parent);
    alert->setIcon(QMessageBox::Warning);
    alert->setText(messageText);
    alert->setInformativeText(informativeText);
    QPushButton *first = alert->addButton(firstTitle, QMessageBox::AcceptRole);
    alert->addButton(secondTitle, QMessageBox::RejectRole);
    alert->setDefaultButton(first);
    return alert;
}

int responseOf(const QMessageBox &alert)
{
    const QList<QAbstractButton *> buttons = alert.buttons();
    const qsizetype index = buttons.indexOf(alert.clickedButton());
    // Closed without a button (Escape): the second button's answer, as its reject role says.
    return index < 0 ? PRAlertView::kSecondButtonReturn
                     : PRAlertView::kFirstButtonReturn + int(index);
}

} // namespace

void PRAlertView::alertSheetFirstBtnTitle(const QString &firstTitle, const QString &secondTitle,
                                          const QString &messageText,
                                          const QString &informativeText, QWidget *window,
                                          CompletionHandler completionHandler)
{
    QMessageBox *alert = makeAlert(firstTitle, secondTitle, messageText, informativeText, window);
    alert->setWindowModality(Qt::WindowModal);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(alert, &QMessageBox::finished, alert,
                     [alert, completionHandler = std::move(completionHandler)] {
                         if (completionHandler)
                             completionHandler(responseOf(*alert));
                     });
    alert->open();
}

void PRAlertView::alertModalFirstBtnTitle(const QString &firstTitle, const QString &secondTitle,
                                          const QString &messageText,
                                          const QString &informativeText)
{
    QMessageBox *alert = makeAlert(firstTitle, secondTitle, messageText, informativeText, nullptr);
    alert->exec();
    const int response = responseOf(*alert);
    delete alert;
    switch (response) {
    case kFirstButtonReturn:
        qInfo("defaultButton clicked!");
        break;
    case kSecondButtonReturn:
        qInfo("alternateButton clicked!");
        break;
    case kThirdButtonReturn:
        qInfo("otherButton clicked!");
        break;
    }
}
