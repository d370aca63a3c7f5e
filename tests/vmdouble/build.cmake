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
