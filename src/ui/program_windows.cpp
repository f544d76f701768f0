#include "ui/program_windows.h"

#include "ui/Form1.h"

namespace velmora {

void attachProgramWindows(Form1& form1) { (void)form1; }

}  // namespace velmora
