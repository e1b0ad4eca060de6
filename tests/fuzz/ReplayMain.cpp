// Runs a fuzz target over files without libFuzzer: every file of the seed
// corpus and of the target's regressions folder, once each, in name order.
// A broken check aborts, which fails the test; the file name printed just
// before it is the input.
//
//   NAME --corpus DIR [--regressions DIR] [FILE...]

#include "FuzzSupport.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) __attribute__((weak));

namespace {

QStringList filesUnder(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (QFileInfo(path).fileName() != QLatin1String("README.md"))
            files << path;
    }
    files.sort();
    return files;
}

bool runFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray data = f.readAll();
    std::fprintf(stderr, "replay %s (%lld bytes)\n", qPrintable(path), static_cast<long long>(data.size()));
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size()));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);

    QStringList files;
    QString corpus;
    int corpusFiles = 0, regressionFiles = 0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--corpus") && i + 1 < argc) {
            corpus = QString::fromLocal8Bit(argv[++i]);
            const QStringList found = filesUnder(corpus);
            if (found.isEmpty()) {
                std::fprintf(stderr, "the seed corpus %s holds no files\n", qPrintable(corpus));
                return 1;
            }
            corpusFiles += int(found.size());
            files += found;
        } else if (arg == QLatin1String("--regressions") && i + 1 < argc) {
            // A target without findings yet has no folder of its own.
            const QStringList found = filesUnder(QString::fromLocal8Bit(argv[++i]));
            regressionFiles += int(found.size());
            files += found;
        } else {
            files << arg;
        }
    }
    if (files.isEmpty()) {
        std::fprintf(stderr, "usage: %s --corpus DIR [--regressions DIR] [FILE...]\n", argv[0]);
        return 2;
    }
    for (const QString &path : files) {
        if (!runFile(path))
            return 1;
    }
    std::printf("%lld inputs replayed (%d seeds, %d regressions), no finding\n",
                static_cast<long long>(files.size()), corpusFiles, regressionFiles);
    return 0;
}
