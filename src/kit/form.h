#pragma once

#include <QDateEdit>
#include <QFont>
#include <QKeySequence>
#include <QRect>
#include <QString>
#include <QValidator>

#include <initializer_list>

class QAbstractButton;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace orv {

// The font windows are laid out in and drawn with, at a point size: the CJK face the program's
// texts are written in (so heights are measured on the glyphs shown), then the desktop's own.
// Pages use pageFontPointSize, the main window and the about box one point more, as their
// templates do.
constexpr int pageFontPointSize = 8;
QFont dialogFont(int pointSize);
inline QFont pageFont()
{
    return dialogFont(pageFontPointSize);
}

// Dialog units of a font into pixels, as the dialog system does: a horizontal unit is a quarter
// of the font's average character width, a vertical unit an eighth of its character height.
QRect dialogUnits(const QFont &font, int x, int y, int width, int height);
// The same in the page font.
QRect dialogUnits(int x, int y, int width, int height);

// Building blocks for a page laid out at fixed places. Every input gets its label as buddy.
QLabel *addLabel(QWidget *page, const QString &text, const QRect &place, QWidget *buddy = nullptr);
// How a page's templates set a field's label beside it: the label ends `gap` dialog units short
// of the field, starts `drop` units below the field's top and is `height` units high.
struct LabelLine {
    int gap;
    int drop;
    int height;
};
// A field's label, `width` dialog units wide, left of the field whose top left corner is `field`
// (dialog units), on the field's page. The label is the field's buddy.
QLabel *addFieldLabel(QWidget *buddy, const QString &text, QPoint field, int width, const LabelLine &line);
// The edit refuses control characters typed or pasted into it.
QLineEdit *addEdit(QWidget *page, const QString &objectName, const QRect &place);
QPushButton *addButton(QWidget *page, const QString &text, const QString &objectName, const QRect &place);
// A date field that takes one Tab stop and a whole typed date: "2027-03-20" (or with the format's
// own separators) typed over the field sets that day, each separator closing its part. F4 or
// Alt+Down opens the calendar, which the arrow keys walk and Enter takes.
class DatePicker final : public QDateEdit {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DatePicker)
public:
    explicit DatePicker(QWidget *parent = nullptr);

    void openCalendar();

protected:
    bool focusNextPrevChild(bool next) override;
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The last digit completed its part and the field moved on to the next by itself, so a
    // separator typed now has nothing left to close.
    bool m_movedOn = false;
};

// A date picker with a calendar drop-down, showing today in the short date format.
QDateEdit *addDatePicker(QWidget *page, const QString &objectName, const QRect &place);
// A date field for a window's form: a calendar drop-down and the date as yyyy-MM-dd.
QDateEdit *dateField(const QString &objectName, const QDate &date, QWidget *parent = nullptr);
// Tab walks the controls in the order given.
void setTabChain(std::initializer_list<QWidget *> controls);
// Gives a button a shortcut that leaves its text as it is, and names the shortcut in its tooltip.
void setButtonShortcut(QAbstractButton *button, const QKeySequence &keys);
// A frame with a title drawn behind the controls placed over it (it is not their parent).
QGroupBox *addGroup(QWidget *page, const QString &title, const QRect &place);

// True when the text holds a C0 control character (NUL to U+001F).
bool hasControlCharacter(const QString &text);

// Keeps an edit's text within a number of code-page-936 bytes (a Chinese character counts two):
// typing or pasting beyond the limit is refused, and so is any control character. Optionally
// digits only; a negative limit means no limit.
class Cp936LimitValidator final : public QValidator {
    Q_OBJECT
public:
    Cp936LimitValidator(int maxBytes, bool digitsOnly, QObject *parent);
    State validate(QString &input, int &pos) const override;

private:
    int m_maxBytes;
    bool m_digitsOnly;
};

// Reading a form: each read either succeeds or shows the standard prompt for its kind of fault,
// puts the focus on the field and returns false.
namespace exchange {

bool readInt(QLineEdit *edit, int &value);
bool readIntInRange(QLineEdit *edit, int &value, int minimum, int maximum);
bool readDouble(QLineEdit *edit, double &value);
bool readFloat(QLineEdit *edit, float &value);
bool readText(QLineEdit *edit, QString &value, int maxBytes = -1);
// Shows the range prompt for a field already read.
bool failIntRange(QLineEdit *edit, int minimum, int maximum);

// Writing back: integers in decimal, a single with up to 6 significant digits, a double with up
// to 15 and no trailing zeros.
void writeInt(QLineEdit *edit, int value);
void writeFloat(QLineEdit *edit, float value);
void writeDouble(QLineEdit *edit, double value);

} // namespace exchange
} // namespace orv
