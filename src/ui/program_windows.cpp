#include "ui/program_windows.h"

#include <QCoreApplication>
#include <QPointer>
#include <memory>

#include "platform/shell.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/Form4.h"
#include "ui/frmAbout.h"
#include "ui/help_links.h"

namespace velmora {

void attachProgramWindows(Form1& form1) {
    // About: loaded when closed, otherwise brought to the front. Finishing it (OK, Enter, Esc,
    // its close control) unloads it.
    auto about = std::make_shared<QPointer<frmAbout>>();
    form1.onAbout = [&form1, about] {
        if (!*about) {
            *about = new frmAbout(&form1);
            QObject::connect(*about, &QDialog::finished, [about] { *about = nullptr; });
        }
        (*about)->show();
        (*about)->raise();
        (*about)->activateWindow();
    };
    // Content: the help page shipped beside the executable; the shell's answer is not used.
    form1.onContent = [] { Shell::openUrl(helpPageUrl(QCoreApplication::applicationDirPath())); };

    // Advanced By MAC Address: loaded on first use, then only shown again until unloaded.
    auto form3 = std::make_shared<QPointer<Form3>>();
    form1.onMACAddress = [&form1, form3] {
        if (!*form3) {
            *form3 = new Form3(form1);
            QObject::connect(*form3, &Form3::unloaded, [form3] { *form3 = nullptr; });
        }
        (*form3)->show();
        (*form3)->raise();
        (*form3)->activateWindow();
    };
    form1.closeAdvancedWindows.push_back([form3] { delete form3->data(); });

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

    // Advanced By Criteria: loaded on first use, then only shown again until unloaded.
    auto form4 = std::make_shared<QPointer<Form4>>();
    form1.onAdvanceCriteria = [&form1, form4] {
        if (!*form4) {
            *form4 = new Form4(form1);
            QObject::connect(*form4, &Form4::unloaded, [form4] { *form4 = nullptr; });
        }
        (*form4)->show();
        (*form4)->raise();
        (*form4)->activateWindow();
    };
    form1.closeAdvancedWindows.push_back([form4] { delete form4->data(); });
}

}  // namespace velmora
