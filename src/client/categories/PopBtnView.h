#pragma once

// A pull-down button that fills its view: a button titled with its first item that drops down a
// menu of the items; picking one selects it and calls the action with its index. Main thread.

#include <QStringList>
#include <QWidget>

#include <functional>

class QMenu;
class QPushButton;

class PopBtnView : public QWidget
{
    Q_OBJECT

public:
    using Action = std::function<void(int index)>;

    explicit PopBtnView(Action action, QWidget *parent = nullptr);

    QPushButton *popButton() const { return m_popButton; }

    // Adds one item per title, in order.
    void addItems(const QStringList &titles);
    void selectItemAtIndex(int index);
    // -1 while nothing is selected.
    int indexOfSelectedItem() const { return m_selectedIndex; }
    int numberOfItems() const;

    // For the owner's own use; the view neither reads nor sets it.
    QStringList dataSourceArr;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void refreshTitle();

    QPushButton *m_popButton = nullptr;
    QMenu *m_menu = nullptr;
    Action m_action;
    int m_selectedIndex = -1;
};
