#pragma once

#include "app/framed_dialog.h"
#include "meter/download.h"

class QLabel;
class QProgressBar;

namespace nx::app {

class TMainUniNXFormCF;

// The download's progress: one line of text and a bar, over the main window, never
// modal. It also carries the download's news to the main window (meter texts, FlagaJest,
// the views).
class TProgresForm final : public FramedDialog, public meter::DownloadProgress {
    Q_OBJECT
public:
    explicit TProgresForm(TMainUniNXFormCF* mainForm);
    ~TProgresForm() override;

    void openProgress() override;
    void showText(meter::ProgressText text) override;
    void setBar(int position) override;
    void setMeterAnswered(bool answered) override;
    void meterIdentified(const meter::MeterIdentity& meter) override;
    void setBusy(bool busy) override;
    void pumpEvents() override;
    void reportSkipped(int count) override;
    void dataChanged() override;
    void closeProgress() override;

    // The texts, each a label of its own at the same place.
    QLabel* LabSearch = nullptr;
    QLabel* LabNodevice = nullptr;
    QLabel* LabImport = nullptr;
    QLabel* LabError = nullptr;
    QLabel* LabSkipped = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

protected:
    void retranslateUi() override;

private:
    void showOnly(QLabel* label);

    TMainUniNXFormCF* mainForm_;
    bool busy_ = false;
};

}  // namespace nx::app
