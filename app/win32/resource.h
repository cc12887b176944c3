// The resource numbers of aes.exe, shared by aes.rc and the code: the same
// numbers as the program's tables give them (the help texts are strings
// whose numbers are the control ids).
#pragma once

#define IDD_MAIN 501
#define IDI_PROGRAM 700
#define IDC_PROGRAM_ICON 700
#define IDS_ABOUTBOX 400
#define IDM_ABOUTBOX 16
#define IDC_HELP_HINT 1606
#define IDC_ENCRYPTING 1200
#define IDC_DECRYPTING 1201
#define IDC_AUTOMODE 1202
#define IDC_PASSWORD 1500
#define IDC_CONFIRMATION 1501
