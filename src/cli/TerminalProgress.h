// The command line's progress bar: one line redrawn in place on a terminal's stderr, and nothing at all
// when stderr is not a terminal. Other lines (failures, notes) are printed through it so that they do not
// mix with the bar.
#pragma once

#include <QList>
#include <QString>

namespace cli {

class TerminalProgress {
  public:
    explicit TerminalProgress(int total);
    ~TerminalProgress();

    // Files done so far, the current file's name and the percentages of the files under way.
    void show(int done, const QString& current, const QList<int>& percents);
    // The number of files the bar counts to.
    void setTotal(int total) { m_total = total; }
    // Shown after the percentages ("1:05 left"); empty for none.
    void setTimeLeft(const QString& text) { m_left = text; }
    // A line of its own on stderr (always printed, terminal or not).
    void line(const QString& text);

  private:
    void clear();
    int m_total;
    QString m_left;
    const bool m_terminal;
    bool m_drawn = false;
    QString m_last;
};

} // namespace cli
