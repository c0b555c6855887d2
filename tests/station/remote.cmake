# Tests of the remote-control protocol and server, the pulse-generator
# requests and link, and the generator-IP dialog.
if(NOT TARGET pulsegensim)
  include(${PROJECT_SOURCE_DIR}/tools/peers.cmake)
endif()

kessane_add_test(NAME tst_remote_protocol
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_remote_protocol.cpp
  LIBS lumivar_remoteprotocol)
kessane_add_test(NAME tst_tmx_request
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_tmx_request.cpp
  LIBS lumivar_remoteprotocol)
kessane_add_test(NAME tst_remote_server
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_remote_server.cpp
  LIBS lumivar_remote remoteclient station_testsupport
  TIMEOUT 60 LOCK port1910)
kessane_add_test(NAME tst_tmx_link
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_tmx_link.cpp
  LIBS lumivar_remote pulsegensim station_testsupport
  TIMEOUT 60)
kessane_add_test(NAME tst_pulse_generator_sim
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_pulse_generator_sim.cpp
  LIBS pulsegensim)
kessane_add_test(NAME tst_set_ip_dlg
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_set_ip_dlg.cpp
  LIBS lumivar_remote station_testsupport)

# libFuzzer target for the command parser and the reply builders (clang only).
if(KESSANE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KESSANE_FUZZ needs clang (CMAKE_CXX_COMPILER=clang++)")
  endif()
  # The code under test is compiled in, so that it is instrumented too.
  add_executable(fuzz_remote ${CMAKE_CURRENT_LIST_DIR}/fuzz_remote.cpp
    ${PROJECT_SOURCE_DIR}/station/RemoteProtocol.cpp ${PROJECT_SOURCE_DIR}/station/TmxRequest.cpp)
  target_include_directories(fuzz_remote PRIVATE ${PROJECT_SOURCE_DIR}/station)
  target_compile_options(fuzz_remote PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
  target_link_options(fuzz_remote PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(fuzz_remote PRIVATE Qt5::Core)
endif()
