#include "shell/frmInfo.h"

#include "shell/Immagini.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#ifndef SORVELA_VERSIONE
#define SORVELA_VERSIONE "0.0.0"
#endif

namespace sorvela {

QString frmInfo::versione()
{
    return QStringLiteral(SORVELA_VERSIONE);
}

frmInfo::frmInfo(QWidget* genitore)
    : QDialog(genitore, Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmInfo"));
    setWindowTitle(QStringLiteral("Informazioni"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto* griglia = new QGridLayout(this);
    auto* immagine = new QLabel(this);
    immagine->setObjectName(QStringLiteral("Image1"));
    immagine->setPixmap(immagini::icona(64));
    immagine->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    griglia->addWidget(immagine, 0, 0, 3, 1);

    auto* testi = new QVBoxLayout;
    struct Riga { QString testo; bool grassetto; };
    const Riga righe[] = {
        {QStringLiteral("Sorvela"), true},
        {QStringLiteral("Creato da: "), false},
        {QStringLiteral("Gli sviluppatori del progetto Sorvela"), true},
        {QStringLiteral("Console di monitoraggio per centrali di ricezione allarmi"), false},
        {QStringLiteral("Riceve via SMS gli allarmi e lo stato delle periferiche GSM"), false},
        {QStringLiteral("Software libero, distribuito con il codice sorgente"), false},
    };
    int indice = 0;
    for (const auto& r : righe) {
        auto* l = new QLabel(r.testo, this);
        l->setObjectName(QStringLiteral("Label1(%1)").arg(indice++));
        if (r.grassetto) {
            QFont f = l->font();
            f.setBold(true);
            if (indice == 1)
                f.setPointSizeF(f.pointSizeF() * 1.5);
            l->setFont(f);
        }
        testi->addWidget(l);
    }
    auto* versione = new QLabel(QStringLiteral("Versione"), this);
    versione->setObjectName(QStringLiteral("Label2"));
    versione->setText(QStringLiteral("Versione: ") + frmInfo::versione());
    testi->addSpacing(8);
    testi->addWidget(versione);
    griglia->addLayout(testi, 0, 1);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    griglia->addWidget(ok, 1, 1, Qt::AlignRight);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace sorvela
