// Shapes of SQL text for the source check: each line whose comment holds the
// Italian word for "expected" must be reported, no other line may be.
void esempi(store::Database& db, const QString& nome, const QString& codice, int n)
{
    db.esegui(QStringLiteral("DELETE FROM DatiUtente WHERE [Codice periferica] = '") + codice + "'"); // atteso
    db.esegui("SELECT * FROM DatiUtente WHERE Nome = " + nome); // atteso
    db.valore(QStringLiteral("SELECT COUNT(*) FROM ArchivioEventi WHERE ID > %1").arg(n)); // atteso
    db.valore(QStringLiteral("SELECT COUNT(*) FROM ArchivioEventi")
              + filtro(codice)); // atteso
    QString sql = QStringLiteral("UPDATE DatiUtente SET Nome = ?");
    sql += nome; // atteso
    db.esegui(nome + QLatin1String(" WHERE [Codice periferica] = ?"), {codice}); // atteso
    db.esegui(QStringLiteral("SELECT * FROM [%1]").arg(nome)); // sql: identificatore verificato
    db.esegui(QStringLiteral("SELECT * FROM ") + nome); // sql: identificatore verificato (atteso: not at the end)
    // Bound values, literals joined with literals, texts that are not SQL: fine.
    db.esegui(QStringLiteral("DELETE FROM DatiUtente WHERE [Codice periferica] = ?"), {codice});
    db.valore(QStringLiteral("SELECT COUNT(*) FROM ArchivioEventi ") + QStringLiteral("WHERE ID > ?"), {n});
    db.valore("SELECT [Codice periferica] FROM DatiUtente "
              "WHERE [Telefono GSM fonia] IN (?, ?)", {nome, codice});
    messaggio(QStringLiteral("Eliminare il cliente %1?").arg(nome));
    etichetta(QStringLiteral("Da: ") + nome);
}
