#ifndef LAUNCHER_RESOURCE_H
#define LAUNCHER_RESOURCE_H

/* Resource ids shared by the resource script and the code. */
#define IDI_APPLICATION_ICON 128
#define IDD_JRE_NOT_FOUND 201
#define IDD_JAVA_EXCEPTION 231

/* Controls of "JRE Not Found". */
#define IDC_JRE_PATH 201
#define IDC_BROWSE 202
#define IDC_NOT_FOUND_MESSAGE 203
#define IDC_ERROR_ICON 204 /* in both dialogs */
#define IDC_DOWNLOAD_LINK 205
#define IDC_BROWSE_HINT 206

/* Controls of "Java Exception". */
#define IDC_STACK_TRACE 208
#define IDC_EXCEPTION_GROUP 209
#define IDC_EXCEPTION_INTRO 210
#define IDC_EXCEPTION_CHOICE 211
#define IDC_EXCEPTION_WARNING 212

/* Where an end user gets a current free Java runtime: the text of the download link, so short
   that it stays on the one line of its control. */
#define JAVA_DOWNLOAD_PAGE "https://adoptium.net/"

#endif
