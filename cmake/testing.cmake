# tv_add_test(NAME <name> SOURCES <files...> [LIBS <libs...>] [LABEL unit|lab] [TIMEOUT <s>]
#             [AS_USER])
# Every test is a Qt Test program with a network of its own: a unit test runs in a fresh
# namespace with only loopback up (tests/ownnet.sh), a lab test inside the two-namespace lab
# network of tests/lab/lab.sh, which sets it up before and tears it down after.
# AS_USER runs the test as an unprivileged user (tests/asuser.sh) when the suite runs as root.
set(TV_LAB_SCRIPT "${CMAKE_SOURCE_DIR}/tests/lab/lab.sh")
function(tv_add_test)
  cmake_parse_arguments(T "AS_USER" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${T_NAME} PRIVATE TV_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                               TV_BINARY_DIR="${CMAKE_BINARY_DIR}")
  set(command $<TARGET_FILE:${T_NAME}>)
  if(T_AS_USER)
    set(command ${CMAKE_SOURCE_DIR}/tests/asuser.sh ${command})
  endif()
  if(T_LABEL STREQUAL "lab")
    set(command ${TV_LAB_SCRIPT} run -- ${command})
  else()
    set(command ${CMAKE_SOURCE_DIR}/tests/ownnet.sh ${command})
  endif()
  add_test(NAME ${T_NAME} COMMAND ${command})
  set_tests_properties(${T_NAME} PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT}
                       ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;TZ=UTC")
endfunction()

# tv_bundle_test(<test> <bundle folder>): the test's program in a bundle folder of its own, with
# the real tool at Contents/Helpers, where the engine looks for it.
function(tv_bundle_test name bundle)
  file(GENERATE OUTPUT ${bundle}/Contents/Helpers/tessavel-connect
       CONTENT "#!/bin/sh\nexec '$<TARGET_FILE:tessavel-connect>' \"$@\"\n"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                        WORLD_EXECUTE)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${bundle}/Contents/MacOS)
  add_dependencies(${name} tessavel-connect standin-osascript)
endfunction()
