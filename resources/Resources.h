// The program's resources: dialog templates, strings and icons, by identifier.
#pragma once

#include "Afx.h"

inline constexpr UINT IDD_ABOUTBOX = 100;
inline constexpr UINT IDS_ABOUTBOX = 101;
inline constexpr UINT IDD_CORVALINE_DIALOG = 102;
inline constexpr UINT IDR_MAINFRAME = 128; // the program's icon
inline constexpr UINT IDI_ABOUT = 129;     // the About box's picture

// Registers every resource with the dialog framework; later calls do nothing.
void RegisterResources();

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& AboutDialogTemplate();
void RegisterIcons();
void RegisterStrings();
