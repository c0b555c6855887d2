# The camera side of our SDK layer: discovery, device, stream and pipeline
# over Aravis. Included by sdk/CMakeLists.txt.
find_package(Threads REQUIRED)

# The GVCP wire format alone (no Aravis), shared with the test peers in tools/.
add_library(nqgvcp STATIC ${CMAKE_CURRENT_LIST_DIR}/NqGvcp.cpp)
target_include_directories(nqgvcp PUBLIC ${CMAKE_CURRENT_LIST_DIR})

add_library(nqcamera STATIC
  ${CMAKE_CURRENT_LIST_DIR}/NqArvParameters.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NqBufferResult.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NqDevice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NqDeviceCore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NqDiscovery.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NqGvcpSocket.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NqPipeline.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NqReceiverTuning.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NqStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NqStreamCore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NqStreamParameters.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NqSystem.cpp)
target_include_directories(nqcamera PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(nqcamera PUBLIC nqbase nqgvcp Threads::Threads PRIVATE PkgConfig::ARAVIS)

# The raw Aravis loop the pipeline benchmark compares against.
if(KESSANE_BENCH)
  add_library(nqaravisbaseline STATIC ${CMAKE_CURRENT_LIST_DIR}/NqAravisBaseline.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NqReceiverTuning.cpp)
  target_include_directories(nqaravisbaseline PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(nqaravisbaseline PRIVATE PkgConfig::ARAVIS)
endif()
