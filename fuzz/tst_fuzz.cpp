// Replays every seed and every kept failure input through the checks the fuzz targets run, so a
// fault the fuzzer once found stays fixed in the ordinary build.

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
    QTest::addColumn<QString>("path");
    for (int i = 0; i < int(std::size(fuzzchecks::kTargets)); ++i)
        for (const QString &kind : {QStringLiteral("corpus"), QStringLiteral("regressions")})
            for (const QFileInfo &file : inputsOf(kind, fuzzchecks::kTargets[i].name))
                QTest::addRow("%s/%s/%s", qPrintable(kind), fuzzchecks::kTargets[i].name, qPrintable(file.fileName()))
                    << i << file.filePath();
}

void tst_fuzz::keptInputs()
{
    QFETCH(int, target);
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString failure = fuzzchecks::kTargets[target].check(file.readAll());
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void tst_fuzz::everyTargetHasSeeds()
{
    QStringList targets;
    for (const fuzzchecks::Target &target : fuzzchecks::kTargets) {
        QVERIFY2(!inputsOf(QStringLiteral("corpus"), target.name).isEmpty(), target.name);
        targets << QLatin1String(target.name);
    }
    // The fuzz script runs one target per folder: a folder without a target would fail there.
    for (const QString &kind : {QStringLiteral("corpus"), QStringLiteral("regressions")})
        for (const QString &folder :
             QDir(kInputs + QLatin1Char('/') + kind).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            QVERIFY2(targets.contains(folder), qPrintable(kind + QLatin1Char('/') + folder));
}

QTEST_GUILESS_MAIN(tst_fuzz)
#include "tst_fuzz.moc"
