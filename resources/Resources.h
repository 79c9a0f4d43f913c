// The program's resources: dialog templates, strings and icons, by identifier.
#pragma once

#include "Afx.h"

inline constexpr UINT IDD_ABOUTBOX = 100;
inline constexpr UINT IDS_ABOUTBOX = 101;
inline constexpr UINT IDD_CORVALINE_DIALOG = 102;
inline constexpr UINT IDR_MAINFRAME = 128; // the program's icon
inline constexpr UINT IDI_ABOUT = 129;     // the About box's picture

// The main window's controls, named after their texts (or, where a control has none, after
// what it shows). The program run from outside is reached by the same numbers.
inline constexpr int IDC_PATH = 1000;
inline constexpr int IDC_PROCURAR = 1001;
inline constexpr int IDC_TOCAR_1 = 1002;
inline constexpr int IDC_PARAR_1 = 1003;
inline constexpr int IDC_PROGRESS_1 = 1004;
inline constexpr int IDC_SCALE = 1005;
inline constexpr int IDC_PAN_1 = 1006;
inline constexpr int IDC_FULL_STEREO_1 = 1007;
inline constexpr int IDC_COMPRESSOR = 1008;
inline constexpr int IDC_GAIN = 1009;
inline constexpr int IDC_FADE_OUT_1 = 1010;
inline constexpr int IDC_FADE_IN_1 = 1011;
inline constexpr int IDC_TOCAR_2 = 1012;
inline constexpr int IDC_PARAR_2 = 1013;
inline constexpr int IDC_PROGRESS_2 = 1014;
inline constexpr int IDC_PAN_2 = 1015;
inline constexpr int IDC_FULL_STEREO_2 = 1016;
inline constexpr int IDC_FADE_OUT_2 = 1017;
inline constexpr int IDC_FADE_IN_2 = 1018;
inline constexpr int IDC_OUT_TO_2 = 1019;
inline constexpr int IDC_OUT_TO_1 = 1020;
inline constexpr int IDC_CROSSFADE = 1021;
inline constexpr int IDC_AUTO_CROSSFADE = 1022;
inline constexpr int IDC_CROSSFADE_MS = 1023;
inline constexpr int IDC_SEQUENCE_GRID = 1024;
inline constexpr int IDC_ADICIONAR_FICHEIRO = 1025;
inline constexpr int IDC_ADICIONAR_DIRECTORIO = 1026;
inline constexpr int IDC_SUBDIRS = 1027;
inline constexpr int IDC_RANDOMIZE = 1028;
inline constexpr int IDC_EXECUTE = 1029;
inline constexpr int IDC_CANCEL_LIST = 1030;
inline constexpr int IDC_CLEAR = 1032;

// Registers the strings and icons with the dialog framework; later calls do nothing.
void RegisterResources();

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& AboutDialogTemplate();
void RegisterIcons();
void RegisterStrings();
