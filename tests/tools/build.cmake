# The UI driver of the Windows end-to-end tests: a console program that runs the launcher, reads
# and dismisses its message boxes and reports what it saw.
if(WIN32)
  add_executable(uidriver ${CMAKE_CURRENT_LIST_DIR}/uidriver.cpp)
  launcher_target_settings(uidriver)
  target_link_options(uidriver PRIVATE -static -static-libgcc -static-libstdc++)
  target_link_libraries(uidriver PRIVATE user32 gdi32 shell32)
endif()
