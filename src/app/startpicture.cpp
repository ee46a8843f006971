#include "startpicture.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QScreen>

namespace orv {

StartPicture::StartPicture(const QString &fileName, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("startPicture"));
    // A missing file and a file that is not a picture are treated alike: no picture.
    QImageReader reader(fileName);
    reader.setAutoTransform(true);
    m_picture = reader.read();
    if (!m_picture.isNull())
        setFixedSize(m_picture.size());
}

bool StartPicture::showPicture()
{
    if (m_picture.isNull())
        return false;
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - rect().center());
    }
    show();
    repaint();
    return true;
}

void StartPicture::showMessage(const QString &text)
{
    m_message = text;
    if (m_picture.isNull() && !isVisible()) {
        setFixedSize(420, 60);
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            move(screen->geometry().center() - rect().center());
    }
    show();
    repaint();
}

void StartPicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_picture.isNull())
        painter.fillRect(rect(), palette().window());
    else
        painter.drawImage(rect(), m_picture);
    if (m_message.isEmpty())
        return;
    // A band across the foot keeps the words legible on any picture.
    const QRect band(0, height() - 30, width(), 30);
    if (!m_picture.isNull())
        painter.fillRect(band, QColor(255, 255, 255, 200));
    painter.setPen(palette().windowText().color());
    painter.drawText(band, Qt::AlignCenter, m_message);
}

} // namespace orv
