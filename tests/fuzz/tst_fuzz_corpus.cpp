// Replays every input kept under tests/fuzz/corpus (the seeds and the inputs
// that once broke an invariant) through the fuzz target's session, so that the
// ordinary build catches regressions without clang or libFuzzer.

#include "model_session.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class FuzzCorpusTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { quiet_debug_output(); }

    void replay_data()
    {
        QTest::addColumn<QString>("path");
        const QDir corpus(QStringLiteral(MORVANE_FUZZ_CORPUS));
        const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
        QVERIFY2(!names.isEmpty(), "the corpus is empty");
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << corpus.filePath(name);
    }

    void replay()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray input = file.readAll();
        const SessionReport report = run_model_session(
            reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
        QVERIFY2(report.violation.empty(), report.violation.c_str());
    }
};

QTEST_MAIN(FuzzCorpusTest)
#include "tst_fuzz_corpus.moc"
