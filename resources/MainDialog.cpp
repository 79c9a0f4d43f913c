#include "Resources.h"

#include <array>

namespace {

using K = ControlKind;
using S = CtlStyle;

constexpr S kTab = S::TabStop;
constexpr S kPanSlider = S::TabStop | S::NoTicks;
constexpr S kNumberBox = S::TabStop | S::Number | S::Right;
constexpr S kCheckLeft = S::TabStop | S::LeftText | S::StaticEdge;

// Creation order is the tab order.
constexpr std::array kControls{
    DialogControl{IDOK, K::PushButton, "SAIR", 255, 300, 50, 14, kTab},
    Named(DialogControl{IDC_PATH, K::Edit, "", 10, 5, 205, 14, kTab}, "Caminho do ficheiro"),
    DialogControl{IDC_PROCURAR, K::PushButton, "Procurar", 225, 5, 35, 14, kTab},
    DialogControl{IDC_TOCAR_1, K::PushButton, "Tocar", 10, 30, 50, 15, kTab},
    DialogControl{IDC_PARAR_1, K::PushButton, "Parar", 70, 30, 50, 15, kTab},
    Named(DialogControl{IDC_STATIC, K::GroupBox, "", 5, 20, 310, 55}, "Deck 1"),
    Named(DialogControl{IDC_PROGRESS_1, K::Progress, "", 130, 30, 180, 14, S::Smooth},
          "Progresso do deck 1"),
    Named(DialogControl{IDC_STATIC, K::GroupBox, "", 5, 130, 310, 75}, "Painel superior"),
    Named(DialogControl{IDC_SCALE, K::Slider, "", 290, 140, 15, 60,
                        S::TabStop | S::Vertical | S::NoTicks},
          "Escala do espectro"),
    Named(DialogControl{IDC_PAN_1, K::Slider, "", 130, 50, 180, 10, kPanSlider}, "Pan do deck 1"),
    DialogControl{IDC_FULL_STEREO_1, K::PushButton, "Full Stereo", 195, 60, 50, 10, kTab},
    Named(DialogControl{IDC_STATIC, K::GroupBox, "", 5, 210, 310, 75}, "Painel inferior"),
    DialogControl{IDC_COMPRESSOR, K::CheckBox, "Compressor", 95, 300, 53, 12, kCheckLeft},
    Named(DialogControl{IDC_GAIN, K::Edit, "", 35, 300, 50, 12,
                        S::TabStop | S::ReadOnly | S::Number | S::Right | S::NoBorder |
                            S::StaticEdge},
          "Ganho em dB"),
    DialogControl{IDC_FADE_OUT_1, K::PushButton, "Fade out", 85, 50, 35, 15, kTab},
    DialogControl{IDC_STATIC, K::Static, "G dB", 15, 305, 17, 8},
    Named(DialogControl{IDC_STATIC, K::GroupBox, "", 5, 285, 310, 35}, "Ganho e crossfade"),
    DialogControl{IDC_FADE_IN_1, K::PushButton, "Fade in", 10, 50, 35, 15, kTab},
    DialogControl{IDC_TOCAR_2, K::PushButton, "Tocar", 10, 85, 50, 15, kTab},
    DialogControl{IDC_PARAR_2, K::PushButton, "Parar", 70, 85, 50, 15, kTab},
    Named(DialogControl{IDC_STATIC, K::GroupBox, "", 5, 75, 310, 55}, "Deck 2"),
    Named(DialogControl{IDC_PROGRESS_2, K::Progress, "", 130, 85, 180, 14, S::Smooth},
          "Progresso do deck 2"),
    Named(DialogControl{IDC_PAN_2, K::Slider, "", 130, 105, 180, 10, kPanSlider}, "Pan do deck 2"),
    DialogControl{IDC_FULL_STEREO_2, K::PushButton, "Full Stereo", 195, 115, 50, 10, kTab},
    DialogControl{IDC_FADE_OUT_2, K::PushButton, "Fade out", 85, 105, 35, 15, kTab},
    DialogControl{IDC_FADE_IN_2, K::PushButton, "Fade in", 10, 105, 35, 15, kTab},
    DialogControl{IDC_OUT_TO_2, K::PushButton, "Out to 2", 50, 50, 30, 15, kTab},
    DialogControl{IDC_OUT_TO_1, K::PushButton, "Out to 1", 50, 105, 30, 15, kTab},
    DialogControl{IDC_CROSSFADE, K::DefPushButton, "CrossFade", 265, 5, 45, 14, kTab},
    DialogControl{IDC_AUTO_CROSSFADE, K::CheckBox, "Auto Crossfade", 155, 300, 64, 12, kCheckLeft},
    Named(DialogControl{IDC_CROSSFADE_MS, K::Edit, "", 222, 300, 25, 12, kNumberBox},
          "Tempo do crossfade em ms"),
    Named(
        DialogControl{IDC_SEQUENCE_GRID, K::ListBox, "", 320, 45, 210, 255, S::TabStop | S::Notify},
        "Grelha de sequencias"),
    DialogControl{IDC_ADICIONAR_FICHEIRO, K::PushButton, "Adicionar ficheiro", 325, 20, 70, 14,
                  kTab},
    DialogControl{IDC_STATIC, K::GroupBox, "Grelha de sequencias", 320, 0, 210, 40},
    DialogControl{IDC_ADICIONAR_DIRECTORIO, K::PushButton, "Adicionar directorio", 400, 20, 70, 14,
                  kTab},
    DialogControl{IDC_SUBDIRS, K::CheckBox, "SubDirs", 475, 25, 41, 10, kTab},
    DialogControl{IDC_RANDOMIZE, K::PushButton, "Randomize", 320, 305, 50, 15, kTab},
    DialogControl{IDC_EXECUTE, K::PushButton, "Execute", 380, 305, 50, 14, kTab},
    DialogControl{IDC_CANCEL_LIST, K::PushButton, "Cancel List", 435, 305, 50, 14,
                  kTab | S::Disabled},
    DialogControl{IDCANCEL, K::PushButton, "CANCEL", 255, 300, 50, 14, S::Hidden | S::Disabled},
    DialogControl{IDC_CLEAR, K::PushButton, "Clear", 490, 305, 42, 14, kTab},
    Named(DialogControl{IDC_STATIC, K::Icon, "", 505, 5, 20, 20, S::None, IDR_MAINFRAME},
          "Corvaline"),
};

constexpr DialogTemplate kMainDialog{
    "Corvaline - by the Corvaline team",
    537,
    327,
    "MS Sans Serif",
    8,
    DlgStyle::SystemMenu | DlgStyle::MinimizeBox | DlgStyle::AppWindow,
    kControls,
};

} // namespace

const DialogTemplate& MainDialogTemplate() {
    return kMainDialog;
}
