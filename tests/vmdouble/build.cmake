# The VM library test double (jvm.dll / libjvm.so under <build>/vmdouble/) and a library that
# loads but has no JNI entries (notvm.dll / libnotvm.so), for the end-to-end tests.
set(VMDOUBLE_DIR ${CMAKE_BINARY_DIR}/vmdouble)

add_library(vmdouble SHARED ${CMAKE_CURRENT_LIST_DIR}/VmDouble.cpp)
launcher_target_settings(vmdouble)
add_library(notvm SHARED ${CMAKE_CURRENT_LIST_DIR}/NotVm.cpp)
launcher_target_settings(notvm)

foreach(target vmdouble notvm)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${VMDOUBLE_DIR}
    LIBRARY_OUTPUT_DIRECTORY ${VMDOUBLE_DIR})
endforeach()
set_target_properties(notvm PROPERTIES OUTPUT_NAME notvm)

if(WIN32)
  # A real jvm.dll exports its entries undecorated; on i686 __stdcall would add "_" and "@n".
  set_target_properties(vmdouble PROPERTIES OUTPUT_NAME jvm PREFIX "")
  set_target_properties(notvm PROPERTIES PREFIX "")
  foreach(target vmdouble notvm)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--kill-at)
  endforeach()
else()
  set_target_properties(vmdouble PROPERTIES OUTPUT_NAME jvm)
  target_link_libraries(vmdouble PRIVATE pthread)
endif()

# A VM library whose dependency is nowhere to be found, so that loading it fails: brokenjvm/ holds
# it under the VM library's name, and the dependency stays in a folder of its own.
add_library(vmdouble_missingdep SHARED ${CMAKE_CURRENT_LIST_DIR}/NotVm.cpp)
launcher_target_settings(vmdouble_missingdep)
set_target_properties(vmdouble_missingdep PROPERTIES OUTPUT_NAME missingdep
  RUNTIME_OUTPUT_DIRECTORY ${VMDOUBLE_DIR}/missingdep LIBRARY_OUTPUT_DIRECTORY ${VMDOUBLE_DIR}/missingdep)
add_library(vmdouble_broken SHARED ${CMAKE_CURRENT_LIST_DIR}/VmDouble.cpp)
launcher_target_settings(vmdouble_broken)
target_link_libraries(vmdouble_broken PRIVATE vmdouble_missingdep)
target_compile_definitions(vmdouble_broken PRIVATE VMDOUBLE_BROKEN)
set_target_properties(vmdouble_broken PROPERTIES OUTPUT_NAME jvm
  ARCHIVE_OUTPUT_DIRECTORY ${VMDOUBLE_DIR}/brokenjvm RUNTIME_OUTPUT_DIRECTORY ${VMDOUBLE_DIR}/brokenjvm LIBRARY_OUTPUT_DIRECTORY ${VMDOUBLE_DIR}/brokenjvm)
if(WIN32)
  set_target_properties(vmdouble_missingdep vmdouble_broken PROPERTIES PREFIX "")
  foreach(target vmdouble_missingdep vmdouble_broken)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--kill-at)
  endforeach()
else()
  target_link_libraries(vmdouble_broken PRIVATE pthread)
  # No run path: the loader must not find the dependency.
  set_target_properties(vmdouble_broken PROPERTIES SKIP_BUILD_RPATH ON)
endif()
