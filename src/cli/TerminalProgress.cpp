#include "cli/TerminalProgress.h"

#include <cstdio>
#include <unistd.h>

namespace cli {
namespace {

constexpr int BarWidth = 24;
constexpr int NameWidth = 32;

void write(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

TerminalProgress::TerminalProgress(int total) : m_total(total), m_terminal(::isatty(STDERR_FILENO) == 1) {}

TerminalProgress::~TerminalProgress() {
    clear();
}

void TerminalProgress::show(int done, const QString& current, const QList<int>& percents) {
    if (!m_terminal)
        return;
    const int filled = m_total > 0 ? done * BarWidth / m_total : BarWidth;
    QString text = QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
                   QString(BarWidth - filled, QLatin1Char('-')) +
                   QStringLiteral("] %1/%2").arg(done).arg(m_total);
    for (int percent : percents)
        text += QStringLiteral(" %1%").arg(percent, 3);
    if (!m_left.isEmpty())
        text += QStringLiteral("  ") + m_left;
    QString name = current;
    if (name.size() > NameWidth)
        name = QStringLiteral("…") + name.right(NameWidth - 1);
    text += QStringLiteral("  ") + name;
    if (text == m_last)
        return;
    m_last = text;
    // Carriage return and erase-line: the bar is redrawn where it stands.
    write(QStringLiteral("\r\x1b[K") + text);
    m_drawn = true;
}

void TerminalProgress::line(const QString& text) {
    clear();
    write(text + QLatin1Char('\n'));
}

void TerminalProgress::clear() {
    if (m_drawn)
        write(QStringLiteral("\r\x1b[K"));
    m_drawn = false;
    m_last.clear();
}

} // namespace cli
