#pragma once
// The dialogs of the Windows program that the main window opens: the
// settings dialog (108), the About box (500) and the context help shown
// for the caption's "?" and F1. Their resources are in Dialogs.rc, which the
// program's own resource script includes.
#include "application/AppSettings.h"

#include <windows.h>

namespace tessarin::win32 {

// "AES Main Configuration": six pages edit a copy of settings; true, with
// every page's values written into settings, when "&OK" ended the dialog;
// false, settings untouched, after "&Cancel", Escape or closing.
bool ShowSettingsDialog(HWND owner, AppSettings& settings);

// "About Tessarin", with the live report of the engine and library versions.
void ShowAboutBox(HWND owner);

// A help request on a control: the string resource whose number is the
// control's id, in a pale yellow pop-up at the mouse position that closes
// as a tool-tip does. A control without a string shows nothing. Always true:
// the request counts as handled either way.
bool ShowContextHelp(HWND owner, const HELPINFO* info);

} // namespace tessarin::win32
