#include "inidocument.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <random>

// Random and mutated files, seeded so that a failure comes back, through load, write and load
// again: what is written reads back whole and exactly, and every other key keeps its meaning.
namespace {

using platform::IniDocument;
using platform::StoredValue;

// What matters to the dialect: files and texts are made of these.
const std::vector<std::string> kTextPieces = {"[",
                                              "]",
                                              "=",
                                              ";",
                                              "\"",
                                              "\\",
                                              "/",
                                              "%",
                                              "%2F",
                                              "%U00e9",
                                              "@",
                                              "@@",
                                              "@String(",
                                              "@Invalid()",
                                              "@ByteArray(",
                                              "@Rect(1 2 3 4)",
                                              ")",
                                              ",",
                                              " ",
                                              "\t",
                                              "\r",
                                              "\n",
                                              "\r\n",
                                              "\\x41",
                                              "\\0",
                                              "\\\n",
                                              "\\\"",
                                              "General",
                                              "%General",
                                              "Settings",
                                              "PROCESS_TEXTBOX_1",
                                              "dir/",
                                              "é",
                                              "日",
                                              "😀",
                                              "\x01",
                                              "\x7f",
                                              std::string(1, '\0'),
                                              "0",
                                              "a",
                                              "F"};
// And these, which are not text, only in files.
const std::vector<std::string> kFilePieces = {"\xef\xbb\xbf", "\xff", "\xed\xa0\x80", "\xc3"};
const std::vector<std::string> kSeeds = {
    "[Settings]\nPROCESS_TEXTBOX_1=old1\ndir/=\"unterminated\n",
    "[General]\nMainLeft=1\n[Settings]\nPROCESS_TEXTBOX_1=notepad.exe\nENABLE_PW_1=1\n",
    "[Settings]\r\nPROCESS_TEXTBOX_2 =  \"x; y \" ; note\r\na\\b=\\x41\\102\\?\r\nk%2F=@@5\r\n",
    "top=1\n[%General]\nx=\"a,b\"\n[a\\b]\ny=@String(\\0z)\n[Settings]\nlast=\\\n"};

unsigned seed()
{
    return qEnvironmentVariableIntValue("SEED");
}

std::string pieces(std::mt19937 &random, bool fileOnly, int most)
{
    std::string out;
    const std::size_t kinds = kTextPieces.size() + (fileOnly ? kFilePieces.size() : 0);
    for (int n = std::uniform_int_distribution(0, most)(random); n > 0; --n) {
        const std::size_t at = random() % kinds;
        out += at < kTextPieces.size() ? kTextPieces[at] : kFilePieces[at - kTextPieces.size()];
    }
    return out;
}

// A seed with pieces put in, spans cut out and bytes changed; or pieces alone.
std::string randomFile(std::mt19937 &random)
{
    if (random() % 4 == 0)
        return pieces(random, true, 60);
    std::string file = kSeeds[random() % kSeeds.size()];
    for (int n = 1 + static_cast<int>(random() % 6); n > 0; --n) {
        const std::size_t at = random() % (file.size() + 1);
        switch (random() % 3) {
        case 0:
            file.insert(at, pieces(random, true, 3));
            break;
        case 1:
            file.erase(at, random() % 8);
            break;
        default:
            if (at < file.size())
                file[at] = static_cast<char>(random());
        }
    }
    return file;
}

// Whether the only headers are the usual ones, and the file starts with one or a key.
bool plainHeaders(const std::string &file)
{
    const QList<QByteArray> lines = QByteArray::fromStdString(file).split('\n');
    return !file.starts_with("\xef\xbb\xbf") &&
           std::all_of(lines.begin(), lines.end(), [](const QByteArray &line) {
               return !line.startsWith('[') ||
                      QList<QByteArray>{"[General]", "[%General]", "[Settings]"}.contains(line);
           });
}

} // namespace

class TestIniDocumentFuzz : public QObject
{
    Q_OBJECT

private slots:
    void writtenValuesReadBackAndOthersKeepTheirMeaning()
    {
        const std::vector<std::string> sections = {"Settings", "", "General", "dir/", "a/b"};
        QTemporaryDir dir;
        std::mt19937 random(seed());
        for (int round = 0; round < 5000; ++round) {
            const std::string file = randomFile(random);
            const IniDocument before(file);
            const std::string section = sections[random() % sections.size()];
            std::vector<StoredValue> batch;
            std::map<std::string, std::string> written; // by path; the last one counts
            const std::vector<std::string> paths = before.paths();
            for (int n = 1 + static_cast<int>(random() % 4); n > 0; --n) {
                // An existing key of the section half the time, else one of pieces.
                std::string key = pieces(random, false, 4);
                const std::string prefix = section.empty() ? "" : section + '/';
                if (!paths.empty() && random() % 2) {
                    const std::string &path = paths[random() % paths.size()];
                    if (path.starts_with(prefix) && path.size() > prefix.size())
                        key = path.substr(prefix.size());
                }
                if (key.empty())
                    key = "k";
                batch.push_back({key, pieces(random, false, 8)});
                written[prefix + key] = batch.back().text;
            }
            const std::string bytes = before.withValues(section, batch);
            const IniDocument after(bytes);
            const auto trace = [&] {
                return QString("round %1\nfile: %2\nwritten: %3")
                    .arg(round)
                    .arg(QString::fromLatin1(QByteArray::fromStdString(file).toPercentEncoding()),
                         QString::fromLatin1(QByteArray::fromStdString(bytes).toPercentEncoding()));
            };
            QVERIFY2(!after.damaged(), qPrintable(trace()));
            for (const auto &[path, text] : written)
                QVERIFY2(after.value("", path) == text,
                         qPrintable(trace() + "\nkey: " + QString::fromStdString(path)));
            // Nothing else changed: no key gone, none changed, none new.
            for (const std::string &path : paths) {
                QVERIFY2(written.contains(path) || after.value("", path) == before.value("", path),
                         qPrintable(trace() + "\nkey: " + QString::fromStdString(path)));
            }
            for (const std::string &path : after.paths()) {
                QVERIFY2(written.contains(path) ||
                             std::find(paths.begin(), paths.end(), path) != paths.end(),
                         qPrintable(trace() + "\nkey: " + QString::fromStdString(path)));
            }
            // Every 20th round, QSettings reads the written values the same; but it mixes up the
            // groups of headers that name the same group in different spellings.
            if (round % 20 == 0 && plainHeaders(bytes)) {
                const QString path = dir.filePath(QString::number(round) + ".ini");
                QFile out(path);
                QVERIFY(out.open(QIODevice::WriteOnly));
                out.write(bytes.data(), static_cast<qint64>(bytes.size()));
                out.close();
                const QSettings qt(path, QSettings::IniFormat);
                for (const auto &[key, text] : written) {
                    // The program's keys are ASCII without '/': QSettings finds a key with a
                    // '/' of its own only under some headers.
                    const std::string own = key.substr(section.empty() ? 0 : section.size() + 1);
                    if (own.find('/') != own.npos || section.find('/') != section.npos ||
                        std::any_of(key.begin(), key.end(), [](char c) { return c < 32; }))
                        continue;
                    QVERIFY2(qt.value(QString::fromStdString(key)).toString() ==
                                 QString::fromStdString(text),
                             qPrintable(trace() + "\nkey: " + QString::fromStdString(key)));
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestIniDocumentFuzz)
#include "test_inidocument_fuzz.moc"
