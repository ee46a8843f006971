#include "messagebox.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace orv {

namespace {

// Window managers draw the caption in a bold title font beside an icon and up to three buttons; a
// box narrower than all that shows "O…" for "Orvane". The title font is the window manager's, so
// this errs on the wide side.
int widthForTitle(const QString &title)
{
    QFont titleFont = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    const int barHeight = metrics.height() * 2;
    return metrics.horizontalAdvance(title) + 4 * barHeight;
}

// The box sizes itself to its layout when shown; a spacer across the bottom row holds it open
// without touching the text.
void keepTitleWhole(QMessageBox &box)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    const QMargins margins = grid->contentsMargins();
    const int width = widthForTitle(box.windowTitle()) - margins.left() - margins.right();
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

MessageAnswer showNow(QWidget *parent, const QString &text, MessageButtons buttons, MessageIcon icon)
{
    if (auto *app = QCoreApplication::instance()) {
        if (auto *answerer = app->findChild<MessageAnswerer *>(QString(), Qt::FindDirectChildrenOnly))
            return answerer->answer(text, icon);
    }

    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Orvane"));
    box.setTextFormat(Qt::PlainText);
    // The text exactly as given, so a screen reader and a copy read what the program says. The box
    // widens to its longest line (up to most of the screen) before it wraps at all.
    box.setText(text);
    if (buttons == MessageButtons::OkCancel)
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    else
        box.setStandardButtons(QMessageBox::Ok);
    switch (icon) {
    case MessageIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    }
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(buttons == MessageButtons::OkCancel ? QMessageBox::Cancel : QMessageBox::Ok);
    keepTitleWhole(box);
    return box.exec() == QMessageBox::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

MessageAnswer ask(QWidget *parent, const QString &text, MessageButtons buttons, MessageIcon icon)
{
    if (auto *app = QCoreApplication::instance()) {
        if (auto *unit = app->findChild<UnitBoxes *>(QString(), Qt::FindDirectChildrenOnly))
            return unit->box(parent, text, buttons, icon);
    }
    return showNow(parent, text, buttons, icon);
}

} // namespace

UnitBoxes::UnitBoxes(QObject *application) : QObject(application)
{
    setObjectName(QStringLiteral("orvUnitBoxes"));
}

UnitBoxes::~UnitBoxes() = default;

MessageAnswer UnitBoxes::box(QWidget *parent, const QString &text, MessageButtons buttons, MessageIcon icon)
{
    if (m_next < m_boxes.size()) {
        const Box &before = m_boxes.at(m_next);
        if (before.text == text && before.buttons == buttons && before.icon == icon) {
            ++m_next;
            return before.answer;
        }
        // This run goes another way from here.
        m_boxes.resize(m_next);
    }
    if (buttons == MessageButtons::Ok) {
        m_boxes.append({parent, text, buttons, icon, MessageAnswer::Ok, false});
        ++m_next;
        return MessageAnswer::Ok;
    }
    // A question waits for no commit; what came before it is told first.
    showHeld();
    const MessageAnswer answer = showNow(parent, text, buttons, icon);
    m_boxes.append({parent, text, buttons, icon, answer, true});
    ++m_next;
    return answer;
}

void UnitBoxes::showHeld()
{
    for (Box &held : m_boxes) {
        if (!held.shown) {
            held.shown = true;
            showNow(held.parent, held.text, held.buttons, held.icon);
        }
    }
}

void UnitBoxes::runAgain()
{
    // Boxes are shown in order, so the ones held back are the last.
    while (!m_boxes.isEmpty() && !m_boxes.constLast().shown)
        m_boxes.removeLast();
    m_next = 0;
}

void UnitBoxes::release()
{
    setParent(nullptr);
    showHeld();
}

MessageAnswerer::MessageAnswerer(QObject *application) : QObject(application)
{
    setObjectName(QStringLiteral("orvMessageAnswerer"));
}

MessageAnswer MessageAnswerer::answer(const QString &text, MessageIcon icon)
{
    m_texts.append(text);
    m_icons.append(icon);
    return m_answers.isEmpty() ? MessageAnswer::Ok : m_answers.takeFirst();
}

MessageAnswer showMessage(QWidget *parent, const QString &text, MessageButtons buttons)
{
    return ask(parent, text, buttons,
               buttons == MessageButtons::OkCancel ? MessageIcon::Question : MessageIcon::Warning);
}

void showSuccess(QWidget *parent, const QString &text)
{
    ask(parent, text, MessageButtons::Ok, MessageIcon::Information);
}

} // namespace orv
