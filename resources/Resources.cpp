#include "Resources.h"

void RegisterResources() {
    static const bool registered = [] {
        RegisterStrings();
        RegisterIcons();
        return true;
    }();
    (void)registered;
}
