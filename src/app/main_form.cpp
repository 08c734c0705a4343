#include "app/main_form.h"

#include "app/data_grid.h"
#include "app/dialogs.h"
#include "app/error_handler.h"
#include "app/framed_dialog.h"
#include "app/measurement_views.h"
#include "app/progres_form.h"
#include "base/exception.h"
#include "lang/database_language_store.h"
#include "lang/lang_flags_combo.h"
#include "lang/language_manager.h"
#include "lang/runtime_texts.h"
#include "meter/download.h"
#include "meter/species_table.h"
#include "store/database.h"
#include "usb/tftdichip.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDateEdit>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSplitter>
#include <QSvgRenderer>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace nx::app {

namespace {

constexpr int kBandHeight = 273;
constexpr QSize kHeaderPictureSize(610, 295);
constexpr QSize kWidePictureSize(1703, 273);
constexpr int kWidePictureMinWidth = 1700;
constexpr const char* kSpeciesFile = "GatunkiNXMc.txt";
constexpr const char* headerPictureFiles[6] = {
    ":/pictures/header_en.svg", ":/pictures/header_pl.svg", ":/pictures/header_de.svg",
    ":/pictures/header_fr.svg", ":/pictures/header_es.svg", ":/pictures/header_ru.svg",
};
constexpr const char* headerPictureNames[6] = {"imgEN", "imgPL", "imgDE", "imgFR", "imgES", "imgRU"};

// Grid columns: the view's column, width, centred.
const std::vector<GridColumn> moistureObjectColumns = {
    {"REZI2", 31, true}, {"REZI1", 118, true}, {"OPIS", 194, false}, {"NAZWA_LONG", 227, false}};
const std::vector<GridColumn> moistureResultColumns = {
    {"REZI1", 28, true}, {"DATACZAS", 182, false}, {"DANE1", 106, false}, {"DANE2", 127, false}};
const std::vector<GridColumn> temperatureObjectColumns = {
    {"REZI2", 28, true}, {"NAZWA_DEV", 173, false}, {"NAZWA_LONG", 322, false}};
const std::vector<GridColumn> temperatureResultColumns = {
    {"REZI1", 23, true}, {"DATACZAS", 199, false}, {"DANE2", 152, false}};

// The top band: a vertical gradient from dark brown to cream; it places its right-anchored
// controls itself.
class TopBand final : public QWidget {
public:
    using QWidget::QWidget;
    std::function<void(int width)> onResize;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QLinearGradient gradient(0, 0, 0, height());
        gradient.setColorAt(0, brownColour);
        gradient.setColorAt(1, creamColour);
        painter.fillRect(rect(), gradient);
    }
    void resizeEvent(QResizeEvent*) override
    {
        if (onResize)
            onResize(width());
    }
};

// A picture drawn from its SVG at the widget's size.
class SvgPicture final : public QWidget {
public:
    SvgPicture(const QString& file, QWidget* parent) : QWidget(parent), renderer_(file, this) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        renderer_.render(&painter, QRectF(rect()));
    }

private:
    QSvgRenderer renderer_;
};

// The date-marking frame: a 2-pixel line in the band's brown.
class DateFrame final : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(QPen(brownColour, 2));
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
};

QPushButton* bandButton(QWidget* band, const char* name, QRect geometry, const char* picture)
{
    auto* button = new QPushButton(band);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setIcon(QIcon(QLatin1String(picture)));
    button->setIconSize(QSize(24, 24));
    return button;
}

QString folderWithSeparator(const QString& folder)
{
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    return clean.endsWith(QLatin1Char('/')) ? clean : clean + QLatin1Char('/');
}

}  // namespace

TMainUniNXFormCF::TMainUniNXFormCF(const QString& programDir, const QString& settingsPath, QWidget* parent)
    : QMainWindow(parent),
      programDir_(programDir.isEmpty() ? QCoreApplication::applicationDirPath() : programDir),
      settingsFile_(settingsPath.isEmpty() ? FormSettingsFile() : FormSettingsFile(settingsPath)),
      species_(std::make_unique<meter::SpeciesTable>()),
      languages_(std::make_unique<lang::LanguageManager>(folderWithSeparator(programDir_)))
{
    setObjectName(QStringLiteral("MainUniNXFormCF"));
    setFont(tahomaFont(16));
    resize(1411, 662);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    band_ = new TopBand(central);
    band_->setObjectName(QStringLiteral("Panel1"));
    band_->setFixedHeight(kBandHeight);
    buildBand(band_);
    layout->addWidget(band_);

    PageControl1 = new QTabWidget(central);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->tabBar()->setFont(tahomaFont(19));
    PageControl1->addTab(buildTab(true), QString());
    PageControl1->addTab(buildTab(false), QString());
    PageControl1->setCurrentIndex(0);
    layout->addWidget(PageControl1, 1);
    setCentralWidget(central);

    actChart = new QAction(QIcon(QStringLiteral(":/pictures/icon_chart.svg")), QString(), this);
    actChart->setObjectName(QStringLiteral("actChart"));
    actChart->setEnabled(false);
    actSamplename = new QAction(QIcon(QStringLiteral(":/pictures/icon_edit.svg")), QString(), this);
    actSamplename->setObjectName(QStringLiteral("actSamplename"));
    actMyname = new QAction(QIcon(QStringLiteral(":/pictures/icon_edit.svg")), QString(), this);
    actMyname->setObjectName(QStringLiteral("actMyname"));
    actDelRekord = new QAction(QIcon(QStringLiteral(":/pictures/icon_delete.svg")), QString(), this);
    actDelRekord->setObjectName(QStringLiteral("actDelRekord"));
    actDelObject = new QAction(QIcon(QStringLiteral(":/pictures/icon_delete.svg")), QString(), this);
    actDelObject->setObjectName(QStringLiteral("actDelObject"));
    connect(actSamplename, &QAction::triggered, this, &TMainUniNXFormCF::actSamplenameExecute);
    connect(actMyname, &QAction::triggered, this, &TMainUniNXFormCF::actMynameExecute);
    connect(actDelRekord, &QAction::triggered, this, &TMainUniNXFormCF::actDelRekordExecute);
    connect(actDelObject, &QAction::triggered, this, &TMainUniNXFormCF::actDelObjectExecute);

    // Button bars: moisture objects, moisture results, temperature objects, temperature results.
    barButtons_[0]->setDefaultAction(actSamplename);
    barButtons_[1]->setDefaultAction(actDelObject);
    barButtons_[2]->setDefaultAction(actDelRekord);
    barButtons_[3]->setDefaultAction(actMyname);
    barButtons_[4]->setDefaultAction(actDelObject);
    barButtons_[5]->setDefaultAction(actDelRekord);
    btnChart->setIcon(actChart->icon());

    // Context menus: PopABobjectH, PopABobjectT, and PopABresult of the results grids and
    // the tab control.
    jvdbGrHobjects->addActions({actSamplename, actChart});
    JvDBUGTempObjects->addActions({actMyname, actChart});
    jvdbGrHresults->addAction(actDelRekord);
    JvDBUGTemp_details->addAction(actDelRekord);
    PageControl1->addAction(actDelRekord);
    for (QWidget* w : std::initializer_list<QWidget*>{jvdbGrHobjects, JvDBUGTempObjects, jvdbGrHresults,
                                                      JvDBUGTemp_details, PageControl1})
        w->setContextMenuPolicy(Qt::ActionsContextMenu);

    connect(PageControl1, &QTabWidget::currentChanged, this, &TMainUniNXFormCF::PageControl1Change);
    connect(btnSelectDate, &QPushButton::clicked, this, &TMainUniNXFormCF::btnSelectDateClick);
    connect(LangFlagsCombo1, &lang::LangFlagsCombo::languagePicked, this,
            &TMainUniNXFormCF::LangFlagsCombo1ChangeLanguage);
    for (auto [grid, objects] : {std::pair{jvdbGrHobjects, true}, std::pair{JvDBUGTempObjects, true},
                                 std::pair{jvdbGrHresults, false}, std::pair{JvDBUGTemp_details, false}}) {
        connect(grid, &DataGrid::titleClicked, this,
                [this, grid = grid, objects = objects](int column) { titleClick(grid, column, objects); });
        connect(grid, &QAbstractItemView::clicked, this,
                [this, grid = grid, objects = objects](const QModelIndex& i) {
                    if (objects)
                        jvdbGrHobjectsCellClick(grid, i);
                    else
                        jvdbGrHresultsCellClick(grid, i);
                });
    }

    updateCommands();
    retranslateUi();
}

TMainUniNXFormCF::~TMainUniNXFormCF()
{
    // Closed without the close handling (destroyed by its owner): keep the settings anyway,
    // but only those of a window that was shown and so read its file first.
    if (settingsRestored_ && !settingsSaved_) {
        try {
            saveSettings();
        } catch (const std::exception&) {
            // Nothing can be shown from a destructor; the previous file stays.
        }
    }
    // The grids show the store's views: they go before the database that owns them.
    delete takeCentralWidget();
}

void TMainUniNXFormCF::buildBand(QWidget* band)
{
    for (int i = 0; i < 6; ++i) {
        auto* picture = new SvgPicture(QLatin1String(headerPictureFiles[i]), band);
        picture->setObjectName(QLatin1String(headerPictureNames[i]));
        picture->setGeometry(QRect(QPoint(0, 0), kHeaderPictureSize));
        headerPictures[i] = picture;
    }
    imgWide = new SvgPicture(QStringLiteral(":/pictures/band_wide.svg"), band);
    imgWide->setObjectName(QStringLiteral("imgWide"));
    imgWide->setGeometry(QRect(QPoint(1350, 0), kWidePictureSize));
    imgWide->hide();

    // The captions take the width their language needs; the values follow them.
    auto* meterInfo = new QWidget(band);
    meterInfo->setGeometry(625, 14, 455, 80);
    auto* meterGrid = new QGridLayout(meterInfo);
    meterGrid->setContentsMargins(0, 0, 0, 0);
    meterGrid->setHorizontalSpacing(5);
    meterGrid->setVerticalSpacing(4);
    meterGrid->setColumnStretch(1, 1);
    const auto meterLabel = [&](const char* name, bool bold, int row, int column) {
        auto* label = new QLabel(meterInfo);
        label->setObjectName(QLatin1String(name));
        label->setFont(tahomaFont(16, bold));
        label->setFixedHeight(24);
        meterGrid->addWidget(label, row, column);
        return label;
    };
    LabDevice = meterLabel("LabDevice", true, 0, 0);
    LabNazwa = meterLabel("LabNazwa", true, 0, 1);
    LabSNCaption = meterLabel("LabSNCaption", false, 1, 0);
    LabSN = meterLabel("LabSN", false, 1, 1);
    LabFVCaption = meterLabel("LabFVCaption", false, 2, 0);
    LabFV = meterLabel("LabFV", false, 2, 1);

    ButtonConnect = bandButton(band, "ButtonConnect", QRect(625, 104, 221, 58), ":/pictures/icon_start.svg");
    ButtonConnect->setFont(tahomaFont(19, true));
    ButtonConnect->setIconSize(QSize(32, 32));
    btnRaport = bandButton(band, "btnRaport", QRect(625, 176, 225, 40), ":/pictures/icon_report.svg");
    btnExportPDF = bandButton(band, "btnExportPDF", QRect(855, 176, 225, 40), ":/pictures/icon_pdf.svg");
    btnChart = bandButton(band, "btnChart", QRect(625, 222, 225, 40), ":/pictures/icon_chart.svg");
    btnExportXLS = bandButton(band, "btnExportXLS", QRect(855, 222, 225, 40), ":/pictures/icon_export.svg");
    // The reports, the exports and the chart arrive with their own work.
    for (QPushButton* b : {btnRaport, btnExportPDF, btnChart, btnExportXLS})
        b->setEnabled(false);
    connect(ButtonConnect, &QPushButton::clicked, this, [this] { ButtonConnectClick(); });

    auto* frame = new DateFrame(band);
    frame->setObjectName(QStringLiteral("Panel4"));
    frame->setGeometry(1090, 100, 250, 162);
    btnSelectDate =
        bandButton(frame, "btnSelectDate", QRect(10, 10, 230, 40), ":/pictures/icon_calendar.svg");
    LabFrom = new QLabel(frame);
    LabFrom->setGeometry(10, 62, 60, 32);
    dtpDataOd = new QDateEdit(MainFormSettings::designDate(), frame);
    dtpDataOd->setObjectName(QStringLiteral("dtpDataOd"));
    dtpDataOd->setCalendarPopup(true);
    dtpDataOd->setGeometry(75, 62, 165, 32);
    LabTo = new QLabel(frame);
    LabTo->setGeometry(10, 112, 60, 32);
    dtpDataDo = new QDateEdit(MainFormSettings::designDate(), frame);
    dtpDataDo->setObjectName(QStringLiteral("dtpDataDo"));
    dtpDataDo->setCalendarPopup(true);
    dtpDataDo->setGeometry(75, 112, 165, 32);

    LangFlagsCombo1 = new lang::LangFlagsCombo(*languages_, band);
    btnKontakt = bandButton(band, "btnKontakt", QRect(0, 40, 131, 30), ":/pictures/icon_contact.svg");
    btnKontakt->setFont(tahomaFont(13));
    btnKontakt->setEnabled(false);  // the contact dialog arrives with its own work
    static_cast<TopBand*>(band)->onResize = [this](int width) {
        LangFlagsCombo1->move(width - LangFlagsCombo1->width() - 10, 8);
        btnKontakt->move(width - btnKontakt->width() - 10, 40);
        LangFlagsCombo1->raise();
        btnKontakt->raise();
    };
}

QWidget* TMainUniNXFormCF::buildTab(bool moisture)
{
    auto* page = new QWidget;
    page->setObjectName(moisture ? QStringLiteral("tsHumi") : QStringLiteral("tsTemp"));
    auto* pageLayout = new QHBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Horizontal, page);
    splitter->setObjectName(moisture ? QStringLiteral("Splitter1") : QStringLiteral("Splitter2"));
    splitter->setHandleWidth(7);
    splitter->setChildrenCollapsible(false);
    pageLayout->addWidget(splitter);

    const int firstButton = moisture ? 0 : 3;
    auto pane = [&](const QString& name, const QString& gridName, int buttons, int buttonIndex) {
        auto* panel = new QWidget(splitter);
        panel->setObjectName(name);
        auto* v = new QVBoxLayout(panel);
        v->setContentsMargins(0, 0, 0, 0);
        v->setSpacing(0);
        auto* bar = new QWidget(panel);
        bar->setFixedHeight(50);
        bar->setAutoFillBackground(true);
        QPalette p = bar->palette();
        p.setColor(QPalette::Window, creamColour);
        bar->setPalette(p);
        auto* h = new QHBoxLayout(bar);
        h->setContentsMargins(2, 1, 2, 1);
        for (int b = 0; b < buttons; ++b) {
            auto* button = new QToolButton(bar);
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
            button->setFixedSize(230, 48);
            button->setIconSize(QSize(24, 24));
            barButtons_[buttonIndex + b] = button;
            h->addWidget(button);
        }
        h->addStretch();
        v->addWidget(bar);
        auto* grid = new DataGrid(gridName, panel);
        v->addWidget(grid, 1);
        return std::pair{panel, grid};
    };
    auto [objectsPane, objectsGrid] = pane(
        moisture ? QStringLiteral("Panel6") : QStringLiteral("Panel8"),
        moisture ? QStringLiteral("jvdbGrHobjects") : QStringLiteral("JvDBUGTempObjects"), 2, firstButton);
    auto [resultsPane, resultsGrid] =
        pane(moisture ? QStringLiteral("Panel7") : QStringLiteral("Panel9"),
             moisture ? QStringLiteral("jvdbGrHresults") : QStringLiteral("JvDBUGTemp_details"), 1,
             firstButton + 2);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    const MainFormSettings design;
    splitter->setSizes({moisture ? design.panel6Width : design.panel8Width, 800});
    if (moisture) {
        Panel6 = objectsPane;
        Splitter1 = splitter;
        jvdbGrHobjects = objectsGrid;
        jvdbGrHresults = resultsGrid;
    } else {
        Panel8 = objectsPane;
        Splitter2 = splitter;
        JvDBUGTempObjects = objectsGrid;
        JvDBUGTemp_details = resultsGrid;
    }
    return page;
}

void TMainUniNXFormCF::retranslateUi()
{
    setWindowTitle(tr("VELMAR S. A.   v.1.05"));
    LabDevice->setText(tr("Device:"));
    LabSNCaption->setText(tr("SN:"));
    LabFVCaption->setText(tr("FV:"));
    ButtonConnect->setText(tr("START"));
    btnRaport->setText(tr("Report"));
    btnExportPDF->setText(tr("Export to PDF"));
    btnChart->setText(tr("Chart"));
    btnExportXLS->setText(tr("Export data"));
    btnSelectDate->setText(tr("Mark results by date"));
    LabFrom->setText(tr("from:"));
    LabTo->setText(tr("to:"));
    btnKontakt->setText(tr("Contact us"));
    PageControl1->setTabText(0, tr("Moisture results"));
    PageControl1->setTabText(1, tr("Temperature results"));
    actChart->setText(tr("Chart"));
    actSamplename->setText(tr("Edit sample name"));
    actMyname->setText(tr("Edit my name"));
    actDelRekord->setText(tr("Delete marked records"));
    actDelObject->setText(tr("Delete object"));
    const QString tick = tr("√");
    const QString date = tr("Measurement date");
    const QString temperature = tr("Temperature");
    if (jvdbGrHobjects->columns())
        jvdbGrHobjects->columns()->setTitles({tick, tr("Sample number"), tr("Sample name"), tr("Species")});
    if (jvdbGrHresults->columns())
        jvdbGrHresults->columns()->setTitles({tick, date, tr("Moisture"), temperature});
    if (JvDBUGTempObjects->columns())
        JvDBUGTempObjects->columns()->setTitles({tick, tr("Nivex name"), tr("My name")});
    if (JvDBUGTemp_details->columns())
        JvDBUGTemp_details->columns()->setTitles({tick, date, temperature});
}

void TMainUniNXFormCF::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QMainWindow::changeEvent(event);
}

void TMainUniNXFormCF::setVisible(bool visible)
{
    // The settings storage restores the window before it first appears.
    if (visible && !settingsRestored_)
        restoreSettings();
    QMainWindow::setVisible(visible);
}

void TMainUniNXFormCF::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!started_) {
        started_ = true;
        FormShow();
    }
}

void TMainUniNXFormCF::FormShow()
{
    ProgramPath = folderWithSeparator(programDir_);

    auto database = std::make_unique<store::Database>();
    try {
        database->open(ProgramPath);
        database_ = std::move(database);
    } catch (const std::exception& e) {
        // Without its database the window stays usable as far as it can: every command
        // that needs the data stays disabled.
        showError(QString::fromUtf8(e.what()));
    }

    FtdiRS = std::make_unique<usb::tftdichip>();
    FlagaJest = false;
    Timer1 = new QTimer(this);
    Timer1->setInterval(3000);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer1->start();
    LoadSpeciesTable();

    if (database_) {
        views_ = std::make_unique<MeasurementViews>(*database_);
        attachGrids();
        PageControl1->setCurrentIndex(0);
        database_->selectDevice(store::kMoistureDevice);
        ReloadObjects(QString());
        languageStore_ = std::make_unique<lang::DatabaseLanguageStore>(*database_);
        LangFlagsCombo1->setStore(languageStore_.get());
        languages_->restore(*languageStore_);
    }
    bringHeaderPicture(GetActLangNbr());

    const SpreadsheetApps apps = detectSpreadsheetApps();
    IsOpenOffExport = apps.IsOpenOffExport;
    IsExcelExport = apps.IsExcelExport;
    updateCommands();
}

void TMainUniNXFormCF::LoadSpeciesTable()
{
    try {
        species_->load(ProgramPath + QLatin1String(kSpeciesFile));
    } catch (const std::exception& e) {
        // A hand-edited file often ends with an empty line: the species read up to the
        // bad line stay usable and start-up goes on.
        showError(QString::fromUtf8(e.what()));
    }
}

void TMainUniNXFormCF::attachGrids()
{
    const auto question = [](int tag) { return jvdbGrHresultsCheckIfBooleanField(tag); };
    jvdbGrHobjects->setColumns(
        new GridColumnsModel(views_->objects(), moistureObjectColumns, question, jvdbGrHobjects));
    jvdbGrHresults->setColumns(
        new GridColumnsModel(views_->results(), moistureResultColumns, question, jvdbGrHresults));
    JvDBUGTempObjects->setColumns(
        new GridColumnsModel(views_->objects(), temperatureObjectColumns, question, JvDBUGTempObjects));
    JvDBUGTemp_details->setColumns(
        new GridColumnsModel(views_->results(), temperatureResultColumns, question, JvDBUGTemp_details));
    for (DataGrid* grid : {jvdbGrHobjects, JvDBUGTempObjects})
        connect(grid, &DataGrid::currentRowChanged, views_.get(), &MeasurementViews::setCurrentObjectRow);
    for (DataGrid* grid : {jvdbGrHresults, JvDBUGTemp_details})
        connect(grid, &DataGrid::currentRowChanged, views_.get(), &MeasurementViews::setCurrentResultRow);
    connect(views_.get(), &MeasurementViews::objectsReset, this, [this] {
        jvdbGrHobjects->standOn(views_->currentObjectRow());
        JvDBUGTempObjects->standOn(views_->currentObjectRow());
        updateCommands();
    });
    connect(views_.get(), &MeasurementViews::resultsReset, this, [this] {
        jvdbGrHresults->standOn(views_->currentResultRow());
        JvDBUGTemp_details->standOn(views_->currentResultRow());
    });
    for (store::TableView* view : {static_cast<store::TableView*>(&views_->objects()),
                                   static_cast<store::TableView*>(&views_->results())})
        connect(view, &store::TableView::fetchFailed, this,
                [](const QString& message) { showError(message); });
    retranslateUi();
}

void TMainUniNXFormCF::updateCommands()
{
    const bool open = views_ != nullptr;
    const bool hasObject = open && views_->currentObjectRow() >= 0;
    actSamplename->setEnabled(hasObject);
    actMyname->setEnabled(hasObject);
    actDelObject->setEnabled(hasObject);
    actDelRekord->setEnabled(open);
    btnSelectDate->setEnabled(open);
    PageControl1->setEnabled(open);
    ButtonConnect->setEnabled(open && !meter::downloadRunning());
}

void TMainUniNXFormCF::closeEvent(QCloseEvent* event)
{
    // Closing at a pumping point of the download would free the link under it.
    if (meter::downloadRunning()) {
        event->ignore();
        return;
    }
    saveSettings();
    FtdiRS.reset();
    event->accept();
}

void TMainUniNXFormCF::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    imgWide->setVisible(frameGeometry().width() > kWidePictureMinWidth);
}

void TMainUniNXFormCF::restoreSettings()
{
    settingsRestored_ = true;
    const MainFormSettings s = settingsFile_.load();
    if (s.normalGeometry.isValid())
        setGeometry(s.normalGeometry);
    if (s.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    dtpDataOd->setDate(s.dateFrom);
    dtpDataDo->setDate(s.dateTo);
    pendingPaneWidth_ = {s.panel6Width, s.panel8Width};
    for (QSplitter* splitter : {Splitter1, Splitter2})
        splitter->installEventFilter(this);
}

bool TMainUniNXFormCF::eventFilter(QObject* watched, QEvent* event)
{
    // A tab's splitter gets its real width only when its tab is first shown; a width set
    // before that would be spread over the panes.
    const bool shown = event->type() == QEvent::Show;
    if ((shown || event->type() == QEvent::Resize) && (watched == Splitter1 || watched == Splitter2)) {
        const int pane = watched == Splitter1 ? 0 : 1;
        auto* splitter = static_cast<QSplitter*>(watched);
        if (pendingPaneWidth_[pane] >= 0) {
            const int width = pendingPaneWidth_[pane];
            splitter->setSizes({width, std::max(1, splitter->width() - splitter->handleWidth() - width)});
            if (shown)
                pendingPaneWidth_[pane] = -1;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainUniNXFormCF::saveSettings()
{
    MainFormSettings s;
    s.normalGeometry = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    s.maximized = isMaximized();
    s.minimized = isMinimized();
    s.dateFrom = dtpDataOd->date();
    s.dateTo = dtpDataDo->date();
    s.panel6Width =
        pendingPaneWidth_[0] >= 0 ? pendingPaneWidth_[0] : Splitter1->sizes().value(0, s.panel6Width);
    s.panel8Width =
        pendingPaneWidth_[1] >= 0 ? pendingPaneWidth_[1] : Splitter2->sizes().value(0, s.panel8Width);
    const QScreen* shown = screen();
    const int ppi = shown ? qRound(shown->logicalDotsPerInch()) : 96;
    settingsSaved_ = true;
    settingsFile_.save(s, ppi);
}

const LastSortString& TMainUniNXFormCF::lastSortString() const
{
    static const LastSortString none;
    return views_ ? views_->lastSortString() : none;
}

int TMainUniNXFormCF::GetActLangNbr() const { return languages_->actLangNbr(); }

store::Database* TMainUniNXFormCF::database() const { return database_.get(); }

void TMainUniNXFormCF::bringHeaderPicture(int languageNumber)
{
    headerOnTop_ = languageNumber >= 0 && languageNumber < 6 ? languageNumber : 0;
    // The pictures are drawn over the band's gradient, so the ones below the top would
    // show through it: only the top one is shown.
    for (int i = 0; i < 6; ++i)
        headerPictures[i]->setVisible(i == headerOnTop_);
    headerPictures[headerOnTop_]->raise();
    // The labels and buttons stay above whichever picture is on top.
    for (QWidget* w : band_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (std::find(headerPictures.begin(), headerPictures.end(), w) == headerPictures.end() &&
            w != imgWide)
            w->raise();
}

void TMainUniNXFormCF::LangFlagsCombo1ChangeLanguage()
{
    bringHeaderPicture(GetActLangNbr());
    ButtonConnect->setFocus();
}

void TMainUniNXFormCF::ReloadObjects(const QString& clause) { views_->ReloadObjects(clause); }

void TMainUniNXFormCF::ReloadResults(const QString& clause) { views_->ReloadResults(clause); }

void TMainUniNXFormCF::PageControl1Change(int index)
{
    if (views_)
        views_->selectTab(index);
}

bool TMainUniNXFormCF::jvdbGrHresultsCheckIfBooleanField(int tag) { return tag == store::kCheckBoxTag; }

void TMainUniNXFormCF::jvdbGrHobjectsCellClick(DataGrid*, const QModelIndex& cell)
{
    if (!views_ || !cell.isValid())
        return;
    views_->setCurrentObjectRow(cell.row());
    if (cell.column() == 0)
        views_->toggleObjectMark(cell.row());
}

void TMainUniNXFormCF::jvdbGrHresultsCellClick(DataGrid*, const QModelIndex& cell)
{
    if (!views_ || !cell.isValid())
        return;
    views_->setCurrentResultRow(cell.row());
    if (cell.column() == 0)
        views_->toggleResultMark(cell.row());
}

bool TMainUniNXFormCF::jvdbGrHobjectsUserSort(const QString& field, bool ascending)
{
    if (field == QLatin1String("REZI2"))
        return false;
    ReloadObjects(sortClause(field, ascending));
    return true;
}

bool TMainUniNXFormCF::jvdbWynikiUserSort(const QString& field, bool ascending)
{
    if (field == QLatin1String("REZI1"))
        return false;
    ReloadResults(sortClause(field, ascending));
    return true;
}

void TMainUniNXFormCF::titleClick(DataGrid* grid, int column, bool objectsGrid)
{
    if (!views_ || !grid->columns())
        return;
    const GridSortState::Request request = grid->sortState().requestFor(column);
    const QString field = grid->columns()->field(column);
    const bool accepted = objectsGrid ? jvdbGrHobjectsUserSort(field, request.ascending)
                                      : jvdbWynikiUserSort(field, request.ascending);
    if (accepted)
        grid->sortState().accept(request);
    grid->showSortArrow();
    if (grid == jvdbGrHobjects)
        jvdbGrHobjectsTitleBtnClick(column);
    else if (grid == JvDBUGTempObjects)
        JvDBUGTempObjectsTitleBtnClick(column);
    else if (grid == jvdbGrHresults)
        jvdbGrHresultsTitleBtnClick(column);
    else
        JvDBUGTemp_detailsTitleBtnClick(column);
}

void TMainUniNXFormCF::jvdbGrHobjectsTitleBtnClick(int column)
{
    if (column == 0)
        views_->markAllObjects(FlSelect_OH);
}

void TMainUniNXFormCF::JvDBUGTempObjectsTitleBtnClick(int column)
{
    if (column == 0)
        views_->markAllObjects(FlSelect_OT);
}

void TMainUniNXFormCF::jvdbGrHresultsTitleBtnClick(int column)
{
    if (column == 0)
        views_->markAllResults(FlSelect_WH);
}

void TMainUniNXFormCF::JvDBUGTemp_detailsTitleBtnClick(int column)
{
    if (column == 0)
        views_->markAllResults(FlSelect_WT);
}

void TMainUniNXFormCF::btnSelectDateClick()
{
    if (views_)
        views_->markByDate(dtpDataOd->date(), dtpDataDo->date());
}

void TMainUniNXFormCF::rename(int which)
{
    if (!views_ || views_->currentObjectRow() < 0)
        return;
    const bool sampleName = which == 0;
    const QString column = sampleName ? QStringLiteral("OPIS") : QStringLiteral("NAZWA_LONG");
    TFormEditName& editor = *forms_.FormEditName;
    editor.move(QCursor::pos());
    editor.setText(views_->objects().value(views_->currentObjectRow(), column).toString(),
                   sampleName ? kOpisLength : kNazwaLongLength);
    if (editor.exec() != QDialog::Accepted)
        return;
    views_->renameCurrentObject(sampleName ? store::ObjectsModel::Name::SampleName
                                           : store::ObjectsModel::Name::MyName,
                                editor.text());
}

void TMainUniNXFormCF::actSamplenameExecute() { rename(0); }

void TMainUniNXFormCF::actMynameExecute() { rename(1); }

bool TMainUniNXFormCF::confirm(int message)
{
    TPytForm& form = *forms_.PytForm;
    form.NumerKomunikatu = message;
    form.centreOver(this);
    return form.exec() == QDialog::Accepted;
}

void TMainUniNXFormCF::actDelRekordExecute()
{
    if (!views_ || !confirm(1))
        return;
    views_->deleteMarkedResults();
}

void TMainUniNXFormCF::actDelObjectExecute()
{
    if (!views_ || !confirm(2))
        return;
    views_->deleteCurrentObject();
}

void TMainUniNXFormCF::ButtonConnectClick()
{
    if (!database_ || meter::downloadRunning())
        return;
    if (!ProgresForm)
        ProgresForm = new TProgresForm(this);
    // Disabled from the press until the progress window has closed, whatever the way out.
    ButtonConnect->setEnabled(false);
    const auto enableAgain = qScopeGuard([this] { updateCommands(); });
    meter::runDownload({*FtdiRS, *database_, *species_, GetActLangNbr(), lang::runtimeText(3), *ProgresForm});
}

void TMainUniNXFormCF::Timer1Timer()
{
    if (FlagaJest)
        return;
    LabFV->setText(QStringLiteral(" "));
    LabSN->setText(QStringLiteral(" "));
    LabNazwa->setText(QStringLiteral(" "));
}

}  // namespace nx::app
