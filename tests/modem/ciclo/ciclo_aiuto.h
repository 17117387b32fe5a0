#pragma once
// The retrieval cycle on a real line: the simulated handset on a
// pseudo-terminal, a real database file, a recorded operator and progress
// window, and a report window that records what it was asked to show. The
// progress window and the report are also where a test steps in at a known
// moment of the cycle (after initialisation; after a read, before its
// deletion) to change the handset or the database.

#include "modem/Lettura.h"
#include "modem/Simulatore.h"
#include "store/Database.h"

#include <functional>
#include <memory>

namespace sorvela::prova {

struct Mostrato {
    QString codice;
    QString mittente;
    QString testo; // without the NULs of the PDU's padding
};

class ProgressoRegistrato : public Avanzamento {
public:
    void mostra(const QString& etichetta) override;
    void chiudi() override { aperto = false; }
    QStringList etichette;
    bool aperto = false;
    std::function<void()> allApertura; // runs once the cycle has initialised the handset
};

class BancoCiclo : public Banco {
public:
    BancoCiclo();
    std::unique_ptr<store::Database> db;
    ProgressoRegistrato progresso;
    QList<Mostrato> mostrati;
    // Runs after the n-th report (1-based) was shown, before its deletion.
    std::function<void(int n)> dopoMostrato;
    modem::CicloLettura ciclo;

    void collega(Simulatore& sim);
    modem::RiepilogoLettura leggi() { return ciclo.LetturaMessaggi(c); }
    void aggiungiUtente(const QString& codice, const QString& gsm);
    int conta(const QString& sql, const QVariantList& parametri = {});
    QStringList testiEventi(); // [Codice periferica] + " " + [Testo messaggio], in ID order
};

// The AT commands the handset received, without blank lines.
QStringList Comandi(Simulatore& sim);
// The store's messages as "INDEX STAT NUMBER TEXT".
QStringList Memoria(Simulatore& sim);

} // namespace sorvela::prova
