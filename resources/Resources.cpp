#include "Resources.h"

void RegisterResources() {
    static const bool registered = [] {
        AfxRegisterDialogTemplate(IDD_ABOUTBOX, AboutDialogTemplate());
        AfxRegisterDialogTemplate(IDD_CORVALINE_DIALOG, MainDialogTemplate());
        RegisterStrings();
        RegisterIcons();
        return true;
    }();
    (void)registered;
}
