// A library that loads but is no Java VM: it lacks the JNI invocation entries. The broken VM
// library links against it to make its own loading fail when it is absent.
#ifdef _WIN32
#define NOTVM_EXPORT __declspec(dllexport)
#else
#define NOTVM_EXPORT __attribute__((visibility("default")))
#endif

extern "C" NOTVM_EXPORT int notAJavaVm() { return 42; }
