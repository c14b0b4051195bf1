// Identifiers of BexoLogExport's resources: its dialogs, their controls, the
// icon group and the version block.
#pragma once

#define IDD_MAIN 101
#define IDI_BEXO 104
#define IDD_SUMMARY 105
#define IDD_DOWNLOAD_PAGE 106
#define IDD_CONFIGURE 107
#define IDD_DOWNLOAD_PROGRESS 108
#define IDD_COMMUNICATING 109

// Main window
#define IDC_TABS 1007

// Summary page
#define IDC_SUMMARY_TITLE 1043
#define IDC_VERSION_LABEL 1049
#define IDC_FIRMWARE 1011
#define IDC_CUSTOMER 1050
#define IDC_CPU 1037
#define IDC_LOGGING_CAPABLE 1038
#define IDC_SERIAL 1034
#define IDC_BYTES_USED 1036
#define IDC_LOGS 1022

// Configure page
#define IDC_CONFIGURE_TITLE 1044
#define IDC_MUTE 1026
#define IDC_LOW 1027
#define IDC_HIGH 1028
#define IDC_MINUTES 1047
#define IDC_APPLY 1032

// Download page
#define IDC_DOWNLOAD_TITLE 1045
#define IDC_MERGE_DEAD 1048
#define IDC_MERGE_CROSSING 1049
#define IDC_DOWNLOAD_RETAIN 1013
#define IDC_DOWNLOAD_CLEAR 1015
#define IDC_CLEAR_ONLY 1014

// Download progress dialog
#define IDC_DL_STATUS 1015
#define IDC_DL_CANCEL 1016
#define IDC_DL_PROGRESS_TEXT 1017
#define IDC_DL_PROGRESS 1018

// Communication dialog
#define IDC_COMM_PROGRESS 1019
#define IDC_COMM_STATUS 1021

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
