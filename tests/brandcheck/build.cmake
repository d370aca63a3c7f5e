# brandcheck.exe: reads an executable's version information, icons and manifest back through the
# Windows API, for the branding tests.
if(WIN32)
  add_executable(brandcheck ${CMAKE_CURRENT_LIST_DIR}/BrandCheck.cpp)
  launcher_target_settings(brandcheck)
  target_compile_options(brandcheck PRIVATE -municode)
  target_link_options(brandcheck PRIVATE -municode -static -static-libgcc -static-libstdc++)
  target_link_libraries(brandcheck PRIVATE version user32)
endif()
