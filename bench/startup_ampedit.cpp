// ampedit's own start-up, as main() runs it, opening the map named as the first
// argument, and quitting after the first paint.
#include "firstpaint.h"
#include "tfrmmaped.h"
#include "userdialogs.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QuitAfterFirstPaint quit;
    QtUserDialogs dialogs;
    TfrmMapEd frmMapEd(dialogs, QApplication::arguments());
    frmMapEd.show();
    return QApplication::exec();
}
