// Throughput of what the console does with each stored SMS: split the reply,
// read the sender and the text, then classify and describe the text. One
// thread, replies prepared beforehand so only the reading is measured.
#include "events/grammar/GrammaticaRapporto.h"
#include "modem/pdu/CodificaPdu.h"
#include "modem/pdu/DecodificaPdu.h"

#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QStringList>

using namespace sorvela;

namespace {

QStringList risposte()
{
    const QStringList testi = {
        "credito: 12.40 euro; liv. batt. 75; segnale 4/5; rete NET1; sim S1; sw:V12.3",
        "credito: 1.50 euro; liv. batt. 15; segnale 2/5; rete NET1; sim S1; sw:V12.3",
        "ALLARME INGRESSO 3",
        "Credito: N/D; Liv. batt. 98; Segnale 5/5; Rete I TIM; Sim 3398765432; SW:4.01",
        "MANCANZA RETE ELETTRICA ZONA 2 - impianto di via Roma 14, Bergamo",
    };
    QStringList r;
    const QDateTime ora(QDate(2026, 3, 2), QTime(10, 0, 0));
    for (int i = 0; i < 64; ++i) {
        const QString mittente = (i % 2 ? "+39333" : "0352") + QString::number(1000000 + i * 7919);
        r << pdu::RispostaCmgr(i % 2, pdu::CodificaDeliver(mittente, testi[i % testi.size()], ora));
    }
    return r;
}

void DecodificaEClassifica(benchmark::State& stato)
{
    const QStringList r = risposte();
    qsizetype i = 0;
    for (auto _ : stato) {
        const QString& risposta = r[i++ % r.size()];
        const QString mittente = pdu::EstraiMittente(risposta);
        const QString testo = pdu::DecodificaSettetti(pdu::EstraiDatiPdu(risposta));
        const QString tipo = grammar::ClassificaEvento(testo);
        const QString descrizione = grammar::DescriviEvento(testo);
        benchmark::DoNotOptimize(pdu::NumeroNazionale(mittente));
        benchmark::DoNotOptimize(pdu::TogliNul(testo));
        benchmark::DoNotOptimize(tipo);
        benchmark::DoNotOptimize(descrizione);
    }
    stato.SetItemsProcessed(stato.iterations());
    stato.SetLabel("messages");
}

} // namespace

BENCHMARK(DecodificaEClassifica);
BENCHMARK_MAIN();
