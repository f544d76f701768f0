#include "ui/program_windows.h"

#include <QPointer>
#include <memory>

#include "ui/Form1.h"
#include "ui/Form2.h"

namespace velmora {

void attachProgramWindows(Form1& form1) {
    // Advanced By AP Name: loaded on first use, then only shown again until unloaded.
    auto form2 = std::make_shared<QPointer<Form2>>();
    form1.onAPName = [&form1, form2] {
        if (!*form2) {
            *form2 = new Form2(form1);
            QObject::connect(*form2, &Form2::unloaded, [form2] { *form2 = nullptr; });
        }
        (*form2)->show();
        (*form2)->raise();
        (*form2)->activateWindow();
    };
    form1.closeAdvancedWindows.push_back([form2] { delete form2->data(); });
}

}  // namespace velmora
