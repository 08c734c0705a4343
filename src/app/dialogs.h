#pragma once

#include "app/framed_dialog.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace nx::app {

// The name editor: Enter in the field accepts, Escape cancels; while a button has the
// focus Enter presses that button.
class TFormEditName final : public FramedDialog {
    Q_OBJECT
public:
    explicit TFormEditName(QWidget* parent = nullptr);

    // The caller fills the field (limited to what the column holds) before showing.
    void setText(const QString& text, int maxLength);
    QString text() const;
    QLineEdit* edit() const { return Edit1; }
    QPushButton* okButton() const { return BitBtn1; }
    QPushButton* cancelButton() const { return BitBtn2; }

protected:
    void showEvent(QShowEvent* event) override;
    void retranslateUi() override;

private:
    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};

// The delete confirmation. NumerKomunikatu chooses the message; OK has the focus when
// the window opens, Escape answers Cancel.
class TPytForm final : public FramedDialog {
    Q_OBJECT
public:
    explicit TPytForm(QWidget* parent = nullptr);

    int NumerKomunikatu = 0;

    // The message label now shown; nullptr when none is.
    const QLabel* shownMessage() const;
    QPushButton* okButton() const { return BitBtn1; }
    QPushButton* cancelButton() const { return BitBtn2; }

protected:
    void showEvent(QShowEvent* event) override;
    void retranslateUi() override;

private:
    void FormShow();

    QLabel* Label1;
    QLabel* Label2;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};

// The information box: one text and "OK".
class TInfoForm final : public FramedDialog {
    Q_OBJECT
public:
    explicit TInfoForm(QWidget* parent = nullptr);

    // Shows `nazwa` modally.
    void DlgShow(const QString& nazwa);
    QString shownText() const;
    QPushButton* okButton() const { return BitBtn1; }

protected:
    void retranslateUi() override;

private:
    QLabel* Label1;
    QPushButton* BitBtn1;
};

}  // namespace nx::app
