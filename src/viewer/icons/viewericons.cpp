#include "viewer/icons/viewericons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>
#include <map>

namespace velmora {

namespace {

// Every glyph is drawn on a 24 x 24 canvas; strokes of 1.5 units become one device pixel at 16 px.
const QColor kInk(0x3a, 0x3f, 0x47);
const QColor kPaper(0xfb, 0xfb, 0xf8);
const QColor kBlue(0x2f, 0x6d, 0xb5);
const QColor kGreen(0x2e, 0x8b, 0x57);
const QColor kYellow(0xe9, 0xb9, 0x4a);
const QColor kRed(0xc4, 0x45, 0x36);
const QColor kGrey(0x9a, 0xa0, 0xa6);

QPen ink(qreal width = 1.5, const QColor &color = kInk)
{
    QPen pen(color, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

// A sheet of paper with a folded corner, the base of the document glyphs.
void page(QPainter &p, const QRectF &r, const QColor &fill = kPaper)
{
    const qreal fold = 5;
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(ink());
    p.setBrush(fill);
    p.drawPath(path);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold),
                              QPointF(r.right(), r.top() + fold)}));
}

void textLines(QPainter &p, qreal left, qreal right, qreal top, int count, qreal step = 3.5,
               const QColor &color = kGrey)
{
    p.setPen(ink(1.5, color));
    for (int i = 0; i < count; ++i)
        p.drawLine(QPointF(left, top + i * step), QPointF(right - (i % 2) * 2, top + i * step));
}

void triangle(QPainter &p, QPointF a, QPointF b, QPointF c, const QColor &fill)
{
    p.setPen(ink(1.2, fill.darker(140)));
    p.setBrush(fill);
    p.drawPolygon(QPolygonF({a, b, c}));
    p.setBrush(Qt::NoBrush);
}

void drawOpen(QPainter &p)
{
    QPainterPath back;
    back.moveTo(2.5, 19.5);
    back.lineTo(2.5, 5.5);
    back.lineTo(8.5, 5.5);
    back.lineTo(10.5, 7.5);
    back.lineTo(18.5, 7.5);
    back.lineTo(18.5, 10.5);
    p.setPen(ink());
    p.setBrush(kYellow.darker(115));
    p.drawPath(back);
    QPainterPath front;
    front.moveTo(2.5, 19.5);
    front.lineTo(6, 10.5);
    front.lineTo(21.5, 10.5);
    front.lineTo(18.5, 19.5);
    front.closeSubpath();
    p.setBrush(kYellow);
    p.drawPath(front);
}

void floppy(QPainter &p)
{
    QPainterPath body;
    body.moveTo(3.5, 3.5);
    body.lineTo(17.5, 3.5);
    body.lineTo(20.5, 6.5);
    body.lineTo(20.5, 20.5);
    body.lineTo(3.5, 20.5);
    body.closeSubpath();
    p.setPen(ink());
    p.setBrush(kBlue);
    p.drawPath(body);
    p.setBrush(kPaper);
    p.drawRect(QRectF(7, 3.5, 9, 6));        // shutter
    p.setBrush(kPaper);
    p.drawRect(QRectF(6.5, 13, 11, 7.5));    // label
    p.setBrush(Qt::NoBrush);
    p.setPen(ink(1.5, kBlue));
    p.drawLine(QPointF(13.5, 5), QPointF(13.5, 8));
}

void drawSave(QPainter &p)
{
    floppy(p);
}

void drawSaveAs(QPainter &p)
{
    p.save();
    p.translate(-1.5, -1.5);
    floppy(p);
    p.restore();
    // A pencil across the corner says "under a new name".
    p.save();
    p.translate(17.5, 17.5);
    p.rotate(-45);
    p.setPen(ink(1.2));
    p.setBrush(kRed);
    p.drawRect(QRectF(-5, -2, 8.5, 4));
    p.setBrush(kPaper);
    p.drawPolygon(QPolygonF({QPointF(3.5, -2), QPointF(7, 0), QPointF(3.5, 2)}));
    p.restore();
}

void drawPrint(QPainter &p)
{
    p.setPen(ink());
    p.setBrush(kPaper);
    p.drawRect(QRectF(6.5, 2.5, 11, 7));          // paper going in
    p.setBrush(kGrey);
    p.drawRoundedRect(QRectF(2.5, 9.5, 19, 8), 1.5, 1.5);
    p.setBrush(kPaper);
    p.drawRect(QRectF(6.5, 14.5, 11, 7));         // printed sheet
    textLines(p, 8.5, 15.5, 17, 2, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(18.5, 12), 1, 1);
}

void drawPrintPreview(QPainter &p)
{
    page(p, QRectF(3.5, 2.5, 13, 18));
    textLines(p, 6, 13.5, 7, 3);
    p.setPen(ink(2));
    p.setBrush(QColor(0xdd, 0xea, 0xf7));
    p.drawEllipse(QPointF(14, 14), 4.2, 4.2);
    p.setPen(ink(2.5));
    p.drawLine(QPointF(17, 17), QPointF(21, 21));
}

void drawFitCols(QPainter &p)
{
    page(p, QRectF(5.5, 2.5, 13, 19));
    // Two arrows pressing the columns in from both sides.
    p.setPen(ink(1.5, kBlue));
    p.drawLine(QPointF(1, 12), QPointF(9, 12));
    p.drawLine(QPointF(23, 12), QPointF(15, 12));
    triangle(p, QPointF(10.5, 12), QPointF(7, 9), QPointF(7, 15), kBlue);
    triangle(p, QPointF(13.5, 12), QPointF(17, 9), QPointF(17, 15), kBlue);
}

void drawExportXLS(QPainter &p)
{
    p.setPen(ink());
    p.setBrush(kPaper);
    p.drawRect(QRectF(2.5, 3.5, 19, 17));
    p.setPen(ink(1, kGreen));
    for (qreal y = 8; y < 20; y += 4)
        p.drawLine(QPointF(3, y), QPointF(21, y));
    for (qreal x = 8.5; x < 21; x += 6)
        p.drawLine(QPointF(x, 4), QPointF(x, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawRect(QRectF(3.2, 4.2, 17.6, 3.3));
}

void drawExportHTML(QPainter &p)
{
    p.setPen(ink());
    p.setBrush(QColor(0xdd, 0xea, 0xf7));
    p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
    p.setBrush(Qt::NoBrush);
    p.setPen(ink(1.2, kBlue));
    p.drawEllipse(QPointF(12, 12), 4, 9.5);
    p.drawLine(QPointF(2.5, 12), QPointF(21.5, 12));
    p.drawLine(QPointF(4, 7), QPointF(20, 7));
    p.drawLine(QPointF(4, 17), QPointF(20, 17));
}

void drawExportTXT(QPainter &p)
{
    page(p, QRectF(4.5, 2.5, 15, 19));
    textLines(p, 7, 17, 8, 4, 3.5, kInk);
}

void envelope(QPainter &p, const QRectF &r)
{
    p.setPen(ink());
    p.setBrush(kPaper);
    p.drawRect(r);
    p.drawPolyline(QPolygonF({r.topLeft(), QPointF(r.center().x(), r.center().y() + 1), r.topRight()}));
}

void drawExportEmail(QPainter &p)
{
    envelope(p, QRectF(2.5, 6.5, 16, 11));
    // A paper clip: the attachment.
    p.setPen(ink(1.5, kBlue));
    QPainterPath clip;
    clip.moveTo(20, 21);
    clip.lineTo(20, 8);
    clip.arcTo(QRectF(16.5, 4.5, 7, 7), 0, 180);
    clip.lineTo(16.5, 18);
    clip.arcTo(QRectF(16.5, 16.5, 3.5, 3.5), 180, 180);
    clip.lineTo(20, 10);
    p.drawPath(clip);
}

void drawSummary(QPainter &p)
{
    p.setPen(ink());
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(2.5, 2.5, 19, 19), 2.5, 2.5);
    p.setPen(ink(2, kBlue));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(16.5, 7), QPointF(16.5, 6), QPointF(7.5, 6), QPointF(12.5, 12),
                              QPointF(7.5, 18), QPointF(16.5, 18), QPointF(16.5, 17)}));
}

void drawFields(QPainter &p)
{
    for (int i = 0; i < 3; ++i) {
        const qreal y = 3.5 + i * 6.5;
        p.setPen(ink());
        p.setBrush(kPaper);
        p.drawRect(QRectF(2.5, y, 5, 5));
        if (i != 1) {
            p.setPen(ink(1.5, kGreen));
            p.drawPolyline(QPolygonF({QPointF(3.5, y + 2.5), QPointF(4.8, y + 4), QPointF(7, y + 1)}));
        }
        p.setPen(ink(2, i == 1 ? kGrey : kInk));
        p.drawLine(QPointF(10.5, y + 2.5), QPointF(21, y + 2.5));
    }
}

void drawGroup(QPainter &p)
{
    // Two group headings, each with its rows indented under it.
    for (int g = 0; g < 2; ++g) {
        const qreal y = 2.5 + g * 10;
        p.setPen(ink());
        p.setBrush(kBlue);
        p.drawRect(QRectF(2.5, y, 19, 3.5));
        p.setPen(ink(1.5, kGrey));
        p.drawLine(QPointF(4.5, y + 3.5), QPointF(4.5, y + 8));
        p.drawLine(QPointF(4.5, y + 6), QPointF(8, y + 6));
        p.setPen(ink(1.5));
        p.drawLine(QPointF(9.5, y + 6), QPointF(21, y + 6));
    }
}

void drawSort(QPainter &p)
{
    QFont font;
    font.setFamily(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(9);
    p.setFont(font);
    p.setPen(kInk);
    p.drawText(QRectF(1, 1, 12, 10), Qt::AlignCenter, QStringLiteral("A"));
    p.drawText(QRectF(1, 12, 12, 10), Qt::AlignCenter, QStringLiteral("Z"));
    p.setPen(ink(2, kBlue));
    p.drawLine(QPointF(17.5, 3), QPointF(17.5, 17));
    triangle(p, QPointF(17.5, 22), QPointF(13.5, 16), QPointF(21.5, 16), kBlue);
}

void drawShowGroupByBox(QPainter &p)
{
    // The group-by box (dashed) over the grid's column headings.
    QPen dashed = ink(1.2, kBlue);
    dashed.setDashPattern({2, 1.5});
    p.setPen(dashed);
    p.setBrush(QColor(0xdd, 0xea, 0xf7));
    p.drawRect(QRectF(2.5, 2.5, 19, 7));
    p.setPen(ink(1.2));
    p.setBrush(kBlue);
    p.drawRect(QRectF(5, 4.5, 8, 3));
    p.setBrush(kPaper);
    p.drawRect(QRectF(2.5, 12.5, 19, 9));
    p.setBrush(kGrey);
    p.drawRect(QRectF(2.5, 12.5, 19, 3));
    p.drawLine(QPointF(9, 12.5), QPointF(9, 21.5));
    p.drawLine(QPointF(15, 12.5), QPointF(15, 21.5));
}

void drawViews(QPainter &p)
{
    for (int i = 1; i >= 0; --i) {
        const QRectF r(2.5 + i * 6, 2.5 + i * 5, 13, 14);
        p.setPen(ink());
        p.setBrush(i == 0 ? kPaper : QColor(0xdd, 0xea, 0xf7));
        p.drawRoundedRect(r, 1.5, 1.5);
        p.setPen(ink(1.5, kBlue));
        p.drawLine(QPointF(r.left() + 2.5, r.top() + 3.5), QPointF(r.left() + 7, r.top() + 3.5));
        p.setPen(ink(1.5, kGrey));
        p.drawLine(QPointF(r.left() + 2.5, r.top() + 7), QPointF(r.right() - 2.5, r.top() + 7));
        p.drawLine(QPointF(r.left() + 2.5, r.top() + 10.5), QPointF(r.right() - 4, r.top() + 10.5));
    }
}

void arrowLeft(QPainter &p, qreal tipX)
{
    triangle(p, QPointF(tipX, 12), QPointF(tipX + 8, 5), QPointF(tipX + 8, 19), kBlue);
}

void arrowRight(QPainter &p, qreal tipX)
{
    triangle(p, QPointF(tipX, 12), QPointF(tipX - 8, 5), QPointF(tipX - 8, 19), kBlue);
}

void bar(QPainter &p, qreal x)
{
    p.setPen(ink(1.2, kBlue.darker(140)));
    p.setBrush(kBlue);
    p.drawRect(QRectF(x, 5, 2.5, 14));
}

void drawMoveFirst(QPainter &p)
{
    bar(p, 4);
    arrowLeft(p, 8);
}

void drawMovePrevious(QPainter &p)
{
    arrowLeft(p, 7);
}

void drawMoveNext(QPainter &p)
{
    arrowRight(p, 17);
}

void drawMoveLast(QPainter &p)
{
    arrowRight(p, 16);
    bar(p, 17.5);
}

using Painter = void (*)(QPainter &);

const std::map<QString, Painter> &glyphs()
{
    static const std::map<QString, Painter> table{
        {QStringLiteral("Open"), drawOpen},
        {QStringLiteral("Save"), drawSave},
        {QStringLiteral("SaveAs"), drawSaveAs},
        {QStringLiteral("Print"), drawPrint},
        {QStringLiteral("PrintPreview"), drawPrintPreview},
        {QStringLiteral("FitCols"), drawFitCols},
        {QStringLiteral("ExportXLS"), drawExportXLS},
        {QStringLiteral("ExportHTML"), drawExportHTML},
        {QStringLiteral("ExportTXT"), drawExportTXT},
        {QStringLiteral("ExportEmail"), drawExportEmail},
        {QStringLiteral("Summary"), drawSummary},
        {QStringLiteral("Fields"), drawFields},
        {QStringLiteral("Group"), drawGroup},
        {QStringLiteral("Sort"), drawSort},
        {QStringLiteral("ShowGroupByBox"), drawShowGroupByBox},
        {QStringLiteral("Views"), drawViews},
        {QStringLiteral("MoveFirst"), drawMoveFirst},
        {QStringLiteral("MovePrevious"), drawMovePrevious},
        {QStringLiteral("MoveNext"), drawMoveNext},
        {QStringLiteral("MoveLast"), drawMoveLast},
    };
    return table;
}

class GlyphEngine final : public QIconEngine {
public:
    explicit GlyphEngine(Painter draw, QString key) : m_draw(draw), m_key(std::move(key)) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal side = qMin(rect.width(), rect.height());
        if (side <= 0)
            return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setRenderHint(QPainter::TextAntialiasing);
        painter->translate(rect.left() + (rect.width() - side) / 2.0, rect.top() + (rect.height() - side) / 2.0);
        painter->scale(side / 24.0, side / 24.0);
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.35);
        m_draw(*painter);
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }

    QIconEngine *clone() const override { return new GlyphEngine(m_draw, m_key); }
    QString key() const override { return QStringLiteral("velmora-glyph"); }
    QString iconName() override { return m_key; }
    bool isNull() override { return false; }

private:
    Painter m_draw;
    QString m_key;
};

} // namespace

QIcon viewerIcon(const QString &key)
{
    const auto &table = glyphs();
    const auto it = table.find(key);
    if (it == table.end())
        return {};
    return QIcon(new GlyphEngine(it->second, key));
}

QStringList viewerIconKeys()
{
    QStringList keys;
    for (const auto &entry : glyphs())
        keys << entry.first;
    return keys;
}

} // namespace velmora
