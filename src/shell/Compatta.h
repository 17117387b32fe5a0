#pragma once
// "Compatta database": the compaction runs away from the desk's thread while
// this small window, above all others, shows its step. The desk stays in use
// meanwhile; "Annulla" stops the run until the files are being swapped, and
// is gone from then on. When the run ends the window goes and the operator is
// told how it went. Closing the console ends the run first.

#include "platform/Contesto.h"
#include "shell/FinestraAttesa.h"
#include "store/Compattazione.h"

#include <QElapsedTimer>

#include <optional>

class QLabel;
class QPushButton;
class QTimer;

namespace sorvela {

class Compatta : public FinestraAttesa {
    Q_OBJECT
public:
    // `principale` is the main window: the run ends before it closes.
    Compatta(Contesto& ctx, QWidget* principale);

    void avvia();
    store::Compattazione* compattazione() const { return m_run; }
    QLabel* Label2() const { return m_passo; }
    QPushButton* cmdAnnulla() const { return m_annulla; }

    static QString testoPasso(store::Compattazione::Passo p);

signals:
    void finita(const sorvela::store::EsitoCompattazione& esito);

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    // How long the receiver may take to end its exchange and stand aside.
    static constexpr qint64 AttesaRicevitoreMs = 150000;
    void attendiRicevitore();
    void mostraPasso(store::Compattazione::Passo p);
    void concludi(const store::EsitoCompattazione& esito, bool avvisa);

    Contesto& m_ctx;
    store::Compattazione* m_run;
    std::optional<TickSospeso> m_tickFermo;
    QTimer* m_sonda = nullptr;        // looks at the receiver until it stands aside
    QElapsedTimer m_attesaRicevitore;
};

} // namespace sorvela
