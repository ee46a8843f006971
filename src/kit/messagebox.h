#pragma once

#include <QList>
#include <QObject>
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

} // namespace orv
