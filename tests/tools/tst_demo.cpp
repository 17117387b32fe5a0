// scripts/demo.sh as a newcomer meets it on a machine without a display:
// one sentence saying so and how to run it, at once, before any build.

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

class TestDemo : public QObject {
    Q_OBJECT
private slots:
    void senzaDisplayLoDiceSubitoEdEsceConErrore()
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        p.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        p.start("bash", {SORVELA_SOURCE_DIR "/scripts/demo.sh"});
        QVERIFY(p.waitForFinished(5000));
        QVERIFY(t.elapsed() < 5000);
        QVERIFY(p.exitCode() != 0);
        const QString errori = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(errori.count('\n'), 1);
        QVERIFY2(errori.contains("display") && errori.contains("xvfb-run"), qPrintable(errori));
        QVERIFY(p.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDemo)
#include "tst_demo.moc"
