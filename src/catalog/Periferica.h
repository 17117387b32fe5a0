#pragma once
// The catalog window "Periferiche": the peripheral types, each with its
// description, protocol, default mark and inputs. The type list `Periferiche`
// and the protocol list `Protocollo` put each row at the position equal to
// its identifier, behind the placeholders "Nessuna" and "Nessuno". The inputs
// grid `Ingressi` is edited through editors laid over the clicked cell (text
// boxes `Text1`, `Text2`, lists `Combo1`, `Combo2`), kept over it by the
// 20 ms timer `Timer1` while the grid scrolls. The catalog logic itself is
// catalog::Catalogo; this window gathers the operator's input and shows.
//
// The main window creates it, puts it in its MDI area and calls avvia(); the
// subscriber window's type button then positions it with mostraTipo(). The
// closing question is asked from closeEvent, so a refusal keeps the MDI
// sub-window open.

#include "catalog/Periferiche.h"

#include <QWidget>

#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace sorvela {

struct Contesto;
class Cornice;

class Periferica : public QWidget {
    Q_OBJECT
public:
    explicit Periferica(Contesto& ctx, QWidget* parent = nullptr);
    ~Periferica() override;

    // The window's load: open flag, geometry, both lists, the default type
    // (or "Nessuna" with the editors disabled). Reports a damaged catalog.
    void avvia();

    // Opening on a subscriber's type: the protocol position, then the type
    // position, each as if chosen by the operator. Placing the window is no
    // change of the operator's: closing asks only about what he edits here.
    void mostraTipo(int posizioneProtocollo, int posizioneTipo);

    // `Salva`: false when nothing could be stored (a database error).
    bool Salva();
    void Annulla();

    bool modificato() const { return m_modificato; }
    int colonnaInModifica() const { return m_colonna; }
    int rigaInModifica() const { return m_riga; }
    Cornice* cornice() const { return m_cornice; }

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void costruisci();
    void dimensionaColonne();
    void abilita(bool si);
    void sceltaTipo(int posizione);
    void sceltaProtocollo(int posizione);
    void mostra(int posizione);
    void apriCella(int riga, int colonna);
    void chiudiEditor();
    QWidget* editor(int colonna) const;
    void segui();
    void scriviCella(const QString& testo);
    void scegliVoce(QComboBox* lista, int voce);
    void avvisaDanni(const QStringList& danni);
    void erroreDatabase(const QString& testo, const std::exception& e);

    Contesto& m_ctx;
    Cornice* m_cornice = nullptr;
    QComboBox* m_tipi = nullptr;
    QComboBox* m_protocollo = nullptr;
    QLineEdit* m_descrizione = nullptr;
    QCheckBox* m_predefinita = nullptr;
    QCheckBox* m_caricamento = nullptr;
    QTableWidget* m_griglia = nullptr;
    QLineEdit* m_text1 = nullptr;
    QPushButton* m_ssCommand1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QComboBox* m_combo1 = nullptr;
    QComboBox* m_combo2 = nullptr;
    QTimer* m_timer1 = nullptr;

    int m_posTipo = 0;
    int m_posProtocollo = 0;
    QString m_predefinitaNome;
    int m_predefinitaId = 0;
    // The type whose rows are on screen: a save always goes to it, even while
    // the list already shows the next type chosen.
    std::optional<catalog::TipoPeriferica> m_mostrato;
    QList<catalog::Ingresso> m_righe;   // the input rows behind the grid's rows
    int m_colonna = -1;
    int m_riga = 0;
    bool m_modificato = false;
    bool m_inScelta = false;
    bool m_avviata = false;
    bool m_chiusa = false;
};

} // namespace sorvela
