#include "records/placefile.h"
#include "records/placelistdocument.h"
#include "testsupport.h"

#include <QDir>
#include <QtTest>

namespace {
const QByteArray savedA = QByteArray("\xEF\xBB\xBF") + "A,1,2,,1,,,\n"; // the list "A" as written
// The list "A", modified, in a fresh program directory with scripted prompts.
class Document : public PlaceListDocument
{
public:
    ProgramDirScope dir;
    PromptScope scope;
    QStringList log; // statuses with their time-outs, model clears, list changes
    Document() { places = parsePlaceLines({"A,1,2,,1,,,"}), modified = true; }
    ScriptedPrompts& prompts() { return scope.prompts(); }
    QString last() // "kind|title|text|extra"
    {
        const ScriptedPrompts::Call& c = prompts().calls.last();
        return QStringList({c.kind, c.title, c.text, c.extra}).join('|');
    }

protected:
    void showStatus(const QString& t, int ms) override { log << t + '|' + QString::number(ms); }
    void clearModels(int which) override { log << QStringLiteral("clear %1").arg(which); }
    void placesChanged() override { log << "changed"; }
};
} // namespace

class TestPlaceListDocument : public QObject
{
    Q_OBJECT
    std::unique_ptr<Document> doc;
private slots:
    void init() { doc = std::make_unique<Document>(); }
    void cleanup() { doc.reset(); } // before the next one, which takes over the scopes
    void loadAndAdd()
    {
        const QString file = doc->dir.file("list.csv"), more = doc->dir.file("more.csv");
        writeAll(file, QByteArray("\xEF\xBB\xBF") + "A,135,34,,1,,,\nshort,1\nB,135,34,,1,,,\n");
        writeAll(more, "A,135.0005,34,,1,,,\n"        // duplicate of the first record: skipped
                       "A,140,34,,1,,,\n"             // same name elsewhere: added, reported
                       "C,1,1,,1,,,\nC,1,1,,1,,,\n"); // a duplicate of the line before it
        doc->loadCommand();                           // cancelled: nothing read, nothing cleared
        doc->prompts().fileAnswers << file << more << file;
        doc->loadCommand();
        QVERIFY(doc->places.size() == 2 && !doc->modified && doc->currentFile == file);
        doc->addCommand();
        QVERIFY(doc->places.size() == 4 && doc->modified && doc->currentFile == file);
        QCOMPARE(doc->log, QStringList({"clear 1", "changed", "clear 3", "changed"}));
        QCOMPARE(doc->last(),
                 "information|２重登録警告|同じ名前で違う座標のデータが存在します。\n\n1 : A\n|");
        doc->addCommand(); // only duplicates: nothing to report, no box
        QCOMPARE(doc->prompts().kinds(), QStringList({"open", "open", "question", "open",
                                                      "information", "open", "question"}));
    }
    void addReportIsCapped()
    {
        // 300 namesakes at different spots: row k reports the k + 1 before it.
        QByteArray more;
        for (int i = 0; i < 300; ++i)
            more += "A," + QByteArray::number(10 + i) + ",2,,1,,,\n";
        writeAll(doc->dir.file("more.csv"), more);
        doc->prompts().fileAnswers << doc->dir.file("more.csv");
        doc->prompts().buttonAnswers << QMessageBox::No;
        doc->addCommand();
        QCOMPARE(doc->places.size(), size_t(301));
        const QStringList lines = doc->prompts().calls.last().text.split('\n');
        QCOMPARE(lines.mid(0, 5), QStringList({"同じ名前で違う座標のデータが存在します。", "",
                                               "1 : A", "1 : A", "2 : A"}));
        QCOMPARE(lines.size(), 2 + 200 + 1);
        QCOMPARE(lines.at(201), QStringLiteral("10 : A")); // row 19 reports 1..20: cut after 10
        QCOMPARE(lines.last(), QStringLiteral("…ほか %1 件").arg(300 * 301 / 2 - 200));
    }
    void saveAsAndAutosave()
    {
        doc->saveAsCommand(); // cancelled
        QCOMPARE(doc->last(), "save|CSV Save as file|" + doc->dir.file("castlelist.csv") + '|');
        QVERIFY(doc->autosave(false) && doc->modified);
        const QString autosaved = doc->dir.file("castlelist_autosave.csv");
        doc->currentFile = doc->dir.file("current.csv");
        // The status names the file really written; ".CSV" is a suffix too.
        doc->prompts().fileAnswers << doc->dir.file("copy") << doc->dir.file("A.CSV");
        doc->saveAsCommand();
        doc->modified = true;
        doc->saveAsCommand();
        QCOMPARE(readAll(autosaved) + readAll(doc->dir.file("copy.csv")) +
                     readAll(doc->dir.file("A.CSV")),
                 savedA + savedA + savedA);
        QCOMPARE(doc->log, QStringList({autosaved + " に保存しました|2000",
                                        doc->dir.file("copy.csv") + " に保存しました|0",
                                        doc->dir.file("A.CSV") + " に保存しました|0"}));
        QVERIFY(!doc->modified && doc->currentFile == doc->dir.file("current.csv"));
    }
    void askSaveIfModified()
    {
        doc->currentFile = doc->dir.file("list.csv");
        writeAll(doc->currentFile, "old\n");
        setModified(doc->currentFile, QDateTime::currentDateTime().addDays(-1));
        doc->prompts().buttonAnswers << QMessageBox::No << QMessageBox::Yes;
        QVERIFY(!doc->askSaveIfModified() && doc->modified);
        QVERIFY(doc->askSaveIfModified() && !doc->modified);
        QCOMPARE(readAll(doc->currentFile) + readAll(doc->currentFile + ".bak1"), savedA + "old\n");
    }
    void failedSavesAreReported_data()
    {
        QTest::addColumn<QString>("how");
        for (const char* how : {"save as", "save question", "load after the question", "autosave"})
            QTest::newRow(how) << how;
    }
    // Nothing can be written (a folder): warned, no success, still modified, Load keeps the list.
    void failedSavesAreReported()
    {
        QFETCH(QString, how);
        doc->currentFile = doc->dir.file("list.csv");
        const QString target = doc->dir.file(how == "autosave" ? "list_autosave.csv" : "list.csv");
        QVERIFY(QDir().mkdir(target));
        doc->prompts().buttonAnswers << QMessageBox::Yes;
        doc->prompts().fileAnswers << (how == "save as" ? target : doc->dir.file("other.csv"));
        if (how == "save as")
            doc->saveAsCommand();
        else if (how.startsWith("load"))
            doc->loadCommand();
        else
            QVERIFY(!(how == "autosave" ? doc->autosave(true) : doc->askSaveIfModified()));
        const QString head = "warning|保存エラー|" + target + " に保存できませんでした。\n";
        QVERIFY2(doc->last().startsWith(head) && doc->last().size() > head.size() + 1,
                 qPrintable(doc->last()));
        QVERIFY(doc->log.isEmpty() && doc->modified && doc->places.size() == 1);
    }
};

QTEST_MAIN(TestPlaceListDocument)
#include "tst_placelistdocument.moc"
