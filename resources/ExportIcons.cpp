// A build tool: writes the program's icon into an icon theme folder, one PNG picture per size
// as the desktop looks for them (DIR/NxN/apps/corvaline.png), so that menus, docks and
// window lists show the icon the window itself shows.
// Usage: corvaline_icons DIR SIZE...
#include "Resources.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DIR SIZE...\n", argv[0]);
        return 2;
    }
    RegisterIcons();
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const std::filesystem::path folder = std::filesystem::path(argv[1]) /
                                             (std::to_string(size) + "x" + std::to_string(size)) /
                                             "apps";
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        const std::string file = (folder / "corvaline.png").string();
        if (size <= 0 || !AfxSaveIconPicture(IDR_MAINFRAME, size, file)) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], file.c_str());
            return 1;
        }
    }
    return 0;
}
