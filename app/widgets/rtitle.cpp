#include "app/widgets/rtitle.h"

#include "app/rcanresources.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

Rtitle::Rtitle(QWidget *parent)
    : QWidget(parent)
    , m_target(parent)
    , m_drag(parent)
{
    rcanInitResources();
}

void Rtitle::mousePressEvent(QMouseEvent *event)
{
    m_drag.press(event);
}

void Rtitle::mouseMoveEvent(QMouseEvent *event)
{
    m_drag.move(event);
    event->ignore();
}

void Rtitle::mouseReleaseEvent(QMouseEvent *event)
{
    m_drag.release(event);
    event->ignore();
}

void Rtitle::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (m_target) {
        if (m_target->isMaximized())
            m_target->showNormal();
        else
            m_target->showMaximized();
    }
    event->ignore();
}

void Rtitle::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    const int w = width() - 1;
    const int h = height() - 1;
    QPainter painter(this);
    painter.setPen(QPen(QColor(220, 220, 220), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, w + 1, h + 1);

    // The ramp is computed column by column and each column starts from where the blue channel
    // of the previous one ended, which is what gives the strip its diagonal sheen.
    if (w > 0 && h > 0) {
        QImage ramp(w, h, QImage::Format_RGB32);
        int r = 0;
        int g = 77;
        int b = 126;
        for (int x = 1; x <= w; ++x) {
            r = (255 - r) * x / (w + 1);
            g = (255 - g) * x / (w + 1);
            b = std::min((255 - b) * x / (w + 1), 254);
            for (int y = 1; y <= h; ++y) {
                ramp.setPixel(x - 1, y - 1, qRgb(r, g, b));
                if (b != 255)
                    ++b;
            }
        }
        painter.drawImage(1, 1, ramp);
    }

    const QPixmap logo(QStringLiteral(":/images2/logo_1.png"));
    const QRect area(0, 0, width(), height());
    painter.drawPixmap(area, logo, area);
}
