#include "inidocument.h"

#include <QtTest>
#include <random>

// Random and mutated files, seeded so that a failure comes back, through load, write and load
// again: what is written reads back whole and exactly, and every other key keeps its meaning.
namespace {

using platform::IniDocument;
using platform::StoredValue;

// What matters to the dialect, one piece after each '|': files and texts are made of these.
const char kTextBytes[] = "|[|]|=|;|\"|\\|/|%|%2F|%U00e9|@|@@|@String(|@Invalid()|@ByteArray("
                          "|@Rect(1 2 3 4)|)|,| |\t|\r|\n|\r\n|\\x41|\\0|\\\n|\\\"|General"
                          "|%General|Settings|PROCESS_TEXTBOX_1|dir/|é|日|😀|\x01|\x7f|\0|0|a|F";

const QByteArrayList kTextPieces = QByteArray(kTextBytes, sizeof kTextBytes - 1).split('|').mid(1);
// And after them these, which are not text, only in files.
const QByteArrayList kPieces =
    kTextPieces + QByteArrayList{"\xef\xbb\xbf", "\xff", "\xed\xa0\x80", "\xc3"};
const std::vector<std::string> kSeeds = {
    "[Settings]\nPROCESS_TEXTBOX_1=old1\ndir/=\"unterminated\n",
    "[General]\nMainLeft=1\n[Settings]\nPROCESS_TEXTBOX_1=notepad.exe\nENABLE_PW_1=1\n",
    "[Settings]\r\nPROCESS_TEXTBOX_2 =  \"x; y \" ; note\r\na\\b=\\x41\\102\\?\r\nk%2F=@@5\r\n",
    "top=1\n[%General]\nx=\"a,b\"\n[a\\b]\ny=@String(\\0z)\n[Settings]\nlast=\\\n"};

std::string pieces(std::mt19937 &random, bool fileOnly, int most)
{
    std::string out;
    const auto kinds = static_cast<std::size_t>((fileOnly ? kPieces : kTextPieces).size());
    for (int n = std::uniform_int_distribution(0, most)(random); n > 0; --n)
        out += kPieces[random() % kinds].toStdString();
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
        const auto change = random() % 3;
        if (change == 0)
            file.insert(at, pieces(random, true, 3));
        else if (change == 1)
            file.erase(at, random() % 8);
        else if (at < file.size())
            file[at] = static_cast<char>(random());
    }
    return file;
}

} // namespace

class TestIniDocumentFuzz : public QObject
{
    Q_OBJECT

private slots:
    void writtenValuesReadBackAndOthersKeepTheirMeaning()
    {
        const std::vector<std::string> sections = {"Settings", "", "General", "dir/", "a/b"};
        // ZV_FUZZ_SEED=n runs another sequence than the one CI runs.
        bool given = false;
        const int seed = qEnvironmentVariableIntValue("ZV_FUZZ_SEED", &given);
        std::mt19937 random(given ? static_cast<unsigned>(seed) : 21u);
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
            const auto trace = [&](const std::string &path) { // each part percent-encoded
                return QByteArray::fromStdString("round " + std::to_string(round) + ", key " +
                                                 path + "\nfile: " + file + "\nwritten: " + bytes)
                    .toPercentEncoding(" ,:\n");
            };
            QVERIFY2(!after.damaged(), trace("").constData());
            // Each key written reads back, and every other key means what it meant, none new.
            std::vector<std::string> all = after.paths();
            all.insert(all.end(), paths.begin(), paths.end());
            for (const auto &entry : written)
                all.push_back(entry.first);
            for (const std::string &path : all) {
                const auto meant =
                    written.contains(path) ? std::optional(written[path]) : before.value("", path);
                QVERIFY2(after.value("", path) == meant, trace(path).constData());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestIniDocumentFuzz)
#include "test_inidocument_fuzz.moc"
