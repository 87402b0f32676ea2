#include "app/program.h"

#include <QApplication>
#include <memory>

#include "app/form2.h"

int runPiko(FormServices services) {
    MessageBoxes& boxes = *services.boxes;
    std::unique_ptr<TForm1> form1;
    try {
        form1 = std::make_unique<TForm1>(std::move(services));
    } catch (const std::exception& e) {
        boxes.fatal(e.what());
        return 1;
    }
    TForm2 form2(*form1);
    form1->Form2 = &form2;
    form1->show();
    const int rc = QApplication::exec();
    form1->Form2 = nullptr;
    return rc;
}
