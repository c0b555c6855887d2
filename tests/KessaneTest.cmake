# kessane_add_test(NAME name SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s] [LOCK resource])
# Builds a Qt Test executable and registers it with CTest. Every run gets a
# fresh temporary HOME / XDG_CONFIG_HOME / working folder through run_test.sh,
# so settings never leak between tests or into the user's profile.
set(KESSANE_TEST_RUNNER ${CMAKE_CURRENT_LIST_DIR}/run_test.sh)
function(kessane_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT;LOCK" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES AUTOMOC ON)
  target_link_libraries(${T_NAME} PRIVATE Qt5::Test ${T_LIBS})
  add_test(NAME ${T_NAME} COMMAND ${KESSANE_TEST_RUNNER} $<TARGET_FILE:${T_NAME}>)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KESSANE_SOURCE_DIR=${PROJECT_SOURCE_DIR};KESSANE_BINARY_DIR=${PROJECT_BINARY_DIR}")
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(T_LOCK)
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK ${T_LOCK})
  endif()
endfunction()
