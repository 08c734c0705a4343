// Window-free pieces of the main window: the settings file, the spreadsheet check, sorting.

#include "app/form_settings.h"
#include "app/grid_sort.h"
#include "app/spreadsheet_apps.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace nx::app;

class AppLogicTest : public QObject {
    Q_OBJECT

private slots:
    void iniBooleans_data();
    void iniBooleans();
    void settingsRoundTrip();
    void settingsFileMissingOrDamaged_data();
    void settingsFileMissingOrDamaged();
    void defaultFileFollowsConfigHome();
    void unwritableSettingsFileIsAnError();
    void sortRequests();
    void spreadsheetProgramsFromDesktopFiles();
};

void AppLogicTest::iniBooleans_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");  // 1 true, 0 false, -1 the fallback
    QTest::newRow("TRUE") << "TRUE" << 1;
    QTest::newRow("yes") << "yes" << 1;
    QTest::newRow("Y") << "Y" << 1;
    QTest::newRow("false") << "false" << 0;
    QTest::newRow("NO") << "NO" << 0;
    QTest::newRow("n padded") << " n " << 0;
    QTest::newRow("1 is no spelling of the file") << "1" << -1;
    QTest::newRow("empty") << "" << -1;
}

void AppLogicTest::iniBooleans()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    for (bool fallback : {false, true})
        QCOMPARE(parseIniBool(text, fallback), expected < 0 ? fallback : expected == 1);
}

void AppLogicTest::settingsRoundTrip()
{
    QTemporaryDir dir;
    const FormSettingsFile file(dir.filePath(QStringLiteral("sub/Velmar.cfp")));
    MainFormSettings s;
    s.normalGeometry = QRect(10, 20, 1500, 800);
    s.maximized = true;
    s.dateFrom = QDate(2024, 2, 29);
    s.dateTo = QDate(2024, 3, 1);
    s.panel6Width = 700;
    s.panel8Width = 333;
    file.save(s, 120);
    QCOMPARE(file.load(), s);
    QSettings raw(file.path(), QSettings::IniFormat);
    QCOMPARE(raw.value("MainUniNXFormCF/Maximized").toString(), QStringLiteral("TRUE"));
    QCOMPARE(raw.value("MainUniNXFormCF/PixelsPerInch").toInt(), 120);
    QCOMPARE(raw.value("MainUniNXFormCF/FormVersion").toInt(), 0);
    QCOMPARE(raw.value("MainUniNXFormCF/Panel8_Width").toInt(), 333);
    QCOMPARE(raw.value("MainUniNXFormCF/dtpDataDo_Date").toString(), QStringLiteral("2024-03-01"));
}

void AppLogicTest::settingsFileMissingOrDamaged_data()
{
    QTest::addColumn<QByteArray>("contents");  // empty: no file at all
    QTest::addColumn<QDate>("dateFrom");
    QTest::addColumn<int>("panel6");
    QTest::addColumn<int>("panel8");
    QTest::addColumn<bool>("geometry");
    const QDate design(2017, 5, 30);
    QTest::newRow("no file") << QByteArray() << design << 553 << 572 << false;
    QTest::newRow("other section only")
        << QByteArray("[Other]\nPanel6_Width=900\n") << design << 553 << 572 << false;
    QTest::newRow("damaged items") << QByteArray(
                                          "[MainUniNXFormCF]\ndtpDataOd_Date=31.02.2020\nPanel6_Width=wide\n"
                                          "Panel8_Width=0\nLeft=1\nTop=2\nWidth=3\n")
                                   << design << 553 << 572 << false;
    QTest::newRow("some items") << QByteArray(
                                       "[MainUniNXFormCF]\ndtpDataOd_Date=2020-01-31\nPanel8_Width=601\n")
                                << QDate(2020, 1, 31) << 553 << 601 << false;
    QTest::newRow("binary junk") << QByteArray("\x00\xff\xfe[[[=\n\x01", 9) << design << 553 << 572 << false;
}

void AppLogicTest::settingsFileMissingOrDamaged()
{
    QFETCH(QByteArray, contents);
    QFETCH(QDate, dateFrom);
    QFETCH(int, panel6);
    QFETCH(int, panel8);
    QFETCH(bool, geometry);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Velmar.cfp"));
    if (!contents.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contents);
    }
    const MainFormSettings s = FormSettingsFile(path).load();
    QCOMPARE(s.dateFrom, dateFrom);
    QCOMPARE(s.dateTo, QDate(2017, 5, 30));
    QCOMPARE(s.panel6Width, panel6);
    QCOMPARE(s.panel8Width, panel8);
    QCOMPARE(s.normalGeometry.isValid(), geometry);
}

void AppLogicTest::defaultFileFollowsConfigHome()
{
    QTemporaryDir dir;
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    QCOMPARE(FormSettingsFile().path(), dir.path() + QStringLiteral("/Velmar.cfp"));
    qputenv("XDG_CONFIG_HOME", old);
}

void AppLogicTest::unwritableSettingsFileIsAnError()
{
    QTemporaryDir dir;
    // A folder where the file should be: nothing can be written there.
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("Velmar.cfp"))));
    const FormSettingsFile file(dir.filePath(QStringLiteral("Velmar.cfp")));
    bool failed = false;
    try {
        file.save(MainFormSettings(), 96);
    } catch (const std::exception& e) {
        failed = QString::fromUtf8(e.what()).contains(QStringLiteral("Velmar.cfp"));
    }
    QVERIFY(failed);
}

void AppLogicTest::sortRequests()
{
    QCOMPARE(sortClause(QStringLiteral("OPIS"), true), QStringLiteral("OPIS asc "));
    QCOMPARE(sortClause(QStringLiteral("DATACZAS"), false), QStringLiteral("DATACZAS desc "));
    GridSortState state;
    QVERIFY(!state.hasArrow());
    struct Step {
        int column;
        bool accept;
        bool ascending;  // the request made
    };
    // A declined request leaves the arrow, so the next click on that column asks the same.
    const Step steps[] = {{2, true, true}, {2, true, false}, {0, false, true},  {2, true, true},
                          {3, true, true}, {2, true, true},  {2, false, false}, {2, true, false}};
    int n = 0;
    for (const Step& step : steps) {
        const GridSortState::Request request = state.requestFor(step.column);
        QVERIFY2(request.ascending == step.ascending, qPrintable(QStringLiteral("step %1").arg(n)));
        if (step.accept)
            state.accept(request);
        ++n;
    }
    QCOMPARE(state.column(), 2);
    QVERIFY(!state.ascending());
}

void AppLogicTest::spreadsheetProgramsFromDesktopFiles()
{
    // GIO reads its desktop folders once per process: one program opens ODS, none XLS.
    QTemporaryDir dir;
    const QString apps = dir.filePath(QStringLiteral("data/applications"));
    QVERIFY(QDir().mkpath(apps));
    QFile desktop(apps + QStringLiteral("/calc-like.desktop"));
    QVERIFY(desktop.open(QIODevice::WriteOnly));
    desktop.write("[Desktop Entry]\nType=Application\nName=Calc-like\nExec=/bin/true %f\n"
                  "MimeType=application/vnd.oasis.opendocument.spreadsheet;\n");
    desktop.close();
    // An archive program opens the type the Excel type is derived from, not the Excel type.
    QFile archive(apps + QStringLiteral("/archive-like.desktop"));
    QVERIFY(archive.open(QIODevice::WriteOnly));
    archive.write("[Desktop Entry]\nType=Application\nName=Archive-like\nExec=/bin/true %f\n"
                  "MimeType=application/x-ole-storage;\n");
    archive.close();
    // The type-to-program index the desktop's update-desktop-database keeps.
    QFile cache(apps + QStringLiteral("/mimeinfo.cache"));
    QVERIFY(cache.open(QIODevice::WriteOnly));
    cache.write("[MIME Cache]\napplication/vnd.oasis.opendocument.spreadsheet=calc-like.desktop;\n"
                "application/x-ole-storage=archive-like.desktop;\n");
    cache.close();
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("data/mime"))));
    QFile subclasses(dir.filePath(QStringLiteral("data/mime/subclasses")));
    QVERIFY(subclasses.open(QIODevice::WriteOnly));
    subclasses.write("application/vnd.ms-excel application/x-ole-storage\n");
    subclasses.close();
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(dir.filePath(QStringLiteral("none"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(dir.filePath(QStringLiteral("none"))));
    const SpreadsheetApps found = detectSpreadsheetApps();
    QVERIFY(found.IsOpenOffExport);
    QVERIFY(!found.IsExcelExport);
    QVERIFY(hasApplicationFor("application/x-ole-storage"));
    QVERIFY(!hasApplicationFor("application/x-nothing-opens-this"));
}

QTEST_GUILESS_MAIN(AppLogicTest)

#include "app_logic_test.moc"
