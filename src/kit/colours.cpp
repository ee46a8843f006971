#include "colours.h"

#include <QAbstractScrollArea>
#include <QPalette>
#include <QScrollBar>
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
