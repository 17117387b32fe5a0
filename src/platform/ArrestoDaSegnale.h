#pragma once
// SIGTERM and SIGINT (logout, shutdown, Ctrl+C in a terminal) as a close
// request: the signal handler only writes a byte into a socket pair, and the
// notifier on its other end emits richiesto() on the user-interface thread,
// where the console closes as it does on "Esci".

#include <QObject>

class QSocketNotifier;

namespace sorvela {

class ArrestoDaSegnale : public QObject {
    Q_OBJECT
public:
    // One per process: the handlers are process-wide.
    explicit ArrestoDaSegnale(QObject* genitore = nullptr);
    ~ArrestoDaSegnale() override;

signals:
    void richiesto();

private:
    QSocketNotifier* m_notifica = nullptr;
};

} // namespace sorvela
