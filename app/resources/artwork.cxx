// Draws every picture the program ships: the compiled-in tool-bar and chrome pictures and the
// files that sit beside the program (window icon, about logo). Run at build time, so the
// pictures live here as code rather than as binary files.
//
//   rcan-artwork <resource-output-dir> <runtime-dir>

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <QFileInfo>
#include <QFontMetricsF>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor band(0, 77, 126);
const QColor bandDark(0, 66, 99);
const QColor bandHover(0, 110, 170);
const QColor edge(46, 109, 149);

using IconPainter = std::function<void(QPainter &, const QRectF &)>;

QPen whitePen(qreal width)
{
    return QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// The adapter: a USB stick with its bus socket at one end and two status lights.
void drawDevice(QPainter &p, const QRectF &r)
{
    p.setPen(whitePen(2.0));
    p.setBrush(Qt::NoBrush);
    const qreal cy = r.center().y();
    const QRectF body(r.left() + 1, cy - r.height() * 0.24, r.width() * 0.66, r.height() * 0.48);
    p.drawRoundedRect(body, 3, 3);
    const QRectF plug(body.right(), cy - r.height() * 0.14, r.width() * 0.26, r.height() * 0.28);
    p.drawRect(plug);
    p.drawLine(QPointF(plug.left() + plug.width() * 0.4, cy - 1.5),
               QPointF(plug.right() - 2, cy - 1.5));
    p.drawLine(QPointF(plug.left() + plug.width() * 0.4, cy + 1.5),
               QPointF(plug.right() - 2, cy + 1.5));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(body.left() + 6, cy - 2.6), 1.8, 1.8);
    p.setBrush(QColor(120, 220, 140));
    p.drawEllipse(QPointF(body.left() + 6, cy + 3), 1.8, 1.8);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(body.left() + 10.5, cy - 1, body.width() - 14, 2));
}

// Sending: a paper plane.
void drawSend(QPainter &p, const QRectF &r)
{
    p.setPen(whitePen(2.2));
    p.setBrush(Qt::NoBrush);
    QPainterPath plane;
    plane.moveTo(r.left() + r.width() * 0.08, r.top() + r.height() * 0.48);
    plane.lineTo(r.right() - r.width() * 0.06, r.top() + r.height() * 0.14);
    plane.lineTo(r.left() + r.width() * 0.62, r.bottom() - r.height() * 0.1);
    plane.lineTo(r.left() + r.width() * 0.44, r.top() + r.height() * 0.6);
    plane.closeSubpath();
    p.drawPath(plane);
    p.drawLine(QPointF(r.left() + r.width() * 0.44, r.top() + r.height() * 0.6),
               QPointF(r.right() - r.width() * 0.06, r.top() + r.height() * 0.14));
}

// Bus utilisation: bars with a load curve over them.
void drawLoad(QPainter &p, const QRectF &r)
{
    p.setPen(whitePen(2.0));
    p.drawLine(QPointF(r.left() + 2, r.bottom() - 2), QPointF(r.right() - 2, r.bottom() - 2));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 170));
    const qreal w = r.width() * 0.14;
    const qreal heights[] = { 0.35, 0.6, 0.45, 0.8 };
    for (int i = 0; i < 4; ++i) {
        const qreal x = r.left() + r.width() * (0.12 + i * 0.21);
        const qreal h = r.height() * heights[i];
        p.drawRect(QRectF(x, r.bottom() - 4 - h, w, h));
    }
    p.setPen(whitePen(2.2));
    p.setBrush(Qt::NoBrush);
    QPainterPath curve;
    curve.moveTo(r.left() + 3, r.top() + r.height() * 0.55);
    curve.cubicTo(r.left() + r.width() * 0.35, r.top() + r.height() * 0.05,
                  r.left() + r.width() * 0.55, r.top() + r.height() * 0.65, r.right() - 3,
                  r.top() + r.height() * 0.1);
    p.drawPath(curve);
}

// Settings and help: a gear.
void drawGear(QPainter &p, const QRectF &r)
{
    const QPointF c = r.center();
    const qreal outer = r.width() * 0.46;
    const qreal inner = r.width() * 0.34;
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 4; ++i) {
        const qreal angle = i * 3.14159265358979 * 2 / (teeth * 4);
        const qreal radius = (i % 4 == 1 || i % 4 == 2) ? outer : inner;
        const QPointF pt(c.x() + radius * std::cos(angle), c.y() + radius * std::sin(angle));
        if (i == 0)
            gear.moveTo(pt);
        else
            gear.lineTo(pt);
    }
    gear.closeSubpath();
    gear.addEllipse(c, r.width() * 0.14, r.width() * 0.14);
    gear.setFillRule(Qt::OddEvenFill);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(gear);
}

bool save(const QImage &image, const QString &path, const char *format = nullptr, int quality = -1)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (image.save(path, format, quality))
        return true;
    std::fprintf(stderr, "rcan-artwork: cannot write %s\n", qPrintable(path));
    return false;
}

QImage toolBarImage(const IconPainter &icon, bool hover)
{
    QImage image(124, 80, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (hover) {
        QLinearGradient g(0, 0, 0, 80);
        g.setColorAt(0, bandHover);
        g.setColorAt(1, band);
        p.fillRect(image.rect(), g);
        p.fillRect(QRect(0, 77, 124, 3), QColor(120, 200, 255));
    } else {
        p.fillRect(image.rect(), band);
    }
    // The caption sits below the top padding of the button; the icon takes the space above it.
    icon(p, QRectF(47, 8, 30, 30));
    return image;
}

QImage windowButton(const std::function<void(QPainter &)> &glyph)
{
    QImage image(30, 30, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    glyph(p);
    return image;
}

QImage questionMark()
{
    QImage image(30, 30, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(whitePen(1.6));
    p.drawEllipse(QRectF(7.5, 7.5, 15, 15));
    QPainterPath hook;
    hook.moveTo(12.6, 12.8);
    hook.cubicTo(12.6, 10.2, 17.4, 10.2, 17.4, 12.8);
    hook.cubicTo(17.4, 14.6, 15, 14.8, 15, 17);
    p.drawPath(hook);
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(15, 19.6), 1, 1);
    return image;
}

QImage checkMark()
{
    QImage image(13, 13, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x64, 0x95, 0xED), 1));
    p.drawRect(QRectF(0.5, 0.5, 12, 12));
    p.setPen(QPen(band, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(3, 6.8);
    tick.lineTo(5.4, 9.2);
    tick.lineTo(10, 3.8);
    p.drawPath(tick);
    return image;
}

// Spin box arrow: a filled triangle, drawn at twice the size it is shown for sharp edges on
// high-density screens and smooth ones elsewhere.
QImage spinArrow(bool up, const QColor &colour)
{
    QImage image(18, 10, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const qreal tip = up ? 0.5 : 9.5;
    const qreal base = up ? 9.5 : 0.5;
    p.drawPolygon(QPolygonF({ QPointF(1, base), QPointF(17, base), QPointF(9, tip) }));
    return image;
}

// The emblem: a rounded square carrying a differential bus signal.
void drawEmblem(QPainter &p, const QRectF &r, const QColor &fill, const QColor &line)
{
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(r, r.width() * 0.2, r.width() * 0.2);
    const qreal x0 = r.left() + r.width() * 0.16;
    const qreal x1 = r.right() - r.width() * 0.16;
    const qreal step = (x1 - x0) / 5;
    const qreal hi = r.top() + r.height() * 0.3;
    const qreal lo = r.top() + r.height() * 0.7;
    const int levels[] = { 1, 0, 0, 1, 0 };
    QPainterPath high;
    QPainterPath low;
    high.moveTo(x0, levels[0] ? hi : r.center().y() - r.height() * 0.04);
    low.moveTo(x0, levels[0] ? lo : r.center().y() + r.height() * 0.04);
    for (int i = 0; i < 5; ++i) {
        const qreal yh = levels[i] ? hi : r.center().y() - r.height() * 0.04;
        const qreal yl = levels[i] ? lo : r.center().y() + r.height() * 0.04;
        high.lineTo(x0 + i * step, yh);
        high.lineTo(x0 + (i + 1) * step, yh);
        low.lineTo(x0 + i * step, yl);
        low.lineTo(x0 + (i + 1) * step, yl);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(
        QPen(line, qMax<qreal>(1.2, r.width() * 0.06), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.drawPath(high);
    QColor faded = line;
    faded.setAlpha(150);
    p.setPen(
        QPen(faded, qMax<qreal>(1.2, r.width() * 0.06), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.drawPath(low);
}

void drawWordmark(
    QPainter &p, const QPointF &baseline, qreal size, const QColor &strong, const QColor &light)
{
    QFont bold(QStringLiteral("DejaVu Sans"));
    bold.setPixelSize(qRound(size));
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(strong);
    const QString rcan = QStringLiteral("RCAN");
    p.drawText(baseline, rcan);
    const qreal advance = QFontMetricsF(bold).horizontalAdvance(rcan);
    QFont thin = bold;
    thin.setBold(false);
    p.setFont(thin);
    p.setPen(light);
    p.drawText(QPointF(baseline.x() + advance + size * 0.25, baseline.y()),
               QStringLiteral("Tools"));
}

QImage logoStrip()
{
    QImage image(276, 80, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.fillRect(image.rect(), band);
    drawEmblem(p, QRectF(18, 18, 44, 44), Qt::white, band);
    drawWordmark(p, QPointF(74, 46), 26, Qt::white, QColor(170, 215, 245));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(10);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 1.6);
    p.setFont(small);
    p.setPen(QColor(170, 215, 245));
    p.drawText(QPointF(75, 62), QStringLiteral("CAN BUS ANALYSER"));
    p.setPen(QPen(edge, 1));
    p.drawLine(QPointF(275.5, 12), QPointF(275.5, 68));
    return image;
}

QImage aboutLogo()
{
    QImage image(540, 80, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.fillRect(image.rect(), Qt::white);
    drawEmblem(p, QRectF(14, 10, 58, 58), band, Qt::white);
    drawWordmark(p, QPointF(88, 46), 34, band, QColor(46, 130, 190));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(11);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 2.4);
    p.setFont(small);
    p.setPen(QColor(90, 110, 130));
    p.drawText(QPointF(90, 65), QStringLiteral("TWO-CHANNEL USB-CAN ANALYSER"));
    QLinearGradient rule(0, 0, 540, 0);
    rule.setColorAt(0, band);
    rule.setColorAt(1, QColor(255, 255, 255));
    p.fillRect(QRectF(14, 77, 526, 2), rule);
    return image;
}

QImage windowIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawEmblem(p, QRectF(0.5, 0.5, size - 1, size - 1), band, Qt::white);
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: rcan-artwork <resource-output-dir> <runtime-dir>\n");
        return 2;
    }
    const QString res = args.at(1);
    const QString runtime = args.at(2);

    struct ToolBarPicture
    {
        const char *normal;
        const char *hover;
        IconPainter icon;
    };
    const ToolBarPicture bar[] = {
        { "bar_manageV2.png", "bar_manageV1.jpg", drawDevice },
        { "bar_sendV2.png", "bar_sendV1.jpg", drawSend },
        { "bar_prectV2.png", "bar_prectV1.jpg", drawLoad },
        { "bar_helpV2.png", "bar_helpv1.jpg", drawGear },
    };
    bool ok = true;
    for (const ToolBarPicture &b : bar) {
        ok &= save(toolBarImage(b.icon, false),
                   res + QStringLiteral("/images2/") + QLatin1String(b.normal));
        ok &= save(toolBarImage(b.icon, true).convertToFormat(QImage::Format_RGB32),
                   res + QStringLiteral("/images2/") + QLatin1String(b.hover), "JPG", 95);
    }
    ok &= save(logoStrip(), res + QStringLiteral("/images2/logo_1.png"));
    ok &= save(checkMark(), res + QStringLiteral("/images2/check2.png"));
    const QColor arrow(0x41, 0x69, 0xE1);
    const QColor arrowOff(0xBB, 0xBB, 0xBB);
    ok &= save(spinArrow(true, arrow), res + QStringLiteral("/images2/spin_up.png"));
    ok &= save(spinArrow(false, arrow), res + QStringLiteral("/images2/spin_down.png"));
    ok &= save(spinArrow(true, arrowOff), res + QStringLiteral("/images2/spin_up_off.png"));
    ok &= save(spinArrow(false, arrowOff), res + QStringLiteral("/images2/spin_down_off.png"));
    ok &= save(questionMark(), res + QStringLiteral("/image/msg_question.png"));
    ok &= save(
        windowButton([](QPainter &p) { p.drawLine(QPointF(9.5, 15.5), QPointF(20.5, 15.5)); }),
        res + QStringLiteral("/Images/White/minimizeHover.png"));
    ok &= save(windowButton([](QPainter &p) { p.drawRect(QRectF(9.5, 9.5, 11, 11)); }),
               res + QStringLiteral("/Images/White/maximizeHover.png"));
    ok &= save(windowButton([](QPainter &p) {
                   p.drawLine(QPointF(10, 10), QPointF(20, 20));
                   p.drawLine(QPointF(20, 10), QPointF(10, 20));
               }),
               res + QStringLiteral("/Images/White/closeHover.png"));
    ok &= save(aboutLogo(), runtime + QStringLiteral("/resource/images2/Rivex_LOGO.png"));
    ok &= save(windowIcon(32), runtime + QStringLiteral("/resource/favicon.ico"), "ICO");
    return ok ? 0 : 1;
}
