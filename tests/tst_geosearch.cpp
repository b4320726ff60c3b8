#include "app/mivaromap.h"
#include "dialogs/coordinatefilldialog.h"
#include "net/geocoder.h"
#include "records/placefile.h"
#include "resources/resources.h"
#include "settings/appsettings.h"
#include "support_tileserver.h"
#include "testsupport.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressDialog>
#include <QStatusBar>
#include <QtTest>

namespace {

// One place in the address search's answer shape.
QString gsiPlace(const QString& title, double lon, double lat)
{
    return QString(R"({"geometry":{"coordinates":[%2,%3],"type":"Point"},"type":"Feature",)"
                   R"("properties":{"addressCode":"","title":"%1"}})")
        .arg(title, QString::number(lon, 'f', 6), QString::number(lat, 'f', 6));
}

QString encoded(const QString& text)
{
    return QString::fromLatin1(text.toUtf8().toPercentEncoding());
}

QAction* action(QWidget* window, const QString& text)
{
    for (QAction* a : window->findChildren<QAction*>()) {
        if (a->text() == text)
            return a;
    }
    return nullptr;
}

} // namespace

class TestGeoSearch : public QObject
{
    Q_OBJECT
    TestTileServer server;
    std::unique_ptr<ProgramDirScope> dir;
    std::unique_ptr<PromptScope> prompts;
    std::unique_ptr<MivaroMap> window;

    ScriptedPrompts& asked() { return prompts->prompts(); }
    QString gsiPath(const QString& q) const { return "/gsi?q=" + encoded(q); }
    QString nominatimPath(const QString& q) const { return "/n?q=" + encoded(q); }

    // A window over a list, its services on the test server.
    void open(const QByteArray& csv)
    {
        cleanup();
        prompts = std::make_unique<PromptScope>();
        dir = std::make_unique<ProgramDirScope>();
        writeAll(dir->file("list.csv"), csv);
        writeAll(dir->file("mivaromap.ini"), "csv_filename=" + dir->file("list.csv").toUtf8());
        AppSettings& settings = AppSettings::instance();
        settings.load();
        keepTilesLocal();
        settings.geocoderGsi = server.urlTemplate("/gsi?q={q}");
        settings.geocoderNominatim = server.urlTemplate("/n?q={q}");
        window = std::make_unique<MivaroMap>();
        window->placeSearch()->setRequestInterval(0);
        server.clearRequests();
    }

    QStringList names() const
    {
        QStringList out;
        for (const auto& r : window->places)
            out << r->name + "," + r->x + "," + r->y;
        out.sort();
        return out;
    }

private slots:
    void initTestCase()
    {
        initMivaroMapResources();
        using R = TestTileServer;
        const auto json = [](const QString& text) { return R::json(text.toUtf8()); };
        server.setResponse(gsiPath("松本城"),
                           json("[" + gsiPlace("松本城", 137.968857, 36.238583) + "]"));
        server.setResponse(gsiPath("城山"), json("[" + gsiPlace("城山 (鹿児島)", 130.55, 31.6) +
                                                 "," + gsiPlace("城山 (高知)", 133.5, 33.5) + "]"));
        for (const QString& path : {gsiPath("無い城"), nominatimPath("無い城")})
            server.setResponse(path, R::json("[]"));
    }
    void cleanup()
    {
        window.reset();
        prompts.reset();
        dir.reset();
    }

    // One clear place is filled, several are offered, none are listed; all of it is one
    // step to undo, and it is written like every edit.
    void fill()
    {
        open("松本城,,,0,1,Image,11,10\n城山,abc,,0,1,Image,11,10\n無い城,,,0,1,Image,11,10\n"
             "大坂城,135.5,34.6,0,1,Image,11,10\n");
        const QStringList before = names();
        QString summary;
        QStringList missing;
        asked().buttonAnswers << QMessageBox::Yes;
        asked().dialogAnswers << [&](QDialog* d) {
            auto* dialog = static_cast<CoordinateFillDialog*>(d);
            summary = dialog->summaryLabel()->text();
            for (int i = 0; i < dialog->notFoundList()->count(); ++i)
                missing << dialog->notFoundList()->item(i)->text();
            dialog->choiceBox(0)->setCurrentIndex(2);
            return int(QDialog::Accepted);
        };
        action(window.get(), "(&A) 座標のないすべての場所")->trigger();
        QVERIFY(asked().calls.back().text.contains("座標のない場所 3 件"));
        QVERIFY(window->findChild<QProgressDialog*>("fillProgress"));
        QVERIFY(waitUntil([this] { return !window->runningFill(); }));
        QVERIFY2(summary.contains("一つに決まった場所：1 件") &&
                     summary.contains("複数ある場所：1 件") &&
                     summary.contains("見つからなかった場所：1 件"),
                 qPrintable(summary));
        QCOMPARE(missing, QStringList{"無い城"});
        const QStringList after{"城山,133.5,33.5", "大坂城,135.5,34.6",
                                "松本城,137.968857,36.238583", "無い城,,"};
        QCOMPARE(names(), after);
        QCOMPARE(server.paths().filter("/n?").size(), 1); // only the name the address search lacked
        QVERIFY(readAll(autosavePath(dir->file("list.csv"))).contains("城山,133.5,33.5,"));
        QVERIFY(window->statusBar()->currentMessage().contains("2 件の座標を補完しました"));
        window->editHistory()->undo();
        QCOMPARE(names(), before);
        window->editHistory()->redo();
        QCOMPARE(names(), after);
    }

    // A public service is asked about at most 1000 names at once; one's own has no cap.
    void publicCap()
    {
        QByteArray csv;
        for (int i = 0; i < 1001; ++i)
            csv += "場所" + QByteArray::number(i) + ",,,0,1,Image,11,10\n";
        open(csv);
        asked().buttonAnswers << QMessageBox::No << QMessageBox::No;
        const auto fillAll = [this] {
            action(window.get(), "(&A) 座標のないすべての場所")->trigger();
            return asked().calls.back().text;
        };
        QVERIFY(fillAll().contains("座標のない場所 1001 件"));
        AppSettings::instance().geocoderGsi.clear(); // public, and answered No
        window = std::make_unique<MivaroMap>();
        const QString text = fillAll();
        QVERIFY(text.contains("座標のない場所 1000 件") && text.contains("一度に 1000 件まで"));
        QVERIFY(!window->runningFill());
    }
};

QTEST_MAIN(TestGeoSearch)
#include "tst_geosearch.moc"
