#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

namespace orv {

// The start-up picture: a borderless window of the picture's own size, centred on the screen.
class StartPicture final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StartPicture)
public:
    explicit StartPicture(const QString &fileName, QWidget *parent = nullptr);

    // Shows and paints the window at once; false when there is no picture to show.
    bool showPicture();
    bool hasPicture() const { return !m_picture.isNull(); }
    // Shows a line of text at the foot of the picture, or alone in a small window without one, and
    // paints it at once.
    void showMessage(const QString &text);
    QString message() const { return m_message; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
    QString m_message;
};

} // namespace orv
