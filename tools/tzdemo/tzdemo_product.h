#pragma once
// Names the TzDemo programs share with the install script (product/install.xml).
#define TZDEMO_VERSION_TEXT L"1.0.0.1"
#define TZDEMO_APPNAME L"TzDemo"                  /* registry key names (appname) */
#define TZDEMO_DISPLAYNAME L"TzDemo\u6f14\u793a" /* App.DisplayName of the language table */
#define TZDEMO_EXENAME L"TzDemo.exe"
#define TZDEMO_UNINSTALL_KEY L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" TZDEMO_APPNAME
#define TZDEMO_SETTINGS_KEY L"SOFTWARE\\" TZDEMO_APPNAME
#define TZDEMO_PLUGIN_EXPORT "TzPluginName"
