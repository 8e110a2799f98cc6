// Resource and control ids of the Windows program: the icon, the menu and the debugger dialog.
// Shared by the resource script and the C++ sources.
#pragma once

#define IDI_TAMO 101
#define IDD_DEBUGGER 109
#define IDR_MENU 110

// Menu commands (the same numbers as the shared MenuCommand ids).
#define IDM_RESET 40003
#define IDM_BREAK 40004
#define IDM_EXIT 40005
#define IDM_OPEN 40006
#define IDM_SIZE1 40007
#define IDM_SIZE2 40008
#define IDM_SIZE3 40009
#define IDM_SIZE4 40010
#define IDM_ROM_WRITE_ENABLE 40011

// Debugger dialog controls.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)  // labels
#endif
#define IDC_STEP_IN 3
#define IDC_STEP_OVER 4
#define IDC_QUIT 1037
#define IDC_FLAG_N 1038
#define IDC_FLAG_Z 1039
#define IDC_FLAG_C 1040
#define IDC_FLAG_V 1041
#define IDC_R0 1042  // R0 to R7: 1042 to 1049
#define IDC_FLAG_I 1050
#define IDC_FLAG_T 1051
#define IDC_CNT 1052
#define IDC_CONTINUE 1053
#define IDC_LISTING 1054
#define IDC_R8 1058  // R8 to R15: 1058 to 1065
#define IDC_PC 1066
#define IDC_UP 1067
#define IDC_DOWN 1068
