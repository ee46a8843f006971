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

void StartPicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(rect(), m_picture);
}

} // namespace orv
