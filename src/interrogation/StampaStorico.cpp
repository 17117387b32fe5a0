#include "interrogation/StampaStorico.h"

#include "core/Orologio.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <cmath>

namespace sorvela {

namespace stampa {

QList<RigaStampata> ImpaginaVoce(const QStringList& celle, const std::function<double(const QString&)>& larghezza)
{
    QString testo = QStringLiteral("*\t");
    for (const QString& c : celle)
        testo += c + u'\t';

    QList<RigaStampata> righe;
    RigaStampata corrente;
    double x = 0;
    qsizetype inizio = 0;
    while (inizio < testo.size()) {
        qsizetype fine = inizio;
        while (fine < testo.size() && testo[fine] != u' ' && testo[fine] != u'\t')
            ++fine;
        const bool tab = fine < testo.size() && testo[fine] == u'\t';
        // The word keeps its blank (which is printed and measured); a tab is
        // not printed, it only moves on to the next stop.
        const QString parola = testo.mid(inizio, fine - inizio + (fine < testo.size() && !tab ? 1 : 0));
        inizio = fine + 1;

        const double w = parola.isEmpty() ? 0 : larghezza(parola);
        if (x > 0 && x + w > LarghezzaRiga) {
            righe << corrente;
            corrente.clear();
            x = 0;
        }
        if (!parola.isEmpty())
            corrente << Frammento{x, parola};
        x += w;
        if (tab)
            x = (std::floor(x / PassoTabulazione) + 1) * PassoTabulazione;
    }
    righe << corrente;
    return righe;
}

} // namespace stampa

namespace {

QFont carattere(double punti)
{
    QFont f;
    f.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif")});
    f.setStyleHint(QFont::Serif);
    f.setPointSizeF(punti);
    f.setBold(false);
    f.setItalic(false);
    f.setUnderline(false);
    f.setStrikeOut(false);
    return f;
}

} // namespace

bool DisegnaStorico(QPrinter& printer, const IntestazioneStorico& intestazione, const QList<QStringList>& righe)
{
    return DisegnaElenco(printer,
                         {QStringLiteral("Periferica ") + intestazione.codice, intestazione.nominativo,
                          intestazione.ragioneSociale},
                         righe);
}

bool DisegnaElenco(QPrinter& printer, const QStringList& intestazione, const QList<QStringList>& righe)
{
    QPainter p;
    if (!p.begin(&printer))
        return false;
    const double pixelPerTwip = printer.resolution() / 1440.0;
    const double altezzaPagina = printer.pageLayout().paintRectPixels(printer.resolution()).height();
    double y = 0;

    auto stampaRiga = [&](const QFont& f, const stampa::RigaStampata& riga) {
        const QFontMetricsF m(f, &printer);
        if (y > 0 && y + m.height() > altezzaPagina) {
            printer.newPage();
            y = 0;
        }
        p.setFont(f);
        for (const stampa::Frammento& fr : riga)
            p.drawText(QPointF(fr.x * pixelPerTwip, y + m.ascent()), fr.testo);
        y += m.lineSpacing();
    };
    auto testo = [](const QString& t) { return stampa::RigaStampata{stampa::Frammento{0, t}}; };

    const QFont piccolo = carattere(8);
    for (const QString& t : intestazione)
        stampaRiga(piccolo, testo(t));

    const QFont normale = carattere(10);
    stampaRiga(normale, {});
    const QFontMetricsF metriche(normale, &printer);
    const auto larghezza = [&](const QString& t) { return metriche.horizontalAdvance(t) / pixelPerTwip; };
    for (const QStringList& r : righe) {
        for (const stampa::RigaStampata& riga : stampa::ImpaginaVoce(r, larghezza))
            stampaRiga(normale, riga);
    }
    return p.end();
}

QString StampaStorico(Contesto& c, const IntestazioneStorico& intestazione, const QList<QStringList>& righe)
{
    return StampaElenco(c,
                        {QStringLiteral("Storico periferica ") + intestazione.codice,
                         QStringLiteral("Storico_") + intestazione.codice, QStringLiteral("lo storico")},
                        {QStringLiteral("Periferica ") + intestazione.codice, intestazione.nominativo,
                         intestazione.ragioneSociale},
                        righe);
}

QString StampaElenco(Contesto& c, const DocumentoStampa& documento, const QStringList& intestazione,
                     const QList<QStringList>& righe)
{
    QPrinter printer(QPrinter::HighResolution);
    const QPrinterInfo predefinita = QPrinterInfo::defaultPrinter();
    QString pdf;
    if (predefinita.isNull()) {
        const QDateTime adesso = c.orologio ? c.orologio->adesso() : QDateTime::currentDateTime();
        pdf = QDir(c.cartellaDati)
                  .filePath(QStringLiteral("%1_%2.pdf")
                                .arg(documento.prefissoFile, adesso.toString(QStringLiteral("yyyyMMdd-HHmmss"))));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
    } else {
        printer.setPrinterName(predefinita.printerName());
    }
    printer.setDocName(documento.nome);
    // A4 with margins that leave just over the 11000 twips (194 mm) the lines
    // are laid out for.
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(8, 10, 8, 10),
                                      QPageLayout::Millimeter));

    if (!DisegnaElenco(printer, intestazione, righe) || (!pdf.isEmpty() && !QFileInfo::exists(pdf))) {
        c.messaggi->avvisa(Icona::Avviso,
                           pdf.isEmpty()
                               ? QStringLiteral("Impossibile stampare %1: controllare la stampante %2.")
                                     .arg(documento.oggetto, predefinita.printerName())
                               : QStringLiteral("Impossibile scrivere %1 nel file %2.").arg(documento.oggetto, pdf));
        return {};
    }
    if (!pdf.isEmpty())
        c.messaggi->avvisa(Icona::Informazione,
                           QStringLiteral("Nessuna stampante configurata: %1 è stato salvato nel file\n%2")
                               .arg(documento.oggetto, QDir::toNativeSeparators(pdf)));
    return pdf;
}

} // namespace sorvela
