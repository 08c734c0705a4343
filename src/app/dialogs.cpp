#include "app/dialogs.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace nx::app {

namespace {

// Message texts break their lines with CR LF; a label wants a bare line feed.
QString labelText(const QString& text)
{
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return out;
}

QPushButton* makeButton(QWidget* parent, QRect geometry)
{
    auto* button = new QPushButton(parent);
    button->setGeometry(geometry);
    button->setAutoDefault(true);
    return button;
}

}  // namespace

TFormEditName::TFormEditName(QWidget* parent) : FramedDialog(QSize(410, 134), QColor(128, 0, 0), parent)
{
    setObjectName(QStringLiteral("FormEditName"));
    Label1 = new QLabel(this);
    Label1->setGeometry(24, 10, 361, 26);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(24, 40, 361, 32);
    BitBtn1 = makeButton(this, QRect(24, 84, 170, 38));
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = makeButton(this, QRect(215, 84, 170, 38));
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    setTabOrder(Edit1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    retranslateUi();
}

void TFormEditName::setText(const QString& text, int maxLength)
{
    Edit1->setMaxLength(maxLength);
    Edit1->setText(text);
}

QString TFormEditName::text() const { return Edit1->text(); }

void TFormEditName::showEvent(QShowEvent* event)
{
    FramedDialog::showEvent(event);
    BitBtn1->setDefault(true);
    Edit1->setFocus();
    Edit1->selectAll();
}

void TFormEditName::retranslateUi()
{
    Label1->setText(tr("Enter new name:"));
    BitBtn1->setText(tr("OK"));
    BitBtn2->setText(tr("Cancel"));
}

TPytForm::TPytForm(QWidget* parent) : FramedDialog(QSize(376, 132), brownColour, parent)
{
    setObjectName(QStringLiteral("PytForm"));
    Label1 = new QLabel(this);
    Label2 = new QLabel(this);
    for (QLabel* label : {Label1, Label2}) {
        label->setGeometry(20, 16, 336, 46);
        label->setAlignment(Qt::AlignCenter);
        label->hide();
    }
    BitBtn1 = makeButton(this, QRect(20, 78, 160, 40));
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = makeButton(this, QRect(196, 78, 160, 40));
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    setTabOrder(BitBtn1, BitBtn2);
    retranslateUi();
}

const QLabel* TPytForm::shownMessage() const
{
    if (!Label1->isHidden())
        return Label1;
    if (!Label2->isHidden())
        return Label2;
    return nullptr;
}

void TPytForm::showEvent(QShowEvent* event)
{
    FormShow();
    FramedDialog::showEvent(event);
    BitBtn1->setFocus();
}

void TPytForm::FormShow()
{
    Label1->hide();
    Label2->hide();
    if (NumerKomunikatu == 1)
        Label1->show();
    else if (NumerKomunikatu == 2)
        Label2->show();
}

void TPytForm::retranslateUi()
{
    Label1->setText(labelText(tr("Deleting records.\r\nAre you sure?")));
    Label2->setText(labelText(tr("Deleting an object and its records.\r\nAre you sure?")));
    BitBtn1->setText(tr("OK"));
    BitBtn2->setText(tr("Cancel"));
}

TInfoForm::TInfoForm(QWidget* parent) : FramedDialog(QSize(341, 172), brownColour, parent)
{
    setObjectName(QStringLiteral("InfoForm"));
    Label1 = new QLabel(this);
    Label1->setGeometry(12, 12, 317, 98);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    BitBtn1 = makeButton(this, QRect(90, 120, 160, 40));
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    retranslateUi();
}

void TInfoForm::DlgShow(const QString& nazwa)
{
    Label1->setText(nazwa);
    centreOver(QApplication::activeWindow());
    exec();
}

QString TInfoForm::shownText() const { return Label1->text(); }

void TInfoForm::retranslateUi() { BitBtn1->setText(tr("OK")); }

}  // namespace nx::app
