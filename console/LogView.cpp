#include "console/LogView.h"

#include "common/ConsoleLog.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace quorvane {

namespace {
constexpr int kMargin = 4;
}

LogView::LogView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
}

void LogView::setLog(ConsoleLog *log)
{
    if (m_log)
        disconnect(m_log, nullptr, this, nullptr);
    m_log = log;
    if (m_log) {
        connect(m_log, &ConsoleLog::lineAppended, this, &LogView::onLineAppended);
        connect(m_log, &ConsoleLog::cleared, this, &LogView::onCleared);
    }
    onCleared();
    if (lineCount() > 0) {
        m_followLine = lineCount() - 1;
        refresh();
    }
}

int LogView::lineCount() const
{
    return m_log ? int(m_log->count()) : 0;
}

int LogView::lineHeight() const
{
    return std::max(1, fontMetrics().lineSpacing());
}

int LogView::pageLines() const
{
    return std::max(1, viewport()->height() / lineHeight());
}

int LogView::firstVisibleLine() const
{
    return verticalScrollBar()->value();
}

int LogView::lastVisibleLine() const
{
    return std::min(lineCount(), firstVisibleLine() + pageLines()) - 1;
}

bool LogView::isLineVisible(int index) const
{
    return index >= firstVisibleLine() && index <= lastVisibleLine();
}

void LogView::scrollToTop()
{
    m_followLine = -1;
    flush();
    verticalScrollBar()->setValue(0);
}

void LogView::scrollToEnd()
{
    m_followLine = lineCount() - 1;
    refresh();
}

void LogView::flush()
{
    if (m_pending)
        refresh();
}

void LogView::onLineAppended(const QString &, bool scroll)
{
    if (scroll)
        m_followLine = lineCount() - 1;
    schedule();
}

void LogView::onCleared()
{
    m_followLine = -1;
    m_measured = 0;
    m_longest = 0;
    m_anchor = m_cursor = -1;
    updateRanges();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

void LogView::schedule()
{
    if (m_pending)
        return;
    m_pending = true;
    QMetaObject::invokeMethod(this, &LogView::refresh, Qt::QueuedConnection);
}

void LogView::refresh()
{
    m_pending = false;
    if (m_log) {
        const QStringList &lines = m_log->lines();
        const int count = int(lines.size());
        for (int i = m_measured; i < count; ++i)
            m_longest = std::max(m_longest, int(lines.at(i).size()));
        m_measured = count;
    }
    updateRanges();
    if (m_followLine >= 0) {
        // As if the view had scrolled to the end when that line came: the
        // line sits at the bottom (or the view at the top, when all fits).
        verticalScrollBar()->setValue(std::max(0, m_followLine + 1 - pageLines()));
        horizontalScrollBar()->setValue(0);
        m_followLine = -1;
    }
    viewport()->update();
}

int LogView::contentWidth() const
{
    return m_longest * fontMetrics().horizontalAdvance(QLatin1Char('M')) + 2 * kMargin;
}

void LogView::updateRanges()
{
    const int page = pageLines();
    QScrollBar *vertical = verticalScrollBar();
    vertical->setPageStep(page);
    vertical->setRange(0, std::max(0, lineCount() - page));
    QScrollBar *horizontal = horizontalScrollBar();
    const int width = viewport()->width();
    horizontal->setPageStep(width);
    horizontal->setSingleStep(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 4);
    horizontal->setRange(0, std::max(0, contentWidth() - width));
}

void LogView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    if (!m_log)
        return;
    const QStringList &lines = m_log->lines();
    const int height = lineHeight();
    const int first = firstVisibleLine();
    const int last = std::min(int(lines.size()) - 1, first + viewport()->height() / height + 1);
    const int x = kMargin - horizontalScrollBar()->value();
    const int ascent = fontMetrics().ascent();
    const int selectionFirst = std::min(m_anchor, m_cursor);
    const int selectionLast = std::max(m_anchor, m_cursor);
    const QPalette &colours = palette();
    for (int i = first; i <= last; ++i) {
        const int top = (i - first) * height;
        const bool selected = m_anchor >= 0 && i >= selectionFirst && i <= selectionLast;
        if (selected) {
            painter.fillRect(QRect(0, top, viewport()->width(), height),
                             colours.brush(QPalette::Highlight));
            painter.setPen(colours.color(QPalette::HighlightedText));
        } else {
            painter.setPen(colours.color(QPalette::Text));
        }
        painter.drawText(x, top + ascent, lines.at(i));
    }
}

void LogView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    const bool atEnd = verticalScrollBar()->value() == verticalScrollBar()->maximum();
    updateRanges();
    if (atEnd)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void LogView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        updateRanges();
}

int LogView::lineAt(const QPoint &position) const
{
    const int line = firstVisibleLine() + position.y() / lineHeight();
    return std::clamp(line, 0, std::max(0, lineCount() - 1));
}

void LogView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || lineCount() == 0)
        return QAbstractScrollArea::mousePressEvent(event);
    const int line = lineAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier) || m_anchor < 0)
        m_anchor = line;
    m_cursor = line;
    viewport()->update();
}

void LogView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || m_anchor < 0)
        return;
    const QPoint position = event->position().toPoint();
    if (position.y() < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (position.y() > viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    m_cursor = lineAt(position);
    viewport()->update();
}

void LogView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->key() == Qt::Key_Home && (event->modifiers() & Qt::ControlModifier)) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    } else if (event->key() == Qt::Key_End && (event->modifiers() & Qt::ControlModifier)) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void LogView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copyAction = menu.addAction(tr("Copy"), this, &LogView::copy);
    copyAction->setEnabled(m_anchor >= 0);
    menu.addAction(tr("Select All"), this, &LogView::selectAll)->setEnabled(lineCount() > 0);
    menu.exec(event->globalPos());
}

void LogView::selectAll()
{
    if (lineCount() == 0)
        return;
    m_anchor = 0;
    m_cursor = lineCount() - 1;
    viewport()->update();
}

void LogView::clearSelection()
{
    m_anchor = m_cursor = -1;
    viewport()->update();
}

QString LogView::selectedText() const
{
    if (!m_log || m_anchor < 0)
        return {};
    const int first = std::min(m_anchor, m_cursor);
    const int last = std::min(std::max(m_anchor, m_cursor), lineCount() - 1);
    QStringList selected;
    for (int i = first; i <= last; ++i)
        selected.append(m_log->lines().at(i));
    return selected.join(QLatin1Char('\n'));
}

void LogView::copy() const
{
    const QString text = selectedText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

} // namespace quorvane
