#include "Resources.h"

void RegisterStrings() {
    AfxRegisterString(IDS_ABOUTBOX, "&About Corvaline...");
}
