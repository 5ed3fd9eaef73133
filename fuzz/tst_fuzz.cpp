// Replays every seed (those made at run time too) and every kept failure input through the checks
// the fuzz targets run, so a fault the fuzzer once found stays fixed in the ordinary build.

#include "fuzz/checks.h"

#include <QDir>
#include <QFile>
#include <QTest>

class tst_fuzz : public QObject {
    Q_OBJECT

private slots:
    void keptInputs_data();
    void keptInputs();
    void everyTargetHasSeeds();
};

namespace {
const QString kInputs = QStringLiteral(BRIMVALE_FUZZ_INPUTS);

QFileInfoList inputsOf(const QString &kind, const char *target)
{
    return QDir(kInputs + QLatin1Char('/') + kind + QLatin1Char('/') + QLatin1String(target))
        .entryInfoList(QDir::Files, QDir::Name);
}
} // namespace

void tst_fuzz::keptInputs_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QByteArray>("input");
    for (int i = 0; i < int(std::size(fuzzchecks::kTargets)); ++i) {
        const fuzzchecks::Target &target = fuzzchecks::kTargets[i];
        for (const QString &kind : {QStringLiteral("corpus"), QStringLiteral("regressions")})
            for (const QFileInfo &file : inputsOf(kind, target.name)) {
                QFile input(file.filePath());
                QVERIFY(input.open(QIODevice::ReadOnly));
                QTest::addRow("%s/%s/%s", qPrintable(kind), target.name, qPrintable(file.fileName()))
                    << i << input.readAll();
            }
        const QList<QByteArray> made = target.seeds ? target.seeds() : QList<QByteArray>();
        for (qsizetype seed = 0; seed < made.size(); ++seed)
            QTest::addRow("made/%s/%lld", target.name, qlonglong(seed)) << i << made[seed];
    }
}

void tst_fuzz::keptInputs()
{
    QFETCH(int, target);
    QFETCH(QByteArray, input);
    const QString failure = fuzzchecks::kTargets[target].check(input);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void tst_fuzz::everyTargetHasSeeds()
{
    QStringList targets;
    for (const fuzzchecks::Target &target : fuzzchecks::kTargets) {
        QVERIFY2(target.seeds ? !target.seeds().isEmpty() : !inputsOf(QStringLiteral("corpus"), target.name).isEmpty(),
                 target.name);
        targets << QLatin1String(target.name);
    }
    // A folder without a target would never be fuzzed.
    for (const QString &kind : {QStringLiteral("corpus"), QStringLiteral("regressions")})
        for (const QString &folder :
             QDir(kInputs + QLatin1Char('/') + kind).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            QVERIFY2(targets.contains(folder), qPrintable(kind + QLatin1Char('/') + folder));
}

QTEST_GUILESS_MAIN(tst_fuzz)
#include "tst_fuzz.moc"
