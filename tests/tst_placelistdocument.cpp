#include "records/placefile.h"
#include "records/placelistdocument.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

namespace {
const QByteArray utf8Bom("\xEF\xBB\xBF");

class Document : public PlaceListDocument
{
public:
    QStringList statuses;
    QList<int> cleared;
    int changes = 0;

protected:
    void showStatus(const QString& text, int timeout) override
    {
        statuses << QStringLiteral("%1|%2").arg(text).arg(timeout);
    }
    void clearModels(int which) override { cleared << which; }
    void placesChanged() override { ++changes; }
};

QStringList names(const PlaceList& places)
{
    QStringList out;
    for (const auto& r : places)
        out << r->name;
    return out;
}
} // namespace

class TestPlaceListDocument : public QObject
{
    Q_OBJECT
private slots:
    void loadCommand();
    void addCommand();
    void saveAsCommand();
    void askSaveIfModified();
    void autosave();
    void failedSavesAreReported_data();
    void failedSavesAreReported();
};

void TestPlaceListDocument::loadCommand()
{
    ProgramDirScope dir;
    PromptScope scope;
    const QString file = dir.file(QStringLiteral("list.csv"));
    writeAll(file, utf8Bom + "A,1,2,3,1,Image,11,10\nshort,1\nB,1,2,3,1,Image,11,10\n");
    Document doc;
    doc.loadCommand(); // cancelled
    QCOMPARE(doc.changes, 0);

    scope.prompts().fileAnswers << file;
    doc.loadCommand();
    const ScriptedPrompts::Call open = scope.prompts().calls.last();
    QCOMPARE(open.kind, QStringLiteral("open"));
    QCOMPARE(open.title, QStringLiteral("CSVファイルを指定してください"));
    QCOMPARE(open.text, dir.path());
    QCOMPARE(open.extra, QStringLiteral("CSV Files (*.csv);;All Files (*)"));
    QCOMPARE(names(doc.places), QStringList({"A", "B"}));
    QCOMPARE(doc.currentFile, file);
    QVERIFY(!doc.modified);
    QCOMPARE(doc.changes, 1);
}

void TestPlaceListDocument::addCommand()
{
    ProgramDirScope dir;
    PromptScope scope;
    Document doc;
    doc.places = parsePlaceLines({"A,135,34,0,1,Image,11,10", "B,135,34,0,1,Image,11,10"});
    const QString file = dir.file(QStringLiteral("add.csv"));
    writeAll(file, "A,135.0005,34,0,1,Image,11,10\n" // duplicate of the first record
                   "A,140,34,0,1,Image,11,10\n"      // same name elsewhere: added, reported
                   "C,1,1,0,1,Image,11,10\n"
                   "C,1,1,0,1,Image,11,10\n"); // duplicate of the line before it
    scope.prompts().fileAnswers << file;
    doc.addCommand();
    QCOMPARE(names(doc.places), QStringList({"A", "B", "A", "C"}));
    QVERIFY(doc.modified);
    QCOMPARE(doc.cleared, QList<int>({3}));
    QCOMPARE(doc.changes, 1);
    QCOMPARE(doc.currentFile, QString());
    const ScriptedPrompts::Call info = scope.prompts().calls.last();
    QCOMPARE(info.kind, QStringLiteral("information"));
    QCOMPARE(info.title, QStringLiteral("２重登録警告"));
    QCOMPARE(info.text, QStringLiteral("同じ名前で違う座標のデータが存在します。\n\n1 : A\n"));

    // Nothing to report: no box. (The list is still modified, so the save question comes.)
    writeAll(file, "D,1,1,0,1,Image,11,10\n");
    scope.prompts().calls.clear();
    scope.prompts().fileAnswers << file;
    doc.addCommand();
    QCOMPARE(scope.prompts().kinds(), QStringList({"open", "question"}));
    QVERIFY(doc.addReport.isEmpty());
}

void TestPlaceListDocument::saveAsCommand()
{
    ProgramDirScope dir;
    PromptScope scope;
    Document doc;
    doc.places = parsePlaceLines({"A,1,2,3,1,Image,11,10"});
    doc.modified = true;
    doc.saveAsCommand(); // cancelled
    QCOMPARE(scope.prompts().calls.last().text, dir.file(QStringLiteral("castlelist.csv")));
    QVERIFY(doc.statuses.isEmpty());
    QVERIFY(doc.modified);

    doc.currentFile = dir.file(QStringLiteral("current.csv"));
    const QString chosen = dir.file(QStringLiteral("copy"));
    scope.prompts().fileAnswers << chosen;
    doc.saveAsCommand();
    const ScriptedPrompts::Call save = scope.prompts().calls.last();
    QCOMPARE(save.kind, QStringLiteral("save"));
    QCOMPARE(save.title, QStringLiteral("CSV Save as file"));
    QCOMPARE(save.text, doc.currentFile);
    QCOMPARE(save.extra, QString());
    QCOMPARE(readAll(chosen + ".csv"), utf8Bom + "A,1,2,3,1,Image,11,10\n");
    QCOMPARE(doc.statuses, QStringList({chosen + " に保存しました|0"}));
    QVERIFY(!doc.modified);
    QCOMPARE(doc.currentFile, dir.file(QStringLiteral("current.csv")));
}

void TestPlaceListDocument::askSaveIfModified()
{
    ProgramDirScope dir;
    PromptScope scope;
    Document doc;
    doc.places = parsePlaceLines({"A,1,2,3,1,Image,11,10"});
    doc.currentFile = dir.file(QStringLiteral("list.csv"));
    writeAll(doc.currentFile, "old\n");
    setModified(doc.currentFile, QDateTime::currentDateTime().addDays(-1));
    QVERIFY(doc.askSaveIfModified()); // nothing pending: no question
    QVERIFY(scope.prompts().calls.isEmpty());

    doc.modified = true;
    scope.prompts().buttonAnswers << QMessageBox::No << QMessageBox::Yes;
    QVERIFY(!doc.askSaveIfModified());
    QVERIFY(doc.modified);
    QCOMPARE(readAll(doc.currentFile), QByteArray("old\n"));
    const ScriptedPrompts::Call q = scope.prompts().calls.first();
    QCOMPARE(q.title, QStringLiteral("データ保存"));
    QCOMPARE(q.text, QStringLiteral("データが編集されています。CSVに保存しますか？\n"));
    QVERIFY(!q.parent);

    QVERIFY(doc.askSaveIfModified());
    QVERIFY(!doc.modified);
    QCOMPARE(readAll(doc.currentFile), utf8Bom + "A,1,2,3,1,Image,11,10\n");
    QCOMPARE(readAll(doc.currentFile + ".bak1"), QByteArray("old\n"));
}

void TestPlaceListDocument::autosave()
{
    ProgramDirScope dir;
    PromptScope scope;
    Document doc;
    doc.places = parsePlaceLines({"A,1,2,3,1,Image,11,10"});
    doc.modified = true;
    QVERIFY(doc.autosave(false));
    const QString beside = dir.file(QStringLiteral("castlelist_autosave.csv"));
    QCOMPARE(readAll(beside), utf8Bom + "A,1,2,3,1,Image,11,10\n");
    QCOMPARE(doc.statuses, QStringList({beside + " に保存しました|2000"}));
    QVERIFY(doc.modified);

    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    doc.currentFile = dir.file(QStringLiteral("sub/my.list.csv"));
    QVERIFY(doc.autosave(false));
    QVERIFY(QFileInfo::exists(dir.file(QStringLiteral("sub/my_autosave.csv"))));
    QVERIFY(!QFileInfo::exists(doc.currentFile));
}

void TestPlaceListDocument::failedSavesAreReported_data()
{
    QTest::addColumn<QString>("how");
    for (const char* how : {"save as", "save question", "load after the question", "autosave"})
        QTest::newRow(how) << how;
}

// Every target is a folder, so no write can succeed: the warning comes, no success
// message, the list stays modified, and Load does not throw away the edits.
void TestPlaceListDocument::failedSavesAreReported()
{
    QFETCH(QString, how);
    ProgramDirScope dir;
    PromptScope scope;
    Document doc;
    doc.places = parsePlaceLines({"A,1,2,3,1,Image,11,10"});
    doc.modified = true;
    doc.currentFile = dir.file(QStringLiteral("list.csv"));
    const QString target = dir.file(how == "autosave" ? QStringLiteral("list_autosave.csv")
                                                      : QStringLiteral("list.csv"));
    QVERIFY(QDir(dir.path()).mkdir(QFileInfo(target).fileName()));
    writeAll(dir.file(QStringLiteral("other.csv")), "X,1,2,3,1,Image,11,10\n");
    scope.prompts().buttonAnswers << QMessageBox::Yes;

    bool ok = false;
    if (how == "save as") {
        scope.prompts().fileAnswers << target;
        doc.saveAsCommand();
    } else if (how == "save question") {
        ok = doc.askSaveIfModified();
    } else if (how == "autosave") {
        ok = doc.autosave(true);
    } else {
        scope.prompts().fileAnswers << dir.file(QStringLiteral("other.csv"));
        doc.loadCommand();
    }
    QVERIFY(!ok);
    const ScriptedPrompts::Call warning = scope.prompts().calls.last();
    QCOMPARE(warning.kind, QStringLiteral("warning"));
    QCOMPARE(warning.title, QStringLiteral("保存エラー"));
    const QString head = target + QStringLiteral(" に保存できませんでした。\n");
    QVERIFY2(warning.text.startsWith(head) && warning.text.size() > head.size(),
             qPrintable(warning.text));
    QVERIFY(doc.statuses.isEmpty());
    QVERIFY(doc.modified);
    QCOMPARE(names(doc.places), QStringList({"A"}));
    QVERIFY(QFileInfo(target).isDir());
}

QTEST_MAIN(TestPlaceListDocument)
#include "tst_placelistdocument.moc"
