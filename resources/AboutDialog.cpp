#include "Resources.h"

#include <array>

namespace {

using K = ControlKind;

// One control a row, as in the template it mirrors.
// clang-format off
constexpr std::array kControls{
    DialogControl{IDC_STATIC, K::Icon, "", 245, 40, 21, 20, CtlStyle::None, IDI_ABOUT},
    DialogControl{IDC_STATIC, K::Static, "Corvaline 1.0, built with C++20 and Qt 6", 10, 10, 155, 8},
    DialogControl{IDC_STATIC, K::Static, "Made by the Corvaline team", 40, 30, 195, 8},
    DialogControl{1, K::DefPushButton, "OK", 215, 130, 50, 14, CtlStyle::TabStop},
    DialogControl{IDC_STATIC, K::Static, "Portugal - corvaline.invalid", 40, 40, 174, 8},
    DialogControl{IDC_STATIC, K::Static, "Este programa tem recurso a livraria FMOD", 40, 65, 136, 8},
    DialogControl{IDC_STATIC, K::Static, "www.libsdl.org", 40, 76, 54, 8},
    DialogControl{IDC_STATIC, K::Static, "", 40, 90, 241, 8},
    DialogControl{IDC_STATIC, K::Static, "", 40, 100, 226, 8},
    DialogControl{IDC_STATIC, K::Static,
                  "Built on SDL2, libmpg123, libsndfile, libsoxr, FFTW and Qt 6.\n"
                  "Free software: it must not be sold.",
                  40, 110, 225, 20},
    DialogControl{IDC_STATIC, K::Static, "", 40, 135, 125, 8},
    DialogControl{IDC_STATIC, K::Icon, "", 245, 10, 21, 20, CtlStyle::None, IDR_MAINFRAME},
    DialogControl{IDC_STATIC, K::GroupBox, "The Corvaline team", 5, 0, 290, 150},
};
// clang-format on

constexpr DialogTemplate kAboutDialog{
    "Acerca do Corvaline / About Corvaline",
    302,
    156,
    "MS Sans Serif",
    8,
    DlgStyle::SystemMenu,
    kControls,
};

} // namespace

const DialogTemplate& AboutDialogTemplate() {
    return kAboutDialog;
}
