#include <QApplication>

#include "app/ui/MainForm.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    qzr::gui::TMainForm form;
    form.show();
    return app.exec();
}
