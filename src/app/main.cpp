#include "app/dialogs.h"
#include "app/error_handler.h"
#include "app/main_form.h"

int main(int argc, char** argv)
{
    nx::app::NxApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("NivexDataCoff"));
    QApplication::setApplicationDisplayName(QStringLiteral("NivexDataCoff"));

    // The main window first: it is the one whose closing ends the program. The others
    // are created hidden and reused.
    nx::app::TMainUniNXFormCF MainUniNXFormCF;
    nx::app::TFormEditName FormEditName;
    nx::app::TPytForm PytForm;
    nx::app::TInfoForm InfoForm;
    MainUniNXFormCF.setForms({&FormEditName, &PytForm, &InfoForm});

    MainUniNXFormCF.show();
    return QApplication::exec();
}
