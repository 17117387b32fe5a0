#pragma once
// The small window that stands above all others while the console waits on
// a long job (a compaction, an exchange with the handset): a bold heading
// (Label1), optionally a line for the job's step (Label2), a busy bar and
// "Annulla" (cmdAnnulla) centred below. It never takes the keyboard from the
// window in use, so the operator's typing stays where it is.

#include <QWidget>

class QLabel;
class QPushButton;

namespace sorvela {

class FinestraAttesa : public QWidget {
    Q_OBJECT
public:
    // `conPasso`: the window has the line for the step.
    FinestraAttesa(QWidget* genitore, const QString& nome, int larghezzaMinima, bool conPasso);

protected:
    // Sized to its contents and centred on the window of its parent.
    void centra();

    QLabel* m_titolo;
    QLabel* m_passo = nullptr;
    QPushButton* m_annulla;
};

} // namespace sorvela
