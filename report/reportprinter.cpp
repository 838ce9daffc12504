// SPDX-License-Identifier: GPL-3.0-or-later
#include "reportprinter.h"

#include <reportwriter.h>

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <limits>

namespace {

constexpr qreal MarginMm = 15;

void drawBand(QPainter *painter, const QRectF &band, const QString &text, Qt::Alignment align,
              bool lineBelow)
{
    painter->drawText(band, align | Qt::AlignVCenter, text);
    const qreal y = lineBelow ? band.bottom() : band.top();
    painter->drawLine(QPointF(band.left(), y), QPointF(band.right(), y));
}

// The document laid out as one tall strip, cut into pages only where a cut
// harms nothing: between blocks or table rows, never just below a heading,
// always before a block that asks for a new page. A page that continues a
// table repeats its header row.
class PageCutter
{
public:
    struct Page
    {
        qreal top = 0;
        qreal bottom = 0;
        qreal headerTop = 0; // the continued table's header row, if headerBottom > headerTop
        qreal headerBottom = 0;
    };

    PageCutter(const QTextDocument &document, qreal pageHeight)
        : m_layout(document.documentLayout())
    {
        m_layout->documentSize(); // the whole document laid out first
        collect(document.rootFrame());
        m_cuts.append({m_layout->documentSize().height(), true, true, 0, 0});
        paginate(pageHeight);
    }

    const QVector<Page> &pages() const { return m_pages; }

private:
    struct Cut
    {
        qreal y;
        bool allowed; // not just below a heading
        bool forced;  // a new page starts here
        qreal headerTop;
        qreal headerBottom;
    };

    void collect(QTextFrame *root)
    {
        bool afterHeading = false;
        for (QTextFrame::iterator it = root->begin(); !it.atEnd(); ++it) {
            if (auto *table = qobject_cast<QTextTable *>(it.currentFrame())) {
                m_cuts.append(
                    {m_layout->frameBoundingRect(table).top(), !afterHeading, false, 0, 0});
                addRows(table);
                afterHeading = false;
                continue;
            }
            // Qt may leave an empty block after a table whose rectangle is
            // not where it is drawn: it is no place to cut.
            const QTextBlock block = it.currentBlock();
            if (!block.isValid() || block.text().isEmpty())
                continue;
            const bool forced
                = block.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore;
            m_cuts.append({m_layout->blockBoundingRect(block).top(), !afterHeading, forced, 0, 0});
            afterHeading = block.blockFormat().headingLevel() > 0;
        }
    }

    void addRows(QTextTable *table)
    {
        QVector<qreal> tops(table->rows(), std::numeric_limits<qreal>::max());
        QVector<qreal> bottoms(table->rows(), 0);
        for (int row = 0; row < table->rows(); ++row) {
            for (int column = 0; column < table->columns(); ++column) {
                const QTextTableCell cell = table->cellAt(row, column);
                tops[row]
                    = qMin(tops.at(row),
                           m_layout->blockBoundingRect(cell.firstCursorPosition().block()).top());
                bottoms[row]
                    = qMax(bottoms.at(row),
                           m_layout->blockBoundingRect(cell.lastCursorPosition().block()).bottom());
            }
        }
        // Just below the middle of the gap between two rows' text: the border
        // line between them stays on the page that ends there.
        const auto between = [&](int row) {
            return bottoms.at(row - 1) + (tops.at(row) - bottoms.at(row - 1)) * 0.6;
        };
        const int headerRows = table->format().headerRowCount();
        const qreal headerTop = m_layout->frameBoundingRect(table).top();
        const qreal headerBottom
            = headerRows > 0 && headerRows < table->rows() ? between(headerRows) : headerTop;
        for (int row = qMax(1, headerRows); row < table->rows(); ++row)
            m_cuts.append({between(row), true, false, headerTop, headerBottom});
    }

    void paginate(qreal pageHeight)
    {
        Page page;
        int next = 0;
        while (next < m_cuts.size() && page.top < m_cuts.last().y) {
            // A header row that would leave less than half a page is not repeated.
            if (page.headerBottom - page.headerTop > pageHeight / 2)
                page.headerTop = page.headerBottom = 0;
            const qreal limit = page.top + pageHeight - (page.headerBottom - page.headerTop);
            int chosen = -1;
            for (int i = next; i < m_cuts.size() && m_cuts.at(i).y <= limit; ++i) {
                if (m_cuts.at(i).y <= page.top)
                    continue;
                if (m_cuts.at(i).allowed || m_cuts.at(i).forced)
                    chosen = i;
                if (m_cuts.at(i).forced)
                    break;
            }
            // Something taller than a page is cut where the page ends.
            const Cut cut = chosen >= 0 ? m_cuts.at(chosen) : Cut{limit, true, false, 0, 0};
            page.bottom = cut.y;
            m_pages.append(page);
            page = {cut.y, 0, cut.headerTop, cut.headerBottom};
            next = chosen >= 0 ? chosen + 1 : next;
        }
    }

    QAbstractTextDocumentLayout *m_layout; // the document's
    QVector<Cut> m_cuts;
    QVector<Page> m_pages;
};

void drawSlice(QPainter *painter, QTextDocument *document, qreal top, qreal bottom, qreal at)
{
    painter->save();
    painter->translate(0, at - top);
    const QRectF clip(0, top, document->textWidth(), bottom - top);
    painter->setClipRect(clip);
    document->drawContents(painter, clip);
    painter->restore();
}

} // namespace

int ReportPrinter::print(const Report &report, QPagedPaintDevice *device)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return 0;
    QTextDocument document;
    document.documentLayout()->setPaintDevice(device);
    document.setDocumentMargin(0);
    document.setHtml(reportHtml(report));

    QPainter painter;
    if (!painter.begin(device))
        return 0;
    QFont font = document.defaultFont();
    font.setPointSizeF(8);
    painter.setFont(font);
    const qreal width = device->width();
    const qreal band = painter.fontMetrics().height() * 2;
    const qreal bodyHeight = device->height() - 2 * band;
    if (bodyHeight < band)
        return 0; // no room for any text
    document.setTextWidth(width);
    const QVector<PageCutter::Page> pages = PageCutter(document, bodyHeight).pages();
    for (int i = 0; i < pages.size(); ++i) {
        const PageCutter::Page &page = pages.at(i);
        if (i > 0)
            device->newPage();
        drawBand(&painter, QRectF(0, 0, width, band * 0.8), report.pageHeader, Qt::AlignLeft, true);
        drawBand(&painter, QRectF(0, band + bodyHeight + band * 0.2, width, band * 0.8),
                 QStringLiteral("Страница %1 из %2").arg(i + 1).arg(pages.size()), Qt::AlignHCenter,
                 false);
        const qreal header = page.headerBottom - page.headerTop;
        if (header > 0)
            drawSlice(&painter, &document, page.headerTop, page.headerBottom, band);
        drawSlice(&painter, &document, page.top, page.bottom, band + header);
    }
    painter.end();
    return pages.size();
}

void ReportPrinter::setUpPage(QPagedPaintDevice *device)
{
    device->setPageSize(QPageSize(QPageSize::A4));
    device->setPageMargins(QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm),
                           QPageLayout::Millimeter);
}

bool ReportPrinter::writePdf(const Report &report, const QString &path, QString *error)
{
    QPdfWriter writer(path);
    setUpPage(&writer);
    writer.setTitle(report.title);
    writer.setCreator(QStringLiteral("brk-configurator " BRK_VERSION));
    if (print(report, &writer) > 0)
        return true;
    if (error)
        *error = QStringLiteral("не удалось записать «%1»").arg(path);
    return false;
}
