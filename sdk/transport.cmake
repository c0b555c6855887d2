# Our layer of the camera SDK's utility, network and transport libraries, as
# the transmitter library uses them: plain C++, no Qt, no Aravis.
find_package(Threads REQUIRED)

# The GVSP wire format alone, shared with the simulated camera in tools/.
add_library(kygvsp STATIC ${CMAKE_CURRENT_LIST_DIR}/KyNetworkLibGvsp.cpp)
target_include_directories(kygvsp PUBLIC ${CMAKE_CURRENT_LIST_DIR})
set_target_properties(kygvsp PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)

add_library(kytransport STATIC
  ${CMAKE_CURRENT_LIST_DIR}/NzUtilsLibResult.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NzUtilsLibLogger.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NzUtilsLibThread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NzUtilsLibEvent.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NzUtilsLibSemaphore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KyNetworkLibIpAddress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KyNetworkLibEthernetAddress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KyNetworkLibSystem.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KyNetworkLibArp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KyNetworkLibSocketUDP.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KyNetworkLibGVSPPacketLeader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KyNetworkLibGVSPPacketTrailer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KyTransportLayerLibPacer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KyTransportLayerLibTransmitEngine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KyTransportLayerLibResultConverter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KyTransportLayerLibLink.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NqBaseLibInstantStats.cpp)
target_include_directories(kytransport PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(kytransport PUBLIC nqbase kygvsp Threads::Threads)
set_target_properties(kytransport PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
