#pragma once

// Everything the program sees of the dialog layer.

#include "AfxTypes.h"
#include "Controls.h"
#include "DataExchange.h"
#include "Dialog.h"
#include "DialogTemplate.h"
#include "DirectoryWalk.h"
#include "DropFiles.h"
#include "FileDialog.h"
#include "FileFind.h"
#include "Gdi.h"
#include "MessageMap.h"
#include "WaitCursor.h"
#include "WinApp.h"
#include "Wnd.h"
