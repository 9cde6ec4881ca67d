# tv_add_test(NAME <name> SOURCES <files...> [LIBS <libs...>] [LABEL unit|lab] [TIMEOUT <s>])
# Every test is a Qt Test program. A lab test runs inside the two-namespace lab network of
# tests/lab/lab.sh, which sets it up before and tears it down after, also on failure.
set(TV_LAB_SCRIPT "${CMAKE_SOURCE_DIR}/tests/lab/lab.sh")
function(tv_add_test)
  cmake_parse_arguments(T "" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
  target_compile_definitions(${T_NAME} PRIVATE TV_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                               TV_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if(T_LABEL STREQUAL "lab")
    add_test(NAME ${T_NAME} COMMAND ${TV_LAB_SCRIPT} run -- $<TARGET_FILE:${T_NAME}>)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT}
                       ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;TZ=UTC")
endfunction()
