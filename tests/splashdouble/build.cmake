# The runtime splash library double (splashscreen.dll under <build>/splashdouble/, and one without
# "SplashSetFileJarName" under <build>/splashdouble/nojarname/), for the Windows end-to-end tests.
if(WIN32)
  set(SPLASHDOUBLE_DIR ${CMAKE_BINARY_DIR}/splashdouble)
  add_library(splashdouble SHARED ${CMAKE_CURRENT_LIST_DIR}/SplashDouble.cpp)
  add_library(splashdouble_nojarname SHARED ${CMAKE_CURRENT_LIST_DIR}/SplashDouble.cpp)
  target_compile_definitions(splashdouble_nojarname PRIVATE SPLASHDOUBLE_NO_JAR_NAME)
  foreach(target splashdouble splashdouble_nojarname)
    launcher_target_settings(${target})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME splashscreen PREFIX "")
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endforeach()
  set_target_properties(splashdouble PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SPLASHDOUBLE_DIR}
    ARCHIVE_OUTPUT_DIRECTORY ${SPLASHDOUBLE_DIR})
  set_target_properties(splashdouble_nojarname PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${SPLASHDOUBLE_DIR}/nojarname ARCHIVE_OUTPUT_DIRECTORY ${SPLASHDOUBLE_DIR}/nojarname)
endif()
