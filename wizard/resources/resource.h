#pragma once
// Resource ids of the wizard, grouped by dialog. A page's id is the id of its
// dialog template.

// Program-wide
#define IDR_MAINFRAME 128
#define IDI_EJECT 209
#define IDB_HEADER 204
#define IDB_WATERMARK 205
#define IDC_STATIC -1

// About box
#define IDD_ABOUTBOX 100
#define IDC_ABOUT_TEXT 1049
#define IDC_WEBLINK 1050

// Pages in the order of the sheet
#define IDD_WIZ97_WELCOME 107
#define IDD_WIZ97_SELECTOP 208
#define IDD_WIZ97_SELECTSOURCEDRIVE 204
#define IDD_WIZ97_SELECTMP3 209
#define IDD_WIZ97_TRACKEDITOR 206
#define IDD_WIZ97_SELECTDESTFILE 205
#define IDD_WIZ97_ADDIMAGE 211
#define IDD_WIZ97_EXPORTIMAGE 212
#define IDD_WIZ97_SELECTTRACKS 210
#define IDD_WIZ97SELDISCS 215
#define IDD_WIZ97_SELECTRECORDER 213
#define IDD_WIZ97_PROGRESS 108
#define IDD_WIZ97_COMPLETE 203

// The candidate dialog of the CD-database lookup
#define IDD_SELECTCAND 214

// Welcome and completion pages
#define IDC_TITLE 112
#define IDC_SUBTITLE 113
#define IDC_BULLET1 114
#define IDC_OPTION1 115
#define IDC_BULLET2 116
#define IDC_OPTION2 117
#define IDC_BULLET3 118
#define IDC_OPTION3 119
#define IDC_COPYRIGHT 1041
#define IDC_RESULT 113

// Operation page
#define IDC_OP_BACKUP 1019
#define IDC_OP_EXTRACT 1020
#define IDC_OP_RESTORE 1021

// Source-drive page
#define IDC_DRIVES 1001
#define IDC_DISC_ARTIST 1004
#define IDC_DISC_TITLE 1031

// Backup-file page
#define IDC_BACKUP_FILE 1046
#define IDC_BACKUP_ARTIST 1014
#define IDC_BACKUP_ALBUM 1032
#define IDC_BACKUP_VALIDITY 1020
#define IDC_BACKUP_PICTURE 1038

// Track editor page
#define IDC_ALBUM 1029
#define IDC_ARTIST 1030
#define IDC_YEAR 1016
#define IDC_GENRE 1015
#define IDC_TRACK_SCROLL 1005
#define IDC_TRACK_NUMBER 1101
#define IDC_TRACK_TITLE 1201
#define IDC_TRACK_ARTIST 1301

// Destination page
#define IDC_DEST_FILE 1013
#define IDC_QUALITY 1021
#define IDC_QUALITY_TEXT 1022

// Add-images and export-images pages
#define IDC_PICTURES 1033
#define IDC_ADD_FILE 1034
#define IDC_ADD_SCAN 1035
#define IDC_IMAGE_TYPE 1028
#define IDC_EXPORT_ALL 1037

// Select-tracks page
#define IDC_TRACKS 1025
#define IDC_DEST_FOLDER 1026
#define IDC_NAME_FORMAT 1027

// Select-discs page
#define IDC_DISCS 1047

// Recorder page
#define IDC_RECORDERS 1028
#define IDC_EJECT 1040
#define IDC_IMAGE_PATH 1043
#define IDC_IMAGE_LABEL 1042
#define IDC_MEDIA_STATUS 1045
#define IDC_DISC_INFO 1049
#define IDC_RECORDER_HEADING 1048

// Progress page
#define IDC_PROGRESS 119
#define IDC_BANNER 1018

// The system-menu command of the about box
#define IDM_ABOUT 101
