// SIGTERM, SIGHUP and SIGINT as a Qt signal on the thread that owns the watcher: a desktop logout, a
// system shutdown, a closed terminal or Ctrl-C becomes a request the program answers at a safe point of
// its event loop instead of a death in the middle of writing files.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace core {

class TerminationSignals : public QObject {
    Q_OBJECT

  public:
    // Takes over the three signals for as long as it lives (one watcher at a time).
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // Whether one of the signals came since the watcher took them over. Safe to poll where no event loop
    // runs (a conversion in this process), which `received` needs.
    [[nodiscard]] static bool anyReceived();

  signals:
    void received(int signalNumber);

  private:
    void readPending();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace core
