# libFuzzer targets, built where the compiler is clang (the build/clang tree of tools/build.sh):
# each links the launcher's sources built with ASan and UBSan and checks properties of one parser.
set(FUZZ_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_library(launcher_fuzz_core STATIC ${CORE_SOURCES} ${OS_SOURCES})
launcher_target_settings(launcher_fuzz_core)
target_compile_options(launcher_fuzz_core PRIVATE ${FUZZ_SANITIZE} -fsanitize=fuzzer-no-link)
target_link_libraries(launcher_fuzz_core PUBLIC ${OS_LIBRARIES})

set(FUZZ_TARGETS fuzz_command_line fuzz_versions fuzz_vm_parameters fuzz_ini fuzz_argument_area
    fuzz_format)
foreach(target ${FUZZ_TARGETS})
  add_executable(${target} ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp)
  launcher_target_settings(${target})
  target_compile_options(${target} PRIVATE ${FUZZ_SANITIZE} -fsanitize=fuzzer)
  target_link_options(${target} PRIVATE ${FUZZ_SANITIZE} -fsanitize=fuzzer)
  target_link_libraries(${target} PRIVATE launcher_fuzz_core)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endforeach()
