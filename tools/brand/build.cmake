# The branding tool (brand, brand.exe): a console program for the build machine, from portable
# sources that share no code with the launcher, only its compiler flags: the warnings and the size
# flags (no exceptions, no run-time type information, a section per function). Its pure pieces are
# also compiled into the unit tests, with their flags (so the sanitized run checks them too).
file(GLOB BRAND_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(REMOVE_ITEM BRAND_SOURCES ${CMAKE_CURRENT_LIST_DIR}/main.cpp)

add_executable(brand ${CMAKE_CURRENT_LIST_DIR}/main.cpp ${BRAND_SOURCES})
target_include_directories(brand PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(brand PRIVATE ${WARNINGS} ${SIZE_FLAGS})
target_link_options(brand PRIVATE -Wl,--gc-sections)
if(WIN32)
  target_compile_options(brand PRIVATE -municode)
  target_link_options(brand PRIVATE -municode -static -static-libgcc -static-libstdc++)
endif()

foreach(tests unit_tests unit_tests_sanitized)
  if(TARGET ${tests})
    target_sources(${tests} PRIVATE ${BRAND_SOURCES})
  endif()
endforeach()
