#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QWidget;

namespace orv {

enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel };
// A refusal or a failure wears the warning sign, a question the question mark, a success the
// information sign.
enum class MessageIcon { Warning, Question, Information };

// Every message box of the program goes through here: caption "Orvane", the text as given (a
// "\n" is a line break), OK or OK/Cancel. An OK box warns, an OK/Cancel box asks.
MessageAnswer showMessage(QWidget *parent, const QString &text, MessageButtons buttons = MessageButtons::Ok);

// The same box for something that went well: OK only, with the information sign.
void showSuccess(QWidget *parent, const QString &text);

// When an answerer is a child of the application object, boxes are answered by it instead of
// being shown: each box's text and icon are recorded and the queued answers are given in order (OK
// once the queue is empty). Tests use it; the program itself never creates one.
class MessageAnswerer final : public QObject {
    Q_OBJECT
public:
    explicit MessageAnswerer(QObject *application);

    void queue(MessageAnswer answer) { m_answers.append(answer); }
    const QStringList &texts() const { return m_texts; }
    const QList<MessageIcon> &icons() const { return m_icons; }
    QString last() const { return m_texts.isEmpty() ? QString() : m_texts.last(); }
    void clear()
    {
        m_texts.clear();
        m_icons.clear();
        m_answers.clear();
    }

    MessageAnswer answer(const QString &text, MessageIcon icon = MessageIcon::Warning);

private:
    QStringList m_texts;
    QList<MessageIcon> m_icons;
    QList<MessageAnswer> m_answers;
};

// A unit that collides with another desk's on a server is run again as a whole, so its boxes must
// not show twice. While one of these is a child of the application object (a unit runs), an OK box
// waits for the unit's end, so only the run that stands shows it; a question is asked at once,
// after the boxes waiting before it, and a run again gets the same answer to the same question
// without asking. Boxes shown already are not shown again by a run again that shows them too.
class UnitBoxes final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UnitBoxes)
public:
    explicit UnitBoxes(QObject *application);
    ~UnitBoxes() override;

    // A run again starts: what the last run held back is dropped.
    void runAgain();
    // The unit ended: the boxes held back are shown, in order, once this has left the application.
    void release();

    // A box of the unit's: held back, answered as before, or shown.
    MessageAnswer box(QWidget *parent, const QString &text, MessageButtons buttons, MessageIcon icon);

private:
    struct Box {
        QPointer<QWidget> parent;
        QString text;
        MessageButtons buttons;
        MessageIcon icon;
        MessageAnswer answer;
        bool shown;
    };
    void showHeld();

    QList<Box> m_boxes;
    qsizetype m_next = 0; // the box of the run now going that comes next
};

} // namespace orv
