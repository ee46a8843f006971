#include "colours.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>

namespace orv {

void applySharedColours(QWidget *window)
{
    QPalette palette = window->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, backgroundColour);
        palette.setColor(group, QPalette::WindowText, Qt::black);
        palette.setColor(group, QPalette::Base, fieldColour);
        palette.setColor(group, QPalette::AlternateBase, fieldColour);
        palette.setColor(group, QPalette::Text, Qt::black);
    }
    window->setPalette(palette);
    window->setAutoFillBackground(true);

    // Scroll bars draw with the window colour; they take the field colour instead.
    const auto scrollBars = window->findChildren<QScrollBar *>();
    for (QScrollBar *bar : scrollBars) {
        QPalette barPalette = bar->palette();
        barPalette.setColor(QPalette::Window, fieldColour);
        barPalette.setColor(QPalette::Button, fieldColour);
        bar->setPalette(barPalette);
    }
}

} // namespace orv

namespace orv {
namespace {

class FocusRingStyle final : public QProxyStyle {
public:
    explicit FocusRingStyle(QStyle *base) : QProxyStyle(base) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element == PE_FrameFocusRect) {
            // Tabs and the current cell of a list: the same ring in place of the dotted one.
            paintRing(QRectF(option->rect), painter);
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element == PE_PanelLineEdit) {
            // An edit inside a combo or a date picker has no frame: its owner draws the ring.
            const auto *frame = qstyleoption_cast<const QStyleOptionFrame *>(option);
            if (frame && frame->lineWidth > 0)
                drawRing(option, painter);
        }
    }

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        QProxyStyle::drawControl(element, option, painter, widget);
        if (element == CE_PushButton || (element == CE_ShapedFrame && qobject_cast<const QAbstractItemView *>(widget)))
            drawRing(option, painter);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget) const override
    {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        if (control == CC_ComboBox || control == CC_SpinBox)
            drawRing(option, painter);
    }

private:
    static void drawRing(const QStyleOption *option, QPainter *painter)
    {
        if (option->state & State_HasFocus)
            paintRing(QRectF(option->rect).adjusted(1, 1, -1, -1), painter);
    }

    static void paintRing(const QRectF &place, QPainter *painter)
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(QPen(focusColour, 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(place);
        painter->restore();
    }
};

} // namespace

QStyle *createFocusRingStyle()
{
    return new FocusRingStyle(QStyleFactory::create(QApplication::style()->name()));
}

} // namespace orv
