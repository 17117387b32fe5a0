// The main window's menu commands and its handling of the serial line.

#include "shell/MDIForm1.h"

#include "modem/Seriale.h"
#include "platform/Messaggi.h"

#include <QSerialPort>

namespace sorvela {

void MDIForm1::avviaLinea()
{
    if (!m_ctx.MSComm1) {
        m_ctx.MSComm1 = new QSerialPort(this);
        m_ctx.MSComm1->setObjectName(QStringLiteral("MSComm1"));
    }
    LeggiImpostazioni(m_ctx);
    // The result is not needed: a port that cannot be opened has already been
    // reported, and the console runs on without the line.
    modem::ApriPorta(m_ctx);
}

void MDIForm1::chiudiLinea()
{
    if (m_ctx.MSComm1 && m_ctx.MSComm1->isOpen())
        m_ctx.MSComm1->close();
}

} // namespace sorvela

#include "store/Database.h"

#include <QApplication>
#include <QDir>
#include <QFile>

namespace sorvela {

void MDIForm1::adottaDatabase(std::unique_ptr<store::Database> db)
{
    m_db = std::move(db);
    m_ctx.db = m_db.get();
}

// Compacts Sorvela.db into Sorvelanew.db, keeps the old file as Sorvela.bak
// and reopens the compacted one. The previous backup is only replaced once a
// compacted copy really exists, so a failed compaction never costs the backup.
void MDIForm1::mnuCompatta()
{
    TickSospeso sospeso(m_ctx);
    const QDir cartella(m_ctx.cartellaDati);
    const QString db = cartella.filePath(QStringLiteral("Sorvela.db"));
    const QString nuovo = cartella.filePath(QStringLiteral("Sorvelanew.db"));
    const QString bak = cartella.filePath(QStringLiteral("Sorvela.bak"));

    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_db)
        m_db->chiudi();
    bool riuscita = false;
    try {
        QFile::remove(nuovo); // a copy left over by an interrupted run
        store::Database::compatta(db, nuovo);
        riuscita = QFile::exists(nuovo);
    } catch (const store::ErroreDatabase&) {
        riuscita = false;
    }
    if (riuscita) {
        QFile::remove(bak);
        riuscita = QFile::rename(db, bak) && QFile::rename(nuovo, db);
        if (!riuscita && !QFile::exists(db))
            QFile::rename(bak, db); // put the original back where it belongs
    } else {
        QFile::remove(nuovo);
    }

    std::unique_ptr<store::Database> riaperto;
    QString erroreRiapertura;
    try {
        riaperto = store::Database::apri(db);
    } catch (const store::ErroreDatabase& e) {
        erroreRiapertura = QString::fromUtf8(e.what());
    }
    QApplication::restoreOverrideCursor();
    if (!riaperto) {
        m_ctx.messaggi->avvisa(Icona::Errore,
                               QStringLiteral("Impossibile riaprire il database %1: %2\nLa console verrà chiusa.")
                                   .arg(db, erroreRiapertura));
        m_ctx.db = nullptr;
        m_db.reset();
        QApplication::exit(2);
        return;
    }
    adottaDatabase(std::move(riaperto));
    if (riuscita)
        m_ctx.messaggi->avvisa(Icona::Informazione, QStringLiteral("Database compattato"));
    else
        m_ctx.messaggi->avvisa(Icona::Avviso, QStringLiteral("Compattazione fallita."));
}

} // namespace sorvela

#include "shell/Ripulisci.h"

namespace sorvela {

void MDIForm1::mnuCancEventi()
{
    auto* r = new Ripulisci(m_ctx, this);
    r->show();
    r->raise();
}

} // namespace sorvela
