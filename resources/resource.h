#ifndef LAUNCHER_RESOURCE_H
#define LAUNCHER_RESOURCE_H

/* Resource ids shared by the resource script and the code. */
#define IDI_APPLICATION_ICON 128
#define IDD_JRE_NOT_FOUND 201
#define IDD_JAVA_EXCEPTION 231

#endif
