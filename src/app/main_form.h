#pragma once

#include "app/form_settings.h"
#include "app/grid_sort.h"
#include "app/spreadsheet_apps.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QDateEdit;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTimer;
class QToolButton;

namespace nx::store {
class Database;
}
namespace nx::meter {
class SpeciesTable;
}
namespace nx::usb {
class tftdichip;
}
namespace nx::lang {
class LanguageManager;
class LangFlagsCombo;
class LanguageStore;
}  // namespace nx::lang

namespace nx::app {

class DataGrid;
class MeasurementViews;
class TFormEditName;
class TPytForm;
class TInfoForm;
class TProgresForm;

// The windows the main window opens; created at program entry and reused.
struct AppForms {
    TFormEditName* FormEditName = nullptr;
    TPytForm* PytForm = nullptr;
    TInfoForm* InfoForm = nullptr;
};

// The main window: the header band with the meter's pictures and the commands, and the
// two tabs of objects and results.
class TMainUniNXFormCF final : public QMainWindow {
    Q_OBJECT
public:
    // programDir: the folder with the database, species file and language files; empty
    // means the executable's folder. settingsPath: the settings file; empty means the
    // user's "Velmar.cfp".
    explicit TMainUniNXFormCF(const QString& programDir = {}, const QString& settingsPath = {},
                              QWidget* parent = nullptr);
    ~TMainUniNXFormCF() override;

    void setForms(const AppForms& forms) { forms_ = forms; }

    // Fields other parts read.
    QString ProgramPath;
    std::unique_ptr<usb::tftdichip> FtdiRS;
    std::string USBPortSerial;
    bool FlagaJest = false;
    std::string DevFirmWare;
    std::vector<std::string> ListaPPDev;
    bool FlSelect_OH = false;
    bool FlSelect_OT = false;
    bool FlSelect_WH = false;
    bool FlSelect_WT = false;
    bool IsExcelExport = false;
    bool IsOpenOffExport = false;

    const LastSortString& lastSortString() const;
    int GetActLangNbr() const;
    // Null until start-up opened the database.
    store::Database* database() const;
    MeasurementViews* views() const { return views_.get(); }
    meter::SpeciesTable& species() const { return *species_; }
    lang::LanguageManager& languages() const { return *languages_; }

    // Controls the tests and later parts reach by name.
    QTabWidget* PageControl1 = nullptr;
    DataGrid* jvdbGrHobjects = nullptr;
    DataGrid* jvdbGrHresults = nullptr;
    DataGrid* JvDBUGTempObjects = nullptr;
    DataGrid* JvDBUGTemp_details = nullptr;
    QDateEdit* dtpDataOd = nullptr;
    QDateEdit* dtpDataDo = nullptr;
    QWidget* Panel6 = nullptr;
    QWidget* Panel8 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QSplitter* Splitter2 = nullptr;
    QWidget* imgWide = nullptr;
    std::array<QWidget*, 6> headerPictures{};  // imgEN, imgPL, imgDE, imgFR, imgES, imgRU
    QLabel* LabNazwa = nullptr;
    QLabel* LabSN = nullptr;
    QLabel* LabFV = nullptr;
    QPushButton* ButtonConnect = nullptr;
    QPushButton* btnRaport = nullptr;
    QPushButton* btnExportPDF = nullptr;
    QPushButton* btnChart = nullptr;
    QPushButton* btnExportXLS = nullptr;
    QPushButton* btnSelectDate = nullptr;
    QPushButton* btnKontakt = nullptr;
    lang::LangFlagsCombo* LangFlagsCombo1 = nullptr;
    QAction* actChart = nullptr;
    QAction* actSamplename = nullptr;
    QAction* actMyname = nullptr;
    QAction* actDelRekord = nullptr;
    QAction* actDelObject = nullptr;

    // The header picture now on top (0..5).
    int headerPictureOnTop() const { return headerOnTop_; }

    // Handlers (public so that the grids, buttons and tests reach them by their names).
    void PageControl1Change(int index);
    void jvdbGrHobjectsCellClick(DataGrid* grid, const QModelIndex& cell);
    void jvdbGrHresultsCellClick(DataGrid* grid, const QModelIndex& cell);
    bool jvdbGrHobjectsUserSort(const QString& field, bool ascending);
    bool jvdbWynikiUserSort(const QString& field, bool ascending);
    void jvdbGrHobjectsTitleBtnClick(int column);
    void JvDBUGTempObjectsTitleBtnClick(int column);
    void jvdbGrHresultsTitleBtnClick(int column);
    void JvDBUGTemp_detailsTitleBtnClick(int column);
    static bool jvdbGrHresultsCheckIfBooleanField(int tag);
    void btnSelectDateClick();
    void actSamplenameExecute();
    void actMynameExecute();
    void actDelRekordExecute();
    void actDelObjectExecute();
    void LangFlagsCombo1ChangeLanguage();
    void ReloadObjects(const QString& clause);
    void ReloadResults(const QString& clause);
    // START: the download from the meter; nothing while one is running.
    void ButtonConnectClick();
    // Every 3000 ms: blanks the meter's texts while no meter has answered.
    void Timer1Timer();
    QTimer* Timer1 = nullptr;
    TProgresForm* ProgresForm = nullptr;

protected:
    void setVisible(bool visible) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildBand(QWidget* band);
    QWidget* buildTab(bool moisture);
    void retranslateUi();
    void FormShow();
    void LoadSpeciesTable();
    void bringHeaderPicture(int languageNumber);
    void attachGrids();
    void updateCommands();
    void restoreSettings();
    void saveSettings();
    void titleClick(DataGrid* grid, int column, bool objectsGrid);
    void rename(int which);
    bool confirm(int message);

    QString programDir_;
    FormSettingsFile settingsFile_;
    bool settingsRestored_ = false;
    bool settingsSaved_ = false;
    bool started_ = false;
    int headerOnTop_ = 0;
    AppForms forms_;
    std::unique_ptr<meter::SpeciesTable> species_;
    std::unique_ptr<lang::LanguageManager> languages_;
    std::unique_ptr<store::Database> database_;
    std::unique_ptr<lang::LanguageStore> languageStore_;
    std::unique_ptr<MeasurementViews> views_;
    QWidget* band_ = nullptr;
    QLabel* LabDevice = nullptr;
    QLabel* LabSNCaption = nullptr;
    QLabel* LabFVCaption = nullptr;
    QLabel* LabFrom = nullptr;
    QLabel* LabTo = nullptr;
    std::array<QToolButton*, 6> barButtons_{};
    // Objects pane widths from the settings file, applied once each pane is laid out.
    std::array<int, 2> pendingPaneWidth_{-1, -1};
};

}  // namespace nx::app
