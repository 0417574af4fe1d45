#pragma once
// A read-only view over the console log's lines. It keeps no copy of the
// text: it paints only the lines in sight. Appending never lays out, scrolls
// or repaints per line: the view notes what changed and catches up once when
// control returns to the event loop, landing where it would have been had it
// scrolled after every line.

#include <QAbstractScrollArea>

namespace quorvane {

class ConsoleLog;

class LogView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit LogView(QWidget *parent = nullptr);

    void setLog(ConsoleLog *log);
    ConsoleLog *log() const { return m_log; }

    int lineCount() const;
    int lineHeight() const;
    // Whole lines that fit in the view.
    int pageLines() const;
    // Index of the top line in view, and of the last wholly visible one.
    int firstVisibleLine() const;
    int lastVisibleLine() const;
    bool isLineVisible(int index) const;

    void scrollToTop();
    void scrollToEnd();
    // Applies what the appended lines ask for now rather than at the next
    // turn of the event loop.
    void flush();

    // Selected lines (by index, inclusive), and copying them.
    void selectAll();
    void clearSelection();
    QString selectedText() const;
    void copy() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;

private slots:
    void onLineAppended(const QString &text, bool scroll);
    void onCleared();

private:
    void schedule();
    void refresh();
    void updateRanges();
    int lineAt(const QPoint &position) const;
    int contentWidth() const;

    ConsoleLog *m_log = nullptr;
    bool m_pending = false;
    int m_followLine = -1;   // line to bring into view at the next refresh
    int m_measured = 0;      // lines whose width is taken into account
    int m_longest = 0;       // characters of the longest line
    int m_anchor = -1, m_cursor = -1; // selection, line indices
};

} // namespace quorvane
