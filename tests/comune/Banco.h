#pragma once
// What most window tests stand on: a real database (a file, or on the test
// server in the "_pg" runs) and a settings file
// in a temporary folder, a clock that only moves when told, and message boxes
// that answer from a script and remember what they said. One object, so each
// test says only what differs.

#include "core/Orologio.h"
#include "comune/ModoLettura.h"
#include "comune/ServerDatabase.h"
#include "modem/LineaTelefono.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Preferenze.h"
#include "store/Database.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace sorvela::comune {

struct Banco {
    QTemporaryDir dir;
    OrologioVirtuale orologio;
    MessaggiRegistrati msg;
    Preferenze pref{dir.filePath(QStringLiteral("Sorvela.ini"))};
    std::unique_ptr<DatabaseDiProva> base;
    std::unique_ptr<store::Database> db;  // handed to the main window by the tests that build one
    // The line to the handset; a main window built on this context brings its own.
    modem::LineaTelefono linea{[this](int n) { return pref.dispositivoPorta(n); }};
    Contesto ctx;

    explicit Banco(bool demo = false)
    {
        base = databaseDelBanco(dir.path(), ctx, demo);
        db = std::move(base->db);
        ctx.orologio = &orologio;
        ctx.messaggi = &msg;
        ctx.preferenze = &pref;
        ctx.linea = &linea;
    }

    int conta(const QString& sql, const QVariantList& p = {}) const { return ctx.db->valore(sql, p).toInt(); }

    // An event as the message routines store it; its ID.
    qint64 evento(const QString& codice, const QString& tipo = QStringLiteral("Allarme"), const QVariant& quando = {})
    {
        ctx.db->esegui(QStringLiteral("INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora], [Tipo evento], "
                                      "[Descrizione evento], [Testo messaggio]) "
                                      "VALUES (?, ?, ?, 'x', 'Dell''Acqua; --')"),
                       {codice, quando.isNull() ? QVariant(orologio.adesso()) : quando, tipo});
        return ctx.db->valore(QStringLiteral("SELECT max(ID) FROM ArchivioEventi")).toLongLong();
    }
};

// As QTest::keyClicks, also for the accented letters of an Italian keyboard.
inline void tasti(QWidget* w, const QString& testo)
{
    for (const QChar c : testo) {
        if (c.unicode() < 128)
            QTest::keyClick(w, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
    }
}

// The control `nome` of window `w`; fails loudly when there is none.
template <class T = QLineEdit>
T* controllo(const QWidget* w, const char* nome)
{
    T* x = w->findChild<T*>(QString::fromUtf8(nome));
    if (!x)
        qFatal("no control %s", nome);
    return x;
}

// A click on the button `nome` of window `w`.
inline void premi(QWidget* w, const char* nome)
{
    QTest::mouseClick(controllo<QPushButton>(w, nome), Qt::LeftButton);
}

// The operator in front of real message boxes: each modal box that has the
// keyboard (or had 0.2 s to take it) is noted as "text|kept on top|has the
// keyboard|default button" and answered with Enter.
struct OperatoreAlleBox : QTimer {
    QStringList viste;
    int attese = 0;
    OperatoreAlleBox()
    {
        connect(this, &QTimer::timeout, [this] {
            auto* b = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (b && (b->isActiveWindow() || ++attese % 20 == 0)) {
                viste << QStringLiteral("%1|%2|%3|%4").arg(b->text()).arg(b->windowFlags() & Qt::WindowStaysOnTopHint ? 1 : 0)
                             .arg(b->isActiveWindow()).arg(b->defaultButton() ? b->defaultButton()->text() : QString());
                QTest::keyClick(b->focusWidget() ? b->focusWidget() : b, Qt::Key_Return);
            }
        });
        start(10);
    }
};

} // namespace sorvela::comune
