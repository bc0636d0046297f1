#include "app/controls/RadioListBox.h"

#include <QApplication>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

class RadioItemDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const auto* list = static_cast<const CRadioListBox*>(option.widget);
        const QRect item = option.rect;
        const QPalette& pal = option.palette;
        painter->fillRect(item, list->IsTransparent() ? pal.color(QPalette::Button) : pal.color(QPalette::Base));
        const int h = item.height();
        QStyleOptionButton radio;
        radio.rect = QRect(item.left() + 2, item.top() + 2, h - 5, h - 5);
        radio.state = (option.state & QStyle::State_Enabled) | QStyle::State_Enabled;
        radio.state |= (option.state & QStyle::State_Selected) ? QStyle::State_On : QStyle::State_Off;
        radio.palette = pal;
        QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_IndicatorRadioButton, &radio, painter, option.widget);
        painter->setPen(QColor(8, 0, 0));
        painter->drawText(item.adjusted(h, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.rect = item.adjusted(h, 0, 0, 0);
            focus.palette = pal;
            focus.state = option.state;
            style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
        }
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), 18));
        return size;
    }
};

} // namespace

CRadioListBox::CRadioListBox(QWidget* parent) : QListWidget(parent)
{
    setItemDelegate(new RadioItemDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
}

void CRadioListBox::SetTransparent(bool transparent)
{
    m_bTransparent = transparent;
    QPalette pal = palette();
    pal.setColor(QPalette::Base, transparent ? pal.color(QPalette::Button) : QApplication::palette().color(QPalette::Base));
    setPalette(pal);
    viewport()->update();
}
