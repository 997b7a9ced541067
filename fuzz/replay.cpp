// Runs a harness over files and folders of inputs without libFuzzer, so every build (gcc, the
// sanitizer build) replays the seed corpus and the inputs that once broke a parser.

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

int runFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return -1;
    }
    const QByteArray data = f.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(data.constData()), std::size_t(data.size()));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QFile::decodeName(argv[i]);
        QStringList files;
        if (QFileInfo(arg).isDir()) {
            for (const QString &name : QDir(arg).entryList(QDir::Files, QDir::Name))
                files << QDir(arg).filePath(name);
        } else {
            files << arg;
        }
        for (const QString &file : files) {
            const int n = runFile(file);
            if (n < 0)
                return 1;
            runs += n;
        }
    }
    if (runs == 0) {
        std::fprintf(stderr, "no inputs\n");
        return 1;
    }
    std::printf("%d inputs replayed\n", runs);
    return 0;
}
