#include "PopBtnView.h"

#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>

PopBtnView::PopBtnView(Action action, QWidget *parent)
    : QWidget(parent)
    , m_popButton(new QPushButton(this))
    , m_menu(new QMenu(this))
    , m_action(std::move(action))
{
    m_popButton->setMenu(m_menu);
    m_popButton->setGeometry(rect());
}

void PopBtnView::addItems(const QStringList &titles)
{
    for (const QString &title : titles) {
        QAction *item = m_menu->addAction(title);
        item->setCheckable(true);
        const int index = int(m_menu->actions().size()) - 1;
        connect(item, &QAction::triggered, this, [this, index] {
            selectItemAtIndex(index);
            if (m_action)
                m_action(index);
        });
    }
    refreshTitle();
}

void PopBtnView::selectItemAtIndex(int index)
{
    const QList<QAction *> items = m_menu->actions();
    m_selectedIndex = (index >= 0 && index < items.size()) ? index : -1;
    for (qsizetype i = 0; i < items.size(); ++i)
        items[i]->setChecked(i == m_selectedIndex);
}

void PopBtnView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_popButton->setGeometry(rect());
}

int PopBtnView::numberOfItems() const
{
    return int(m_menu->actions().size());
}

void PopBtnView::refreshTitle()
{
    // A pull-down button shows its first item as its title, whatever is selected.
    const QList<QAction *> items = m_menu->actions();
    m_popButton->setText(items.isEmpty() ? QString() : items.first()->text());
}
