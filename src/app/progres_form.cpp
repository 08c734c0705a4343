#include "app/progres_form.h"

#include "app/main_form.h"
#include "base/clock.h"
#include "base/text8.h"
#include "lang/runtime_texts.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>

namespace nx::app {

TProgresForm::TProgresForm(TMainUniNXFormCF* mainForm)
    : FramedDialog(QSize(413, 108), brownColour, mainForm), mainForm_(mainForm)
{
    setObjectName(QStringLiteral("ProgresForm"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(false);
    auto label = [&](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(8, 14, 397, 30);
        l->setAlignment(Qt::AlignCenter);
        l->hide();
        return l;
    };
    LabSearch = label("LabSearch");
    LabNodevice = label("LabNodevice");
    LabImport = label("LabImport");
    LabError = label("LabError");
    // The skipped-records message is longer than the others: smaller, on two lines.
    LabSkipped = label("LabSkipped");
    LabSkipped->setFont(tahomaFont(14));
    LabSkipped->setWordWrap(true);
    LabSkipped->setGeometry(8, 6, 397, 44);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(24, 58, 365, 24);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    retranslateUi();
}

TProgresForm::~TProgresForm() { setBusy(false); }

void TProgresForm::retranslateUi()
{
    LabSearch->setText(tr("Searching"));
    LabNodevice->setText(tr("Device not connected"));
    LabImport->setText(tr("Importing data"));
    LabError->setText(tr("Import error"));
}

void TProgresForm::showOnly(QLabel* label)
{
    for (QLabel* l : {LabSearch, LabNodevice, LabImport, LabError, LabSkipped})
        l->setVisible(l == label);
}

void TProgresForm::openProgress()
{
    showOnly(LabSearch);
    ProgressBar1->setValue(0);
    centreOver(mainForm_);
    show();
    raise();
}

void TProgresForm::showText(meter::ProgressText text)
{
    switch (text) {
    case meter::ProgressText::None:
        showOnly(nullptr);
        break;
    case meter::ProgressText::Searching:
        showOnly(LabSearch);
        break;
    case meter::ProgressText::NoDevice:
        showOnly(LabNodevice);
        break;
    case meter::ProgressText::Importing:
        showOnly(LabImport);
        break;
    case meter::ProgressText::ImportError:
        showOnly(LabError);
        break;
    }
}

void TProgresForm::setBar(int position) { ProgressBar1->setValue(position); }

void TProgresForm::setMeterAnswered(bool answered) { mainForm_->FlagaJest = answered; }

void TProgresForm::meterIdentified(const meter::MeterIdentity& meter)
{
    mainForm_->USBPortSerial = meter.usbSerial;
    mainForm_->DevFirmWare = toText8(meter.firmware);
    mainForm_->LabFV->setText(meter.firmware);
    mainForm_->LabSN->setText(meter.serialText);
    mainForm_->LabNazwa->setText(meter.deviceName);
}

void TProgresForm::setBusy(bool busy)
{
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TProgresForm::pumpEvents() { QCoreApplication::processEvents(); }

void TProgresForm::reportSkipped(int count)
{
    LabSkipped->setText(lang::runtimeText(8).arg(count));
    showOnly(LabSkipped);
    pumpEvents();
    clock().sleep(std::chrono::milliseconds(meter::kMessagePauseMs));
}

void TProgresForm::dataChanged() { mainForm_->ReloadObjects(QString()); }

void TProgresForm::closeProgress() { hide(); }

}  // namespace nx::app
