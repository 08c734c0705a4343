// Draws the main window over a copy of the program folder with a few stored samples and
// saves the picture: main_window_screenshot <file.png>. Runs offscreen, like the tests.

#include "app/dialogs.h"
#include "app/error_handler.h"
#include "app/main_form.h"
#include "app/measurement_views.h"
#include "program_folder.h"

#include <QPixmap>
#include <QTabWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    nx::app::NxApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: main_window_screenshot <file.png>\n", stderr);
        return 2;
    }
    ProgramFolder folder;
    SampleData::fill(folder.path());
    nx::app::TMainUniNXFormCF window(folder.path());
    nx::app::TFormEditName editName;
    nx::app::TPytForm pytForm;
    nx::app::TInfoForm infoForm;
    window.setForms({&editName, &pytForm, &infoForm});
    window.show();
    QCoreApplication::processEvents();
    window.views()->toggleResultMark(1);
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
