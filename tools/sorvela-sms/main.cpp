// sorvela-sms: the SMS decoding and the report grammar from the command line,
// for trying out what a unit sends and for scripting the simulated handset.

#include "events/grammar/GrammaticaRapporto.h"
#include "modem/pdu/AlfabetoGsm.h"
#include "modem/pdu/CodificaPdu.h"
#include "modem/pdu/Messaggio.h"
#include "modem/pdu/DecodificaPdu.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QStringList>

#include <charconv>
#include <cstdio>

namespace {

using namespace sorvela;

constexpr int kArgomentiErrati = 2;
constexpr int kFileIlleggibile = 1;

const char kUso[] =
    "Usage:\n"
    "  sorvela-sms decode [FILE]\n"
    "      Reads a whole reply to AT+CMGR (FILE, or standard input) and prints\n"
    "      {\"stat\", \"sender\", \"userData\", \"text\", \"testo\"} as one JSON object:\n"
    "      text holds the septet codes as they are, testo the text read through\n"
    "      the GSM alphabet (as the console stores it).\n"
    "  sorvela-sms classify TEXT\n"
    "      Reads TEXT as a unit's report and prints {\"credit\", \"creditAmount\",\n"
    "      \"network\", \"sim\", \"software\", \"battery\", \"signal\", \"type\",\n"
    "      \"description\"} as one JSON object.\n"
    "  sorvela-sms encode --from NUMBER [--stat N] [--] TEXT\n"
    "      Prints the whole reply to AT+CMGR a handset would send for an SMS from\n"
    "      NUMBER (\"+\" and digits for an international number, 1 to 20 digits)\n"
    "      with TEXT (1 to 160 ASCII characters) packed in 7 bits; N is the\n"
    "      stat of the reply: 0 (received unread, the default) or 1 (received\n"
    "      read).\n"
    "  sorvela-sms --help\n";

void scrivi(const QString& testo)
{
    const QByteArray utf8 = testo.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
}

int errore(const QString& messaggio)
{
    std::fprintf(stderr, "sorvela-sms: %s (see sorvela-sms --help)\n", qPrintable(messaggio));
    return kArgomentiErrati;
}

QString json(const QString& testo)
{
    QString r = QStringLiteral("\"");
    for (const QChar c : testo) {
        switch (c.unicode()) {
        case u'"': r += QStringLiteral("\\\""); break;
        case u'\\': r += QStringLiteral("\\\\"); break;
        case u'\n': r += QStringLiteral("\\n"); break;
        case u'\r': r += QStringLiteral("\\r"); break;
        case u'\t': r += QStringLiteral("\\t"); break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                r += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
            else
                r += c;
        }
    }
    return r + u'"';
}

// The shortest decimal text that reads back as the same single-precision
// value, so 12.4 prints as 12.4 and not as its double widening.
QString json(float valore)
{
    char buffer[32];
    const auto fine = std::to_chars(buffer, buffer + sizeof buffer, valore).ptr;
    return QString::fromLatin1(buffer, fine - buffer);
}

QString oggetto(const QList<std::pair<const char*, QString>>& campi)
{
    QString r = QStringLiteral("{");
    for (const auto& [nome, valore] : campi) {
        if (r.size() > 1)
            r += QStringLiteral(", ");
        r += json(QString::fromLatin1(nome)) + QStringLiteral(": ") + valore;
    }
    return r + QStringLiteral("}\n");
}

// The text as the console stores it: a message read whole by its coding
// scheme and, in 7 bits, through the GSM alphabet; otherwise the septets of
// the user data without the reply's tail, translated the same way.
QString testoTradotto(const QString& risposta, const QString& dati)
{
    const pdu::MessaggioRicevuto m = pdu::LeggiMessaggioRicevuto(risposta);
    if (m.valido)
        return m.testo;
    return pdu::TraduciAlfabetoGsm(pdu::TogliNul(pdu::DecodificaSettetti(dati)));
}

int decodifica(const QStringList& argomenti)
{
    if (argomenti.size() > 1)
        return errore(QStringLiteral("decode takes at most one FILE"));
    QFile file;
    bool aperto = false;
    if (argomenti.isEmpty() || argomenti[0] == u"-") {
        aperto = file.open(stdin, QIODevice::ReadOnly);
    } else {
        file.setFileName(argomenti[0]);
        aperto = file.open(QIODevice::ReadOnly);
    }
    if (!aperto) {
        std::fprintf(stderr, "sorvela-sms: cannot read %s: %s\n", qPrintable(argomenti.value(0, QStringLiteral("standard input"))),
                     qPrintable(file.errorString()));
        return kFileIlleggibile;
    }
    // The handset speaks ASCII; Latin-1 keeps any stray byte as one character
    // instead of failing on it.
    const QString risposta = QString::fromLatin1(file.readAll());
    const QString dati = pdu::EstraiDatiPdu(risposta);
    scrivi(oggetto({{"stat", json(pdu::DividiRisposta(risposta).stato)},
                    {"sender", json(pdu::EstraiMittente(risposta))},
                    {"userData", json(dati)},
                    {"text", json(pdu::DecodificaSettetti(dati))},
                    {"testo", json(testoTradotto(risposta, dati))}}));
    return 0;
}

int classifica(const QStringList& argomenti)
{
    if (argomenti.size() != 1)
        return errore(QStringLiteral("classify takes exactly one TEXT"));
    const grammar::Rapporto r = grammar::LeggiRapporto(argomenti[0]);
    scrivi(oggetto({{"credit", json(r.credito)},
                    {"creditAmount", json(r.importoCredito)},
                    {"network", json(r.rete)},
                    {"sim", json(r.sim)},
                    {"software", json(r.versioneSw)},
                    {"battery", QString::number(r.batteria)},
                    {"signal", QString::number(r.segnale)},
                    {"type", json(r.tipo)},
                    {"description", json(r.descrizione)}}));
    return 0;
}

bool numeroValido(const QString& numero)
{
    const QStringView cifre = QStringView(numero).mid(numero.startsWith(u'+') ? 1 : 0);
    if (cifre.isEmpty() || cifre.size() > 20)
        return false;
    for (const QChar c : cifre) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

int codifica(const QStringList& argomenti)
{
    QString mittente;
    int stat = 0;
    QStringList testi;
    bool opzioni = true;
    for (qsizetype i = 0; i < argomenti.size(); ++i) {
        const QString& a = argomenti[i];
        if (!opzioni) {
            testi << a;
        } else if (a == u"--") {
            opzioni = false; // a text may itself begin with "--"
        } else if (a == u"--from" || a == u"--stat") {
            if (i + 1 >= argomenti.size())
                return errore(a + QStringLiteral(" needs a value"));
            const QString valore = argomenti[++i];
            if (a == u"--from") {
                if (!numeroValido(valore))
                    return errore(QStringLiteral("--from wants 1 to 20 digits, optionally after \"+\": ") + valore);
                mittente = valore;
            } else {
                bool ok = false;
                stat = valore.toInt(&ok);
                // Stats 2 and 3 are messages stored for sending, a layout
                // the encoder does not write and decode would misread.
                if (!ok || stat < 0 || stat > 1)
                    return errore(QStringLiteral("--stat wants 0 (unread) or 1 (read), the two stats of a "
                                                 "received message: ") + valore);
            }
        } else if (a.startsWith(u"--")) {
            return errore(QStringLiteral("unknown option ") + a);
        } else {
            testi << a;
        }
    }
    if (mittente.isEmpty())
        return errore(QStringLiteral("encode needs --from NUMBER"));
    if (testi.size() != 1)
        return errore(QStringLiteral("encode takes exactly one TEXT"));
    const QString& testo = testi[0];
    if (testo.isEmpty() || testo.size() > 160)
        return errore(QStringLiteral("TEXT must be 1 to 160 characters long"));
    for (const QChar c : testo) {
        if (c.unicode() > 0x7F)
            return errore(QStringLiteral("TEXT must be ASCII: 7-bit packing carries no other character"));
    }
    scrivi(pdu::RispostaCmgr(stat, pdu::CodificaDeliver(mittente, testo, QDateTime::currentDateTime())));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList argomenti = app.arguments().mid(1);
    if (argomenti.isEmpty())
        return errore(QStringLiteral("missing command"));
    const QString comando = argomenti.takeFirst();
    if (comando == u"--help" || comando == u"-h" || comando == u"help") {
        std::fputs(kUso, stdout);
        return 0;
    }
    if (argomenti.contains(QStringLiteral("--help"))) {
        std::fputs(kUso, stdout);
        return 0;
    }
    if (comando == u"decode")
        return decodifica(argomenti);
    if (comando == u"classify")
        return classifica(argomenti);
    if (comando == u"encode")
        return codifica(argomenti);
    return errore(QStringLiteral("unknown command ") + comando);
}
