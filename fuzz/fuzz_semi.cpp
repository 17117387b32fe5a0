// Writes the seed corpus of the fuzz targets, made by the same encoder the
// simulated handset uses, so every target starts from well-formed input and
// mutates from there: fuzz-semi DIR fills DIR/fuzz_lettura, DIR/fuzz_elenco,
// DIR/fuzz_scambio and DIR/fuzz_rapporto.

#include "modem/pdu/CodificaPdu.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

using namespace sorvela::pdu;

namespace {

int scritti = 0;

void scrivi(const QString& cartella, const QByteArray& contenuto)
{
    QDir().mkpath(cartella);
    QFile f(QStringLiteral("%1/seme-%2").arg(cartella).arg(++scritti, 3, 10, QLatin1Char('0')));
    if (!f.open(QIODevice::WriteOnly) || f.write(contenuto) != contenuto.size()) {
        std::fprintf(stderr, "fuzz-semi: cannot write %s\n", qPrintable(f.fileName()));
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz-semi DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const QDateTime ora(QDate(2026, 3, 2), QTime(10, 5, 7));
    const QStringList testi = {
        QStringLiteral("credito: 12.50; liv. batt. 80; segnale 4/5; rete TIM; sim ok; sw:1.2."),
        QStringLiteral("credito: N/D; liv. batt. 15; segnale 1/5; rete ; sim scade; sw:2.0."),
        QStringLiteral("ALLARME INGRESSO 2"),
        QStringLiteral("x").repeated(160),
    };

    QStringList pdu;
    for (const QString& t : testi) {
        pdu << CodificaDeliver(QStringLiteral("+393351234567"), t, ora);
        pdu << CodificaDeliver(QStringLiteral("3351234567"), t, ora);
    }
    pdu << CodificaDeliverUcs2(QStringLiteral("+393351234567"), QStringLiteral("Città: allarme €"), ora);
    pdu << CodificaDeliverOttetti(QStringLiteral("+393351234567"), QByteArray::fromHex("00FF10"), ora);
    pdu << CodificaDeliverParte(QStringLiteral("+393351234567"), QStringLiteral("prima parte, "), 7, 2, 1, ora);
    pdu << CodificaDeliverParte(QStringLiteral("+393351234567"), QStringLiteral("seconda parte"), 7, 2, 2, ora);

    QString elenco = QStringLiteral("AT+CMGL=4\r");
    for (int k = 0; k < pdu.size(); ++k) {
        const QString r = RispostaCmgr(k % 4, pdu[k]);
        scrivi(dir + QStringLiteral("/fuzz_lettura"), r.toLatin1());
        // The same reply with its echo and a network line cutting its PDU line.
        QString conEco = QStringLiteral("AT+CMGR=1\r") + r;
        conEco.insert(conEco.indexOf(pdu[k]) + 10, QStringLiteral("\r\n+CREG: 1\r\n"));
        // fuzz_scambio's first byte 2 picks AT+CMGR=1 with the echo not known.
        scrivi(dir + QStringLiteral("/fuzz_scambio"), QByteArray(1, char(2)) + conEco.toLatin1());
        elenco += QStringLiteral("\r\n+CMGL: %1,%2,,%3\r\n%4").arg(k).arg(k % 2).arg(pdu[k].size() / 2 - 8).arg(pdu[k]);
    }
    elenco += QStringLiteral("\r\n\r\nOK\r\n");
    scrivi(dir + QStringLiteral("/fuzz_elenco"), elenco.toLatin1());
    scrivi(dir + QStringLiteral("/fuzz_elenco"), QByteArrayLiteral("\r\n+CMGL: 0,1,,23\r\n+CMTI: \"SM\",3\r\nOK\r\n"));
    scrivi(dir + QStringLiteral("/fuzz_scambio"), QByteArray(1, char(0)) + elenco.toLatin1());
    scrivi(dir + QStringLiteral("/fuzz_scambio"), QByteArrayLiteral("\x04\r\nOK\r\n\r\nNO CARRIER\r\n"));
    scrivi(dir + QStringLiteral("/fuzz_scambio"), QByteArrayLiteral("\x03" "AT+CMGD=1\r\r\n+CMS ERROR: 321\r\n"));

    // Inputs that once found a fault, replayed on every run.
    scrivi(dir + QStringLiteral("/fuzz_elenco"), QByteArrayLiteral("+CMGR: ,00001643172492\r\n0309\r93"));

    for (const QString& t : testi)
        scrivi(dir + QStringLiteral("/fuzz_rapporto"), t.toUtf8());
    for (const char* t : {"02/03/2026", "2.3.26", "2026-03-02 10:05:07", "2026-03-02", "1 250,50 euro", "-1e999"})
        scrivi(dir + QStringLiteral("/fuzz_rapporto"), QByteArray(t));
    std::printf("%d seeds in %s\n", scritti, qPrintable(dir));
    return 0;
}
