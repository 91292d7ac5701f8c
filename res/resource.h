// Resource and control ids shared by the code and corvelle.rc.
#pragma once

#define IDS_DESCRIPTION 1

#define IDD_SAVER 101
#define IDD_SETTINGS 103

#define IDC_FILE1 1000
#define IDC_FILE2 1001
#define IDC_FILE3 1002
#define IDC_FILE4 1003
#define IDC_FILE5 1004
#define IDC_FILE6 1005
#define IDC_FILE7 1006
#define IDC_FILE8 1007
#define IDC_FILE9 1008
#define IDC_FILE10 1009

#define IDC_BROWSE1 1010
#define IDC_BROWSE2 1011
#define IDC_BROWSE3 1012
#define IDC_BROWSE4 1013
#define IDC_BROWSE5 1014
#define IDC_BROWSE6 1015
#define IDC_BROWSE7 1016
#define IDC_BROWSE8 1017
#define IDC_BROWSE9 1018
#define IDC_BROWSE10 1019

#define IDC_FOLDER 1020

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
