#include "ui/main_window.h"

#include "ui/dlg_main.h"

IMainWnd* CreateMainWindowObject() { return new CDlgMain(); }
