// START in the real main window, offscreen, against a copy of the program folder and
// emulated meters, in virtual time.

#include "app/main_form.h"
#include "app/measurement_views.h"
#include "app/progres_form.h"
#include "base/clock.h"
#include "base/exception.h"
#include "meter/download.h"
#include "store/database.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace nx;
using nx::app::TMainUniNXFormCF;

namespace {

class QtApplication final : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "download_window_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};
const auto* const qtApplication = ::testing::AddGlobalTestEnvironment(new QtApplication);

const char* const meterJson = R"({
    "usbSerial": "PP004711",
    "identity": {"serialText": "TC004711", "firmware": "1.05"},
    "moisture": [
        {"record": 1, "time": "2026-09-01T08:10:00", "moisture": 11.2, "temperature": 22.0, "species": 1, "sample": 3},
        {"record": 2, "time": "2026-09-01T08:12:00", "moisture": 11.4, "temperature": 22.2, "species": 2, "sample": 4}
    ],
    "temperatureObjects": [{"number": 1, "name": "Silo A", "records": [
        {"record": 1, "time": "2026-09-02T08:00:00", "temperature": 19.5}]}]
})";

class StartButton : public ::testing::Test {
protected:
    StartButton()
    {
        const QDir program(qEnvironmentVariable("NX_PROGRAM_DIR"));
        for (const QString& name :
             program.entryList({"NXbase.fb", "GatunkiNXMc.txt", "*.lng", "*.svg"}, QDir::Files)) {
            const QString copy = dir.filePath(name);
            QFile::copy(program.filePath(name), copy);
            QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        }
        window = std::make_unique<TMainUniNXFormCF>(dir.path(), dir.filePath(QStringLiteral("Velmar.cfp")));
        window->show();
    }
    ~StartButton() override
    {
        window.reset();
        qunsetenv("NIVEX_EMULATED_METERS");
    }

    void attach(const QJsonObject& image)
    {
        const QString path = dir.filePath(QStringLiteral("meter.json"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(image).toJson());
        qputenv("NIVEX_EMULATED_METERS", path.toLocal8Bit());
    }
    static QJsonObject meter(const QJsonObject& replies = {})
    {
        QJsonObject image = QJsonDocument::fromJson(meterJson).object();
        if (!replies.isEmpty())
            image[QStringLiteral("replies")] = replies;
        return image;
    }
    int results()
    {
        QSqlQuery q(window->database()->connection());
        return q.exec(QStringLiteral("select count(*) from WYNIKI")) && q.next() ? q.value(0).toInt() : -1;
    }
    void expectMeterTexts(const char* nazwa, const char* sn, const char* fv)
    {
        EXPECT_EQ(window->LabNazwa->text(), QString::fromUtf8(nazwa));
        EXPECT_EQ(window->LabSN->text(), QString::fromUtf8(sn));
        EXPECT_EQ(window->LabFV->text(), QString::fromUtf8(fv));
    }
    // The download is over: window closed, cursor back, START usable again.
    void expectAllClear()
    {
        ASSERT_NE(window->ProgresForm, nullptr);
        EXPECT_FALSE(window->ProgresForm->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(window->ButtonConnect->isEnabled());
        EXPECT_FALSE(meter::downloadRunning());
    }

    QTemporaryDir dir;
    VirtualClock clock;
    ScopedClock useClock{clock};
    std::unique_ptr<TMainUniNXFormCF> window;
};

}  // namespace

TEST_F(StartButton, DownloadFillsTheGridsAndTheMeterTextsStay)
{
    ASSERT_NE(window->database(), nullptr);
    ASSERT_TRUE(window->ButtonConnect->isEnabled());
    ASSERT_TRUE(window->Timer1 && window->Timer1->isActive());
    EXPECT_EQ(window->Timer1->interval(), 3000);
    attach(meter());

    // At the first pumping point: the progress window is up, START is off, a second press
    // starts nothing and the window does not close.
    bool checked = false;
    QTimer::singleShot(0, window.get(), [&] {
        checked = true;
        app::TProgresForm* form = window->ProgresForm;
        ASSERT_NE(form, nullptr);
        EXPECT_TRUE(form->isVisible());
        EXPECT_TRUE(form->LabSearch->isVisible());
        EXPECT_EQ(form->LabSearch->text(), QStringLiteral("Searching"));
        EXPECT_EQ(form->ProgressBar1->value(), 0);
        EXPECT_EQ(form->size(), QSize(413, 108));
        EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
        EXPECT_FALSE(form->isModal());
        EXPECT_EQ(form->LabSearch->font().pixelSize(), 19);
        // Centred to the pixel: odd sizes round.
        EXPECT_LE((form->frameGeometry().center() - window->frameGeometry().center()).manhattanLength(), 2);
        EXPECT_FALSE(window->ButtonConnect->isEnabled());
        window->ButtonConnectClick();
        // Closing now would free the link under the download.
        EXPECT_FALSE(window->close());
    });
    window->ButtonConnectClick();
    EXPECT_TRUE(checked);
    expectAllClear();
    EXPECT_TRUE(window->FlagaJest);
    EXPECT_EQ(window->ProgresForm->ProgressBar1->value(), 100);
    EXPECT_EQ(results(), 3);
    EXPECT_EQ(window->views()->objects().rowCount(), 2);
    expectMeterTexts("Nivex coffee & cocoa", "TC004711", "1.05");
    EXPECT_EQ(window->USBPortSerial, "PP004711");
    EXPECT_EQ(window->DevFirmWare, "1.05");

    window->Timer1Timer();
    expectMeterTexts("Nivex coffee & cocoa", "TC004711", "1.05");

    // A second press adds nothing.
    window->ButtonConnectClick();
    EXPECT_EQ(results(), 3);
}

TEST_F(StartButton, TimerBlanksTheTextsAfterAFailedDownload)
{
    attach(meter(QJsonObject{{"L", ""}}));
    window->ButtonConnectClick();
    expectAllClear();
    EXPECT_FALSE(window->FlagaJest);
    EXPECT_TRUE(window->ProgresForm->LabError->isVisibleTo(window->ProgresForm));
    // Until the next tick the meter's texts stay.
    expectMeterTexts("Nivex coffee & cocoa", "TC004711", "1.05");
    EXPECT_EQ(results(), 2);
    window->Timer1Timer();
    expectMeterTexts(" ", " ", " ");
}

TEST_F(StartButton, RefusedTemperatureObjectRestoresEverythingBeforeTheErrorIsShown)
{
    {
        QSqlDatabase c = window->database()->connection();
        ASSERT_TRUE(c.transaction());
        QSqlQuery q(c);
        ASSERT_TRUE(q.exec(QStringLiteral("drop procedure P_UPDATEOBIEKT_TEMP")));
        ASSERT_TRUE(c.commit());
    }
    attach(meter());
    EXPECT_THROW(window->ButtonConnectClick(), Exception);
    expectAllClear();
    EXPECT_TRUE(window->FlagaJest);
    EXPECT_EQ(results(), 2);
}

TEST_F(StartButton, NoMeterEndsWithDeviceNotConnected)
{
    attach(QJsonObject{{"usbSerial", "A5000001"}});
    window->ButtonConnectClick();
    EXPECT_TRUE(window->ProgresForm->LabNodevice->isVisibleTo(window->ProgresForm));
    EXPECT_EQ(window->ProgresForm->LabNodevice->text(), QStringLiteral("Device not connected"));
    expectAllClear();
    EXPECT_FALSE(window->FlagaJest);
    EXPECT_EQ(results(), 0);
}

TEST_F(StartButton, SkippedRecordsAreToldBeforeTheWindowCloses)
{
    // Record 5 as it should be, then the same with day 0.
    attach(meter(QJsonObject{
        {"H", "05 00 00 7B 29 64 74 7B 00 F1 FF 02 0E 06 00 00 60 29 64 74 7B 00 F1 FF 02 0E 2A"}}));
    window->ButtonConnectClick();
    expectAllClear();
    app::TProgresForm* form = window->ProgresForm;
    EXPECT_TRUE(form->LabSkipped->isVisibleTo(form));
    EXPECT_EQ(form->LabSkipped->text(), QStringLiteral("1 records could not be read and were skipped"));
    EXPECT_EQ(results(), 2);
}
