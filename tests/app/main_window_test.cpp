// The main window against real copies of the program folder and database, offscreen.

#include "app/data_grid.h"
#include "app/dialogs.h"
#include "app/error_handler.h"
#include "app/main_form.h"
#include "app/measurement_views.h"
#include "base/exception.h"
#include "lang/lang_flags_combo.h"
#include "lang/language_codes.h"
#include "lang/language_manager.h"
#include "meter/species_table.h"
#include "program_folder.h"
#include "store/database.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QSqlQuery>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <memory>

using namespace nx::app;

namespace {

// Names the case of a loop in the log, just before its checks, so a failure names it.
void caseTrace(const char* name) { qInfo("case: %s", name); }

// One run of the program: the main window first, then the dialogs it opens.
struct Session {
    explicit Session(const ProgramFolder& folder)
        : window(std::make_unique<TMainUniNXFormCF>(folder.path())),
          editName(std::make_unique<TFormEditName>()), pytForm(std::make_unique<TPytForm>()),
          infoForm(std::make_unique<TInfoForm>())
    {
        window->setForms({editName.get(), pytForm.get(), infoForm.get()});
    }
    void start()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    // Closes the way the user does, so the settings are saved.
    void close() { window->close(); }

    std::unique_ptr<TMainUniNXFormCF> window;
    std::unique_ptr<TFormEditName> editName;
    std::unique_ptr<TPytForm> pytForm;
    std::unique_ptr<TInfoForm> infoForm;
};

QVariant cellValue(nx::store::TableView& view, int row, const char* column)
{
    return view.value(row, QLatin1String(column));
}

void clickCell(DataGrid* grid, int row, int column)
{
    const QModelIndex cell = grid->model()->index(row, column);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
}

void clickTitle(DataGrid* grid, int column)
{
    QHeaderView* header = grid->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// Runs `answer` on the modal window as soon as it is open and active. A window the
// answer left open (a failed check) is cancelled, so the test goes on.
void whenModalOpens(std::function<void(QWidget*)> answer)
{
    QTimer::singleShot(0, [answer = std::move(answer)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            QFAIL("no modal window opened");
            return;
        }
        if (!QTest::qWaitForWindowActive(modal))
            qWarning("the modal window did not become active");
        answer(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible())
            dialog->reject();
    });
}

void pressKeyInFocus(Qt::Key key)
{
    QWidget* focus = QApplication::focusWidget();
    QVERIFY2(focus, "nothing has the focus");
    QTest::keyClick(focus, key);
}

void execSql(nx::store::Database& db, const QString& sql)
{
    db.inTransaction("test", [&] {
        QSqlQuery q(db.connection());
        QVERIFY2(q.exec(sql), qPrintable(sql));
    });
}

int countRows(const QString& programPath, const QString& sql)
{
    nx::store::Database db;
    db.open(programPath);
    QSqlQuery q(db.connection());
    q.exec(sql);
    return q.next() ? q.value(0).toInt() : -1;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() { errors_.clear(); }

    void startsWithDataInFirstTab();
    void tickCellTogglesNullThenOneThenZero();
    void tickCellOfOtherRowSelectsItFirst();
    void markAllFlagsCountPerGrid_data();
    void markAllFlagsCountPerGrid();
    void markAllOnEmptyResultsStillTurnsFlag();
    void sortArrowsAndDeclinedColumns_data();
    void sortArrowsAndDeclinedColumns();
    void sortOnOneTabOrdersOtherTab();
    void markByDateThenReload_data();
    void markByDateThenReload();
    void renameWithEnterEscapeAndEmpty_data();
    void renameWithEnterEscapeAndEmpty();
    void renameFieldHoldsWhatColumnHolds();
    void deleteCommandsAnswered_data();
    void deleteCommandsAnswered();
    void deleteMarkedKeepsOthersInOrder();
    void deleteObjectMovesToNextObject();
    void settingsSurviveRestartPerTab();
    void firstRunShowsDesignValues();
    void widePictureRule_data();
    void widePictureRule();
    void startsWithoutDatabase();
    void startsWithBadSpeciesFile();
    void storedLanguagePicksHeaderPicture();
    void pickedLanguageIsStoredAndShown();
    void textsFitInEveryLanguage();
    void handlerErrorIsShownAndProgramGoesOn();
    void infoBoxShowsTextUntilOk();

private:
    QStringList errors_;
    ScopedErrorPresenter recorder_{[this](const QString& text) { errors_ << text; }};
};

void MainWindowTest::startsWithDataInFirstTab()
{
    ProgramFolder folder;
    SampleData::fill(folder.path());
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    QVERIFY2(errors_.isEmpty(), qPrintable(errors_.join('\n')));
    QCOMPARE(w.windowTitle(), QStringLiteral("VELMAR S. A.   v.1.05"));
    QCOMPARE(w.PageControl1->currentIndex(), 0);
    QCOMPARE(w.database()->currentDevice(), 1);
    QCOMPARE(w.jvdbGrHobjects->model()->rowCount(), 3);
    QCOMPARE(w.jvdbGrHobjects->model()->columnCount(), 4);
    // The first object is current and its three results are shown.
    QCOMPARE(w.jvdbGrHresults->model()->rowCount(), 3);
    QCOMPARE(w.jvdbGrHobjects->currentIndex().row(), 0);
    QCOMPARE(w.jvdbGrHobjects->columnWidth(2), 194);
    QCOMPARE(w.jvdbGrHobjects->model()->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral("Sample number"));
    QCOMPARE(w.jvdbGrHresults->model()->index(0, 2).data().toString(),
             QLocale().toString(10.5, 'f', 1) + '%');
    QVERIFY(w.LabNazwa->text().isEmpty() && w.LabSN->text().isEmpty() && w.LabFV->text().isEmpty());
    QVERIFY(w.FtdiRS != nullptr);
    QVERIFY(!w.FlagaJest);
    QVERIFY(w.lastSortString().objects.isEmpty() && w.lastSortString().results.isEmpty());
    // Choosing the second object shows its (no) results.
    clickCell(w.jvdbGrHobjects, 1, 2);
    QCOMPARE(w.jvdbGrHresults->model()->rowCount(), 0);
    s.close();
    QVERIFY(w.FtdiRS == nullptr);
}

void MainWindowTest::tickCellTogglesNullThenOneThenZero()
{
    ProgramFolder folder;
    SampleData::fill(folder.path());
    {
        nx::store::Database db;
        db.open(folder.path());
        execSql(db, QStringLiteral("update OBIEKTY set REZI2 = null"));
        execSql(db, QStringLiteral("update WYNIKI set REZI1 = null"));
    }
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    struct Grid {
        const char* name;
        DataGrid* grid;
        nx::store::TableView& view;
        const char* mark;
    };
    for (const Grid& g : {Grid{"objects", w.jvdbGrHobjects, w.views()->objects(), "REZI2"},
                          Grid{"results", w.jvdbGrHresults, w.views()->results(), "REZI1"}}) {
        caseTrace(g.name);
        QVERIFY2(!g.grid->model()->index(0, 0).data(Qt::CheckStateRole).isValid(), g.name);
        for (int expected : {1, 0}) {
            clickCell(g.grid, 0, 0);
            QCOMPARE(cellValue(g.view, 0, g.mark).toInt(), expected);
            QCOMPARE(g.grid->model()->index(0, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(),
                     expected ? Qt::Checked : Qt::Unchecked);
        }
        // A click elsewhere in the row only selects it.
        clickCell(g.grid, 0, 1);
        QCOMPARE(cellValue(g.view, 0, g.mark).toInt(), 0);
    }
    // What the grid showed is what is stored.
    QCOMPARE(countRows(folder.path(), "select count(*) from OBIEKTY where REZI2 is null"), 4);
    QCOMPARE(countRows(folder.path(), "select count(*) from WYNIKI where REZI1 = 0"), 1);
}

void MainWindowTest::tickCellOfOtherRowSelectsItFirst()
{
    ProgramFolder folder;
    SampleData::fill(folder.path());
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    QCOMPARE(w.jvdbGrHobjects->currentIndex().row(), 0);
    clickCell(w.jvdbGrHobjects, 2, 0);
    QCOMPARE(w.views()->currentObjectRow(), 2);
    QCOMPARE(cellValue(w.views()->objects(), 2, "REZI2").toInt(), 1);
    QCOMPARE(cellValue(w.views()->objects(), 0, "REZI2").toInt(), 0);
    // The results followed the new row: the third sample has two.
    QCOMPARE(w.jvdbGrHresults->model()->rowCount(), 2);
    clickCell(w.jvdbGrHresults, 1, 0);
    QCOMPARE(cellValue(w.views()->results(), 1, "REZI1").toInt(), 1);
    QCOMPARE(cellValue(w.views()->results(), 0, "REZI1").toInt(), 0);
}

void MainWindowTest::markAllFlagsCountPerGrid_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<bool>("objects");
    QTest::newRow("moisture objects") << 0 << true;
    QTest::newRow("moisture results") << 0 << false;
    QTest::newRow("temperature objects") << 1 << true;
    QTest::newRow("temperature results") << 1 << false;
}

void MainWindowTest::markAllFlagsCountPerGrid()
{
    QFETCH(int, tab);
    QFETCH(bool, objects);
    ProgramFolder folder;
    SampleData::fill(folder.path());
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    w.PageControl1->setCurrentIndex(tab);
    DataGrid* grid = tab == 0 ? (objects ? w.jvdbGrHobjects : w.jvdbGrHresults)
                              : (objects ? w.JvDBUGTempObjects : w.JvDBUGTemp_details);
    bool* flags[] = {&w.FlSelect_OH, &w.FlSelect_WH, &w.FlSelect_OT, &w.FlSelect_WT};
    bool* own = flags[tab * 2 + (objects ? 0 : 1)];
    nx::store::TableView& view = objects ? static_cast<nx::store::TableView&>(w.views()->objects())
                                         : static_cast<nx::store::TableView&>(w.views()->results());
    const char* mark = objects ? "REZI2" : "REZI1";
    // The first click passes SELE 0, which marks every row; the second unmarks them.
    for (int expected : {1, 0}) {
        clickTitle(grid, 0);
        QVERIFY(view.rowCount() > 0);
        for (int r = 0; r < view.rowCount(); ++r)
            QCOMPARE(cellValue(view, r, mark).toInt(), expected);
        QCOMPARE(*own, expected == 1);
        for (bool* other : flags)
            if (other != own)
                QVERIFY(!*other);
    }
    // No title click on the tick column sorts.
    QVERIFY(!grid->horizontalHeader()->isSortIndicatorShown());
}

void MainWindowTest::markAllOnEmptyResultsStillTurnsFlag()
{
    ProgramFolder folder;
    SampleData::fill(folder.path());
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    clickCell(w.jvdbGrHobjects, 1, 2);  // the sample without results
    QCOMPARE(w.jvdbGrHresults->model()->rowCount(), 0);
    clickTitle(w.jvdbGrHresults, 0);
    QVERIFY(w.FlSelect_WH);
    QVERIFY(errors_.isEmpty());
    // The next click, on a filled view, passes SELE 1: it unmarks.
    clickCell(w.jvdbGrHobjects, 0, 2);
    clickCell(w.jvdbGrHresults, 0, 0);
    QCOMPARE(cellValue(w.views()->results(), 0, "REZI1").toInt(), 1);
    clickTitle(w.jvdbGrHresults, 0);
    QVERIFY(!w.FlSelect_WH);
    QCOMPARE(cellValue(w.views()->results(), 0, "REZI1").toInt(), 0);
}

void MainWindowTest::sortArrowsAndDeclinedColumns_data()
{
    QTest::addColumn<bool>("resultsGrid");
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QString>("clause");
    QTest::addColumn<int>("arrowColumn");  // -1: no arrow
    QTest::addColumn<bool>("ascending");
    QTest::newRow("sample number sorts") << false << QList<int>{1} << "REZI1 asc " << 1 << true;
    QTest::newRow("second click turns") << false << QList<int>{1, 1} << "REZI1 desc " << 1 << false;
    QTest::newRow("third click turns back") << false << QList<int>{1, 1, 1} << "REZI1 asc " << 1 << true;
    QTest::newRow("other column starts ascending")
        << false << QList<int>{1, 1, 3} << "NAZWA_LONG asc " << 3 << true;
    QTest::newRow("tick title declined, arrow kept") << false << QList<int>{2, 0} << "OPIS asc " << 2 << true;
    QTest::newRow("tick title alone") << false << QList<int>{0} << "" << -1 << true;
    QTest::newRow("results by date") << true << QList<int>{1, 1} << "DATACZAS desc " << 1 << false;
    QTest::newRow("results tick declined") << true << QList<int>{3, 0} << "DANE2 asc " << 3 << true;
}

void MainWindowTest::sortArrowsAndDeclinedColumns()
{
    QFETCH(bool, resultsGrid);
    QFETCH(QList<int>, clicks);
    QFETCH(QString, clause);
    QFETCH(int, arrowColumn);
    QFETCH(bool, ascending);
    ProgramFolder folder;
    SampleData::fill(folder.path());
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    DataGrid* grid = resultsGrid ? w.jvdbGrHresults : w.jvdbGrHobjects;
    for (int column : clicks)
        clickTitle(grid, column);
    const QString stored = resultsGrid ? w.lastSortString().results : w.lastSortString().objects;
    QCOMPARE(stored, clause);
    nx::store::TableView& view = resultsGrid ? static_cast<nx::store::TableView&>(w.views()->results())
                                             : static_cast<nx::store::TableView&>(w.views()->objects());
    QVERIFY2(clause.isEmpty() ? !view.sqlText().contains("order by")
                              : view.sqlText().endsWith("order by " + clause),
             qPrintable(view.sqlText()));
    QHeaderView* header = grid->horizontalHeader();
    QCOMPARE(header->isSortIndicatorShown(), arrowColumn >= 0);
    if (arrowColumn >= 0) {
        QCOMPARE(header->sortIndicatorSection(), arrowColumn);
        QCOMPARE(header->sortIndicatorOrder(), ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
}

void MainWindowTest::sortOnOneTabOrdersOtherTab()
{
    ProgramFolder folder;
    SampleData::fill(folder.path());
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    clickTitle(w.jvdbGrHobjects, 1);
    clickTitle(w.jvdbGrHobjects, 1);  // sample number, descending: 12, 11, 10
    QCOMPARE(cellValue(w.views()->objects(), 0, "REZI1").toInt(), 12);
    clickTitle(w.jvdbGrHresults, 1);  // measurement date, ascending
    w.PageControl1->setCurrentIndex(1);
    QCOMPARE(w.database()->currentDevice(), 2);
    QVERIFY(w.views()->objects().sqlText().endsWith("order by REZI1 desc "));
    QVERIFY(w.views()->results().sqlText().endsWith("order by DATACZAS asc "));
    QCOMPARE(w.JvDBUGTempObjects->model()->rowCount(), 2);
    QVERIFY(!w.JvDBUGTempObjects->horizontalHeader()->isSortIndicatorShown());
    QVERIFY(w.jvdbGrHobjects->horizontalHeader()->isSortIndicatorShown());
    // Back on the first tab the order and the arrow are as they were.
    w.PageControl1->setCurrentIndex(0);
    QCOMPARE(cellValue(w.views()->objects(), 0, "REZI1").toInt(), 12);
    QCOMPARE(w.jvdbGrHobjects->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
}

void MainWindowTest::markByDateThenReload_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<int>("marked");
    // Moisture results lie on 1..3 (sample 10), 7..8 (sample 12); temperature on 20, 21, 23.
    QTest::newRow("one day covers the whole day") << QDate(2024, 3, 2) << QDate(2024, 3, 2) << 1;
    QTest::newRow("range over both devices") << QDate(2024, 3, 3) << QDate(2024, 3, 20) << 4;
    QTest::newRow("reversed range marks nothing") << QDate(2024, 3, 8) << QDate(2024, 3, 1) << 0;
}

void MainWindowTest::markByDateThenReload()
{
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(int, marked);
    ProgramFolder folder;
    SampleData::fill(folder.path());
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    clickCell(w.jvdbGrHresults, 0, 0);  // a mark outside any range goes
    w.dtpDataOd->setDate(from);
    w.dtpDataDo->setDate(to);
    QTest::mouseClick(w.btnSelectDate, Qt::LeftButton);
    QCOMPARE(countRows(folder.path(), "select count(*) from WYNIKI where REZI1 = 1"), marked);
    // The views were reloaded: what the grid shows matches the database.
    int shown = 0;
    for (int r = 0; r < w.views()->results().rowCount(); ++r)
        shown += cellValue(w.views()->results(), r, "REZI1").toInt();
    QCOMPARE(shown, countRows(folder.path(),
                              QStringLiteral("select count(*) from WYNIKI where REZI1 = 1 and IDOB = %1")
                                  .arg(w.views()->currentObjectId())));
}

void MainWindowTest::renameWithEnterEscapeAndEmpty_data()
{
    QTest::addColumn<bool>("sampleName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("stored");
    QTest::newRow("Enter stores the text") << true << " Red lot  " << int(Qt::Key_Return) << " Red lot  ";
    QTest::newRow("Escape keeps the old name") << true << "Other" << int(Qt::Key_Escape) << "";
    QTest::newRow("my name with Enter") << false << "Cellar" << int(Qt::Key_Enter) << "Cellar";
    QTest::newRow("empty text is stored") << false << "" << int(Qt::Key_Return) << "";
}

void MainWindowTest::renameWithEnterEscapeAndEmpty()
{
    QFETCH(bool, sampleName);
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(QString, stored);
    ProgramFolder folder;
    SampleData::fill(folder.path());
    {
        nx::store::Database db;
        db.open(folder.path());
        execSql(db, QStringLiteral("update OBIEKTY set NAZWA_LONG = 'Before' where IDDEV = 2"));
    }
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    if (!sampleName)
        w.PageControl1->setCurrentIndex(1);
    const char* column = sampleName ? "OPIS" : "NAZWA_LONG";
    const QString before = cellValue(w.views()->objects(), 0, column).toString();
    QCOMPARE(before, sampleName ? QString() : QStringLiteral("Before"));
    const QString species = cellValue(w.views()->objects(), 0, "NAZWA_LONG").toString();
    bool opened = false;
    whenModalOpens([&](QWidget* modal) {
        opened = modal == s.editName.get();
        QCOMPARE(s.editName->edit()->text(), before);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.editName->edit()));
        s.editName->edit()->clear();
        QTest::keyClicks(s.editName->edit(), typed);
        pressKeyInFocus(Qt::Key(key));
    });
    (sampleName ? w.actSamplename : w.actMyname)->trigger();
    QVERIFY(opened);
    const QString expected = key == Qt::Key_Escape ? before : stored;
    QCOMPARE(cellValue(w.views()->objects(), 0, column).toString(), expected);
    w.ReloadObjects(QString());
    QCOMPARE(cellValue(w.views()->objects(), 0, column).toString(), expected);
    if (sampleName)  // the species stays as the download stored it
        QCOMPARE(cellValue(w.views()->objects(), 0, "NAZWA_LONG").toString(), species);
}

void MainWindowTest::renameFieldHoldsWhatColumnHolds()
{
    ProgramFolder folder;
    SampleData::fill(folder.path());
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    struct Case {
        const char* name;
        QAction* action;
        int tab;
        int length;
        const char* column;
    };
    for (const Case& c : {Case{"sample name", w.actSamplename, 0, 250, "OPIS"},
                          Case{"my name", w.actMyname, 1, 50, "NAZWA_LONG"}}) {
        caseTrace(c.name);
        w.PageControl1->setCurrentIndex(c.tab);
        whenModalOpens([&](QWidget*) {
            QCOMPARE(s.editName->edit()->maxLength(), c.length);
            s.editName->edit()->setText(QString(c.length + 20, QLatin1Char('x')));
            QTest::mouseClick(s.editName->okButton(), Qt::LeftButton);
        });
        c.action->trigger();
        QVERIFY2(errors_.isEmpty(), qPrintable(errors_.join('\n')));
        QCOMPARE(cellValue(w.views()->objects(), 0, c.column).toString(),
                 QString(c.length, QLatin1Char('x')));
    }
}

void MainWindowTest::deleteCommandsAnswered_data()
{
    QTest::addColumn<bool>("deleteObject");
    QTest::addColumn<QString>("answer");  // "ok", "enter", "cancel", "escape"
    QTest::addColumn<bool>("deletes");
    for (bool object : {false, true}) {
        const char* what = object ? "object" : "marked";
        QTest::addRow("%s OK", what) << object << "ok" << true;
        QTest::addRow("%s Enter at once", what) << object << "enter" << true;
        QTest::addRow("%s Cancel", what) << object << "cancel" << false;
        QTest::addRow("%s Escape", what) << object << "escape" << false;
    }
}

void MainWindowTest::deleteCommandsAnswered()
{
    QFETCH(bool, deleteObject);
    QFETCH(QString, answer);
    QFETCH(bool, deletes);
    ProgramFolder folder;
    SampleData::fill(folder.path());
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    clickCell(w.jvdbGrHresults, 1, 0);  // mark the second result of the first sample
    const int idob = w.views()->currentObjectId();
    QString shown;
    whenModalOpens([&](QWidget* modal) {
        QCOMPARE(modal, static_cast<QWidget*>(s.pytForm.get()));
        const QLabel* label = s.pytForm->shownMessage();
        shown = label ? label->text() : QString();
        if (answer == "ok")
            QTest::mouseClick(s.pytForm->okButton(), Qt::LeftButton);
        else if (answer == "cancel")
            QTest::mouseClick(s.pytForm->cancelButton(), Qt::LeftButton);
        else
            pressKeyInFocus(answer == "enter" ? Qt::Key_Return : Qt::Key_Escape);
    });
    (deleteObject ? w.actDelObject : w.actDelRekord)->trigger();
    QCOMPARE(shown, deleteObject ? QStringLiteral("Deleting an object and its records.\nAre you sure?")
                                 : QStringLiteral("Deleting records.\nAre you sure?"));
    QCOMPARE(s.pytForm->NumerKomunikatu, deleteObject ? 2 : 1);
    const QString ofObject = QStringLiteral(" where IDOB = %1").arg(idob);
    const int results = countRows(folder.path(), "select count(*) from WYNIKI" + ofObject);
    const int objects = countRows(folder.path(), "select count(*) from OBIEKTY" + ofObject);
    if (!deletes) {
        QCOMPARE(results, 3);
        QCOMPARE(objects, 1);
    } else if (deleteObject) {
        QCOMPARE(results, 0);
        QCOMPARE(objects, 0);
        QCOMPARE(w.jvdbGrHobjects->model()->rowCount(), 2);
    } else {
        QCOMPARE(results, 2);
        QCOMPARE(w.jvdbGrHresults->model()->rowCount(), 2);
    }
    // The other objects are never touched.
    QCOMPARE(countRows(folder.path(), "select count(*) from WYNIKI where IDOB <> " + QString::number(idob)),
             5);
}

void MainWindowTest::deleteMarkedKeepsOthersInOrder()
{
    ProgramFolder folder;
    {
        nx::store::Database db;
        db.open(folder.path());
        const int idob = db.updateObiekt({1, 1, {}, QStringLiteral("Arabica"), {}, 1});
        for (int r = 0; r < 6; ++r)
            db.wynikiUi({idob, SampleData::day(1 + r), 10.0f + float(r), 20.0f, r, 0, 0, {}});
        // A marked result of another object stays.
        const int other = db.updateObiekt({1, 2, {}, QStringLiteral("Robusta"), {}, 2});
        db.wynikiUi({other, SampleData::day(9), 9.0f, 20.0f, 99, 0, 1, {}});
    }
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    for (int row : {0, 2, 5})
        clickCell(w.jvdbGrHresults, row, 0);
    whenModalOpens([&](QWidget*) { QTest::mouseClick(s.pytForm->okButton(), Qt::LeftButton); });
    w.actDelRekord->trigger();
    QList<int> left;
    for (int r = 0; r < w.views()->results().rowCount(); ++r)
        left << cellValue(w.views()->results(), r, "DANE3").toInt();
    QCOMPARE(left, (QList<int>{1, 3, 4}));
    QCOMPARE(countRows(folder.path(), "select count(*) from WYNIKI"), 4);
    // Nothing marked: it asks, then deletes nothing.
    whenModalOpens([&](QWidget*) { QTest::mouseClick(s.pytForm->okButton(), Qt::LeftButton); });
    w.actDelRekord->trigger();
    QCOMPARE(countRows(folder.path(), "select count(*) from WYNIKI"), 4);
}

void MainWindowTest::deleteObjectMovesToNextObject()
{
    ProgramFolder folder;
    SampleData::fill(folder.path());
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    clickCell(w.jvdbGrHobjects, 1, 2);  // the sample without results
    for (int expectedRows : {2, 1, 0}) {
        whenModalOpens([&](QWidget*) { QTest::mouseClick(s.pytForm->okButton(), Qt::LeftButton); });
        w.actDelObject->trigger();
        QCOMPARE(w.jvdbGrHobjects->model()->rowCount(), expectedRows);
        const int current = w.views()->currentObjectRow();
        QCOMPARE(current, expectedRows == 0 ? -1 : std::min(1, expectedRows - 1));
        // The results follow the object the view now stands on.
        const int idob = w.views()->currentObjectId();
        QCOMPARE(w.views()->results().rowCount(),
                 countRows(folder.path(),
                           QStringLiteral("select count(*) from WYNIKI where IDOB = %1").arg(idob)));
    }
    // With no object left there is nothing to rename or delete.
    QVERIFY(!w.actDelObject->isEnabled());
    QVERIFY(!w.actSamplename->isEnabled());
    QVERIFY(errors_.isEmpty());
}

void MainWindowTest::settingsSurviveRestartPerTab()
{
    ProgramFolder folder;
    {
        Session s(folder);
        s.start();
        TMainUniNXFormCF& w = *s.window;
        w.setGeometry(40, 50, 1300, 700);
        QCoreApplication::processEvents();  // the new size reaches the panes
        w.Splitter1->setSizes({520, w.Splitter1->width() - 520});
        w.dtpDataOd->setDate(QDate(2023, 1, 2));
        w.dtpDataDo->setDate(QDate(2023, 2, 3));
        s.close();
    }
    QVERIFY(QFile::exists(folder.settingsFile()));
    QSettings file(folder.settingsFile(), QSettings::IniFormat);
    QCOMPARE(file.value("MainUniNXFormCF/Panel6_Width").toInt(), 520);
    QCOMPARE(file.value("MainUniNXFormCF/dtpDataOd_Date").toString(), QStringLiteral("2023-01-02"));
    {
        Session s(folder);
        s.start();
        TMainUniNXFormCF& w = *s.window;
        QCOMPARE(w.Panel6->width(), 520);
        QCOMPARE(w.dtpDataOd->date(), QDate(2023, 1, 2));
        QCOMPARE(w.dtpDataDo->date(), QDate(2023, 2, 3));
        QCOMPARE(w.size(), QSize(1300, 700));
        w.PageControl1->setCurrentIndex(1);
        QCOMPARE(w.Panel8->width(), 572);  // the other tab keeps its own width
        w.Splitter2->setSizes({610, w.Splitter2->width() - 610});
        s.close();
    }
    {
        Session s(folder);
        s.start();
        TMainUniNXFormCF& w = *s.window;
        w.PageControl1->setCurrentIndex(1);
        QCOMPARE(w.Panel8->width(), 610);
        w.PageControl1->setCurrentIndex(0);
        QCOMPARE(w.Panel6->width(), 520);
    }
}

void MainWindowTest::firstRunShowsDesignValues()
{
    ProgramFolder folder;
    SampleData::fill(folder.path());
    // Damaged items count as missing.
    QDir().mkpath(folder.configDir());
    QFile f(folder.settingsFile());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[MainUniNXFormCF]\ndtpDataOd_Date=yesterday\nPanel6_Width=-5\nWidth=abc\n");
    f.close();
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    QCOMPARE(w.dtpDataOd->date(), QDate(2017, 5, 30));
    QCOMPARE(w.dtpDataDo->date(), QDate(2017, 5, 30));
    QCOMPARE(w.Panel6->width(), 553);
    QCOMPARE(w.size(), QSize(1411, 662));
}

void MainWindowTest::widePictureRule_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("shown");
    QTest::newRow("1411 design width") << 1411 << false;
    QTest::newRow("1700 hides") << 1700 << false;
    QTest::newRow("1701 shows") << 1701 << true;
    QTest::newRow("1900 shows") << 1900 << true;
}

void MainWindowTest::widePictureRule()
{
    QFETCH(int, width);
    QFETCH(bool, shown);
    ProgramFolder folder;
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    w.resize(width + 200, 700);
    w.resize(width - (w.frameGeometry().width() - w.width()), 700);
    QCOMPARE(w.frameGeometry().width(), width);
    QCOMPARE(w.imgWide->isVisible(), shown);
}

void MainWindowTest::startsWithoutDatabase()
{
    ProgramFolder folder;
    folder.removeFile(QStringLiteral("NXbase.fb"));
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    QCOMPARE(errors_.size(), 1);
    QVERIFY2(errors_[0].contains(QStringLiteral("NXbase.fb")), qPrintable(errors_[0]));
    QVERIFY(w.isVisible());
    QVERIFY(w.database() == nullptr);
    for (QAction* a : {w.actSamplename, w.actMyname, w.actDelRekord, w.actDelObject, w.actChart})
        QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    QVERIFY(!w.btnSelectDate->isEnabled());
    QVERIFY(!w.PageControl1->isEnabled());
    // The rest of start-up ran: the link exists and the species are there.
    QVERIFY(w.FtdiRS != nullptr);
    QVERIFY(!w.species().name(0, 1).isEmpty());
    QCOMPARE(w.headerPictureOnTop(), 0);
    // Commands reached anyway do nothing instead of failing.
    w.btnSelectDateClick();
    w.PageControl1Change(1);
    QCOMPARE(errors_.size(), 1);
}

void MainWindowTest::startsWithBadSpeciesFile()
{
    ProgramFolder folder;
    SampleData::fill(folder.path());
    folder.writeFile(QStringLiteral("GatunkiNXMc.txt"),
                     "\xEF\xBB\xBF"
                     "1#Arabica#Arabika#Arabica#Arabica#Arabica#Арабика#\n"
                     "2#Robusta#Robusta#Robusta#Robusta#Robusta#Робуста#\n\n");
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    QCOMPARE(errors_.size(), 1);
    QVERIFY2(errors_[0].contains(QStringLiteral("is not a valid integer value")), qPrintable(errors_[0]));
    QCOMPARE(w.species().name(1, 2), QStringLiteral("Robusta"));
    QCOMPARE(w.species().name(5, 1), QStringLiteral("Арабика"));
    // Start-up went on: the data is shown and the commands work.
    QCOMPARE(w.jvdbGrHobjects->model()->rowCount(), 3);
    QVERIFY(w.actDelRekord->isEnabled());
}

void MainWindowTest::storedLanguagePicksHeaderPicture()
{
    ProgramFolder folder;
    const int entries = nx::lang::LanguageManager(folder.path()).count();
    QVERIFY2(entries > 1, "the program folder has no language files");
    struct Case {
        const char* name;
        int stored;
    };
    for (const Case& c :
         {Case{"English", 0}, Case{"last entry", entries - 1}, Case{"beyond the list", entries + 3}}) {
        caseTrace(c.name);
        {
            nx::store::Database db;
            db.open(folder.path());
            db.writeLanguage(c.stored);
        }
        Session s(folder);
        s.start();
        TMainUniNXFormCF& w = *s.window;
        const int expected =
            c.stored < entries ? nx::lang::languageNumber(w.languages().codeOfEntry(c.stored)) : 0;
        QCOMPARE(w.GetActLangNbr(), expected);
        QCOMPARE(w.headerPictureOnTop(), expected);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(w.headerPictures[i]->isVisible(), i == expected);
        s.close();
    }
}

void MainWindowTest::pickedLanguageIsStoredAndShown()
{
    ProgramFolder folder;
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    QComboBox* list = w.LangFlagsCombo1;
    QVERIFY(list->count() > 2);
    const QString englishTab = w.PageControl1->tabText(0);
    // The user picks the third entry from the drop-down.
    list->setFocus();
    list->setCurrentIndex(0);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentIndex(), 2);
    QCOMPARE(w.database()->readLanguage(), 2);
    const int number = nx::lang::languageNumber(w.languages().codeOfEntry(2));
    QCOMPARE(w.GetActLangNbr(), number);
    QVERIFY(w.headerPictures[number]->isVisible());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.ButtonConnect));
    // The open window and its dialogs follow the switch at once.
    QVERIFY2(w.PageControl1->tabText(0) != englishTab, qPrintable(w.PageControl1->tabText(0)));
    QVERIFY2(s.pytForm->cancelButton()->text() != QStringLiteral("Cancel"),
             qPrintable(s.pytForm->cancelButton()->text()));
    QCOMPARE(s.editName->cancelButton()->text(), s.pytForm->cancelButton()->text());
    // A window created after the switch comes up in the new language.
    const TPytForm later;
    QCOMPARE(later.cancelButton()->text(), s.pytForm->cancelButton()->text());
    s.close();
    Session again(folder);
    again.start();
    QCOMPARE(again.window->LangFlagsCombo1->currentIndex(), 2);
    QCOMPARE(again.window->headerPictureOnTop(), number);
}

void MainWindowTest::textsFitInEveryLanguage()
{
    ProgramFolder folder;
    Session s(folder);
    s.start();
    TMainUniNXFormCF& w = *s.window;
    const auto widget = [&](const char* name) {
        QWidget* found = w.findChild<QWidget*>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    };
    struct Caption {
        const char* caption;
        const char* value;
    };
    const Caption captions[] = {
        {"LabDevice", "LabNazwa"}, {"LabSNCaption", "LabSN"}, {"LabFVCaption", "LabFV"}};
    for (const nx::lang::LanguageEntry& entry : w.languages().entries()) {
        caseTrace(qPrintable(entry.name));
        QVERIFY(w.languages().switchToCode(entry.code));
        QCoreApplication::processEvents();  // the band lays out the new texts
        for (const Caption& c : captions) {
            QWidget* caption = widget(c.caption);
            QVERIFY2(caption->width() >= caption->sizeHint().width(),
                     qPrintable(entry.name + ": " + static_cast<QLabel*>(caption)->text()));
            QVERIFY2(widget(c.value)->x() > caption->geometry().right(), c.value);
        }
        QStringList cut;
        for (const QPushButton* button : {w.ButtonConnect, w.btnRaport, w.btnExportPDF, w.btnChart,
                                          w.btnExportXLS, w.btnSelectDate, w.btnKontakt})
            if (button->width() < button->sizeHint().width())
                cut << button->text();
        for (const QToolButton* bar : w.findChildren<QToolButton*>())
            if (bar->defaultAction() && bar->width() < bar->sizeHint().width())
                cut << bar->text();
        QVERIFY2(cut.isEmpty(), qPrintable(entry.name + ": " + cut.join(QStringLiteral(", "))));
        for (int message : {1, 2}) {
            s.pytForm->NumerKomunikatu = message;
            s.pytForm->show();
            const QLabel* shown = s.pytForm->shownMessage();
            QVERIFY2(shown->width() >= shown->sizeHint().width() &&
                         shown->height() >= shown->sizeHint().height(),
                     qPrintable(entry.name + ": " + shown->text()));
            s.pytForm->hide();
        }
    }
}

namespace {

// A window whose handler fails the way a database call does.
class FailingWidget final : public QWidget {
protected:
    void mousePressEvent(QMouseEvent*) override { throw nx::Exception("The database said no."); }
};

}  // namespace

void MainWindowTest::handlerErrorIsShownAndProgramGoesOn()
{
    FailingWidget failing;
    failing.resize(50, 50);
    failing.show();
    QTest::mouseClick(&failing, Qt::LeftButton);
    QCOMPARE(errors_, QStringList{QStringLiteral("The database said no.")});
    // The event loop still runs the next event.
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    QCoreApplication::processEvents();
    QVERIFY(ran);
}

void MainWindowTest::infoBoxShowsTextUntilOk()
{
    TInfoForm box;
    QString shown;
    whenModalOpens([&](QWidget* modal) {
        QCOMPARE(modal, static_cast<QWidget*>(&box));
        shown = box.shownText();
        pressKeyInFocus(Qt::Key_Return);
    });
    box.DlgShow(QStringLiteral("Open Office Calc  not installed"));
    QCOMPARE(shown, QStringLiteral("Open Office Calc  not installed"));
    QCOMPARE(box.result(), int(QDialog::Accepted));
    QVERIFY(!box.isVisible());
}

int main(int argc, char** argv)
{
    nx::app::NxApplication app(argc, argv);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
