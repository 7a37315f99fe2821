// stepcount-gui: the tool's window. Counts the steps of the source files
// below a chosen folder into a result file.
#include <QApplication>
#include <QMessageBox>

#include <exception>

#include "gui/main_window.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    try {
        stepcount::gui::TobjFRMMain objFRMMain;
        objFRMMain.show();
        application.exec();
    } catch (const std::exception& error) {
        QMessageBox box(QMessageBox::NoIcon, QString(), QString::fromUtf8(error.what()),
                        QMessageBox::Ok);
        box.exec();
    }
    return 0;
}
