/* Machine-dependent JNI types for the Windows builds, written for this launcher: 32-bit jint,
   64-bit jlong, and the __stdcall convention that 32-bit Windows VMs export their entries with. */
#ifndef LAUNCHER_JNI_MD_H
#define LAUNCHER_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef int jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
